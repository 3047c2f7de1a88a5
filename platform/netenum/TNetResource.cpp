#include "platform/netenum/TNetResource.h"

namespace {
// Four 32-bit fields and four text pointers of the classic record.
constexpr std::size_t RecordBytes = 32;

std::size_t TextBytes(const QString& text)
{
    return text.isEmpty() ? 0 : std::size_t(text.toUtf8().size()) + 1;
}
} // namespace

std::size_t NetResourceBytes(const TNetResource& entry)
{
    return RecordBytes + TextBytes(entry.localName) + TextBytes(entry.remoteName) +
           TextBytes(entry.comment) + TextBytes(entry.provider);
}
