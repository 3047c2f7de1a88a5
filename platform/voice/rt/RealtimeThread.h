#pragma once

// Real-time priority for the threads that move voice, as desktop sound clients ask for it:
// directly where the process may, else from RealtimeKit over the system bus. Without either
// the voice works as before, only with less protection against a busy machine.
namespace voicelink {

long CurrentThreadId();
// Called on the thread itself; what: the thread's job, for the log. A request to RealtimeKit
// goes out from the UI thread and is answered there; nothing waits for it.
void RaiseThisThread(const char* what);

} // namespace voicelink
