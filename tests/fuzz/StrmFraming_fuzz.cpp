// libFuzzer target for the length fields of a stream message: whatever a peer sends in them,
// the receiver reads a number exactly when the field is one (spaces, then decimal digits up to
// 2^31 - 1) and reads its value, and what the sender frames reads back the same.
#include "transfer/TStrmFraming.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 64)
        return 0;
    const QByteArray field(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<qint32> parsed = TStrmFraming::ParseLength(field);

    // The rule, written out once more by hand.
    size_t i = 0;
    while (i < size && data[i] == ' ')
        ++i;
    std::string digits;
    bool number = i < size;
    for (; i < size; ++i) {
        if (data[i] < '0' || data[i] > '9') {
            number = false;
            break;
        }
        digits += char(data[i]);
    }
    long long value = 0;
    if (number) {
        const size_t first = digits.find_first_not_of('0');
        if (first != std::string::npos && digits.size() - first > 10)
            number = false;
        else
            value = std::strtoll(digits.c_str(), nullptr, 10);
        if (value > 2147483647LL)
            number = false;
    }
    if (parsed.has_value() != number || (number && *parsed != value))
        std::abort();
    if (parsed) {
        const QByteArray framed = TStrmFraming::BodyLength(*parsed);
        if (framed.size() != TStrmFraming::BodyLengthSize ||
            TStrmFraming::ParseLength(framed) != parsed)
            std::abort();
    }
    return 0;
}
