// libFuzzer target for the capture configuration line: arbitrary text must load without harm,
// and one more trip through SaveToString / LoadFromString must change nothing.
// Built when the tree is configured with clang, and run with its seeds:
//   cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DPARLAVUE_FUZZ=ON
//   cmake --build build-fuzz --target fuzz && tests/fuzz/run_fuzzers.sh build-fuzz

#include "capture/TGraphConfig.h"

#include <QString>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks how the rest becomes text: UTF-8 as the settings file holds it, or
    // raw UTF-16 code units so that lone surrogates and NULs reach the parser as well.
    QString text;
    if (data[0] & 1) {
        std::u16string units((size - 1) / 2, u'\0');
        std::memcpy(units.data(), data + 1, units.size() * sizeof(char16_t));
        text = QString::fromStdU16String(units);
    } else {
        text = QString::fromUtf8(reinterpret_cast<const char*>(data + 1),
                                 static_cast<qsizetype>(size - 1));
    }

    TGraphConfig first;
    first.LoadFromString(text);
    const QString saved = first.SaveToString();
    TGraphConfig second;
    second.LoadFromString(saved);
    if (!(second == first) || second.SaveToString() != saved)
        std::abort();
    return 0;
}
