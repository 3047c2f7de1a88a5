// libFuzzer target for the call-signalling datagram: any bytes from anyone are classified
// without harm, the classification follows the wire rules, and what the window would show of
// them (caller ID, status text) is plain, bounded text.
#include "calls/TSignalMessage.h"
#include "platform/text/TRemoteText.h"

#include <cstdint>
#include <cstdlib>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void CheckShown(const QString& text)
{
    const QString shown = TRemoteText::Clean(text);
    Check(shown.size() <= TRemoteText::MaxChars);
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const QChar c = shown.at(i);
        if (c.isHighSurrogate()) {
            Check(i + 1 < shown.size() && shown.at(i + 1).isLowSurrogate());
            ++i;
            continue;
        }
        Check(!c.isSurrogate());
        Check(c.category() != QChar::Other_Control && c.category() != QChar::Other_Format);
    }
    // Cleaning what was cleaned changes nothing.
    Check(TRemoteText::Clean(shown) == shown);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The listener takes datagrams of up to 8192 bytes.
    if (size > 8192)
        return 0;
    const QByteArray datagram(reinterpret_cast<const char*>(data), qsizetype(size));
    const TSignalMessage m = TSignalMessage::Classify(datagram);
    const QString text = QString::fromUtf8(datagram);
    Check(m.text == text);
    using K = TSignalMessage::TKind;
    const bool request = text.contains(QLatin1Char('|')) || text == TSignalMessage::Calling;
    Check((m.kind == K::CallRequest) == request);
    Check((m.kind == K::Accept) == (!request && text == TSignalMessage::Accept));
    Check((m.kind == K::Cancel) == (!request && text == TSignalMessage::Cancel));
    Check(m.callerID == (text.contains(QLatin1Char('|')) ? text.mid(8) : QString()));
    CheckShown(m.callerID);
    CheckShown(m.text);
    return 0;
}
