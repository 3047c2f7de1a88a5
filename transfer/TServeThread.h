#pragma once

#include <QtGlobal>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class TGeneralServer;

// The worker of one accepted connection. Made on the UI thread, it owns the per-connection
// component (of the listening component's own class) that holds the accepted socket; its
// thread runs the component's Serve and closes the socket, then hands the end of the
// connection to the UI thread, where the listening component raises OnDisconnect and lets
// the worker go. Destroying it waits for the thread.
class TServeThread
{
public:
    // Takes the accepted socket (closed here if the component cannot be made).
    TServeThread(TGeneralServer& listening, int fd);
    ~TServeThread();
    TServeThread(const TServeThread&) = delete;
    TServeThread& operator=(const TServeThread&) = delete;

    TGeneralServer* Client() const { return client_.get(); }
    void Start();
    // Waits until Serve has ended, at most until the steady-clock deadline; true when it has.
    bool WaitFinished(std::chrono::steady_clock::time_point deadline);
    void Join();

private:
    void Run();

    TGeneralServer* listening_;
    std::unique_ptr<TGeneralServer> client_;
    std::thread thread_;
    std::mutex lock_;
    std::condition_variable finishedChanged_;
    bool finished_ = false;
};
