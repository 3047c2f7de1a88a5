// libFuzzer target for received names: whatever a peer sends as a name, what it is stored
// under is one entry of the receive folder (not empty, no leading dot, no separator, no control
// or invisible format character, at most 255 bytes of UTF-8 that read back to the same name),
// and a refusal says why.
#include "transfer/TReceivedName.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1024)
        return 0;
    const QByteArray wire(reinterpret_cast<const char*>(data), qsizetype(size));
    QString reason;
    const std::optional<QString> name = TReceivedName::Clean(wire, &reason);
    if (!name) {
        if (reason.isEmpty())
            std::abort();
        return 0;
    }
    // Never hidden, never holding an invisible character.
    if (name->isEmpty() || name->startsWith(u'.') || name->contains(u'/') || name->contains(u'\\'))
        std::abort();
    for (const QChar c : *name) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            std::abort();
    }
    const QByteArray encoded = name->toUtf8();
    if (encoded.size() > TReceivedName::MaxBytes || QString::fromUtf8(encoded) != *name)
        std::abort();
    // Cleaning a clean name changes nothing.
    if (TReceivedName::Clean(encoded) != name)
        std::abort();
    return 0;
}
