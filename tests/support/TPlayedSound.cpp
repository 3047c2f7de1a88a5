#include "tests/support/TPlayedSound.h"

void TPlayedSound::append(const QByteArray& pcm)
{
    std::lock_guard lock(mutex_);
    const auto* s = reinterpret_cast<const qint16*>(pcm.constData());
    samples_.insert(samples_.end(), s, s + pcm.size() / 2);
}

size_t TPlayedSound::size() const
{
    std::lock_guard lock(mutex_);
    return samples_.size();
}

std::vector<qint16> TPlayedSound::slice(size_t from, size_t count) const
{
    std::lock_guard lock(mutex_);
    if (from + count > samples_.size())
        return {};
    return {samples_.begin() + qsizetype(from), samples_.begin() + qsizetype(from + count)};
}
