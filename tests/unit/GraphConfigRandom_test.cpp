#include "GraphConfigTestPrint.h"

#include "capture/TCommaText.h"
#include "capture/TGraphConfig.h"

#include <gtest/gtest.h>

#include <random>

namespace {

const QStringList Keys =
    QStringLiteral(
        "WantBitmaps WantCapture WantPreview WantDVAudio WantAudio WantAudioPreview DoPreallocFile "
        "UseTempFile PreallocFileSize TempCaptureFileName CaptureFileName DVResolution PixelFormat "
        "VCapSource ACapSource AComp VComp ACapModeMediaSubType ACapModeSampleRate "
        "ACapModeAvgSampleRate ACapModeSampleSize ACapModeChannels VCapModeMediaSubType "
        "VCapModeWidth VCapModeHeight VCapModeBits VCompState wantpreview")
        .split(QLatin1Char(' '));

const QStringList Numbers = QStringLiteral("0 -1 1 4 5 8 9 255 260 -3 2147483647 2147483648 "
                                           "-2147483648 4294967295 4294967296 +7 - 007")
                                .split(QLatin1Char(' '));

// Arbitrary text, lists of known keys with odd values, and mutations of both.
class TextSource
{
public:
    explicit TextSource(quint32 seed) : rng_(seed) {}

    QString Next()
    {
        switch (Below(3)) {
        case 0:
            return Chars(Below(200));
        case 1:
            return Items();
        default:
            return Mutated(Items());
        }
    }

private:
    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    // The grammar's own characters (NUL included) often, anything else, lone surrogates too.
    QChar Char()
    {
        static constexpr char16_t chars[] = u",\"= \t\r\n\x01\0-09AFafZ";
        static const QString grammar = QString::fromUtf16(chars, std::size(chars) - 1);
        return Below(2) ? grammar[Below(grammar.size())] : QChar(char16_t(Below(0x10000)));
    }

    QString Chars(int length)
    {
        QString text;
        for (int i = 0; i < length; ++i)
            text += Char();
        return text;
    }

    QString Items()
    {
        QStringList items;
        for (int i = Below(40); i > 0; --i) {
            const QString value = Below(2) ? Numbers[Below(Numbers.size())] : Chars(Below(40));
            items << Keys[Below(Keys.size())] + QLatin1Char('=') + value;
        }
        return Below(2) ? TCommaText::Join(items) : items.join(QLatin1Char(','));
    }

    QString Mutated(QString text)
    {
        for (int i = 1 + Below(8); i > 0; --i) {
            const int at = Below(int(text.size()) + 1);
            if (Below(2))
                text.insert(at, Chars(1 + Below(3)));
            else
                text.remove(at, 1 + Below(6));
        }
        return text;
    }

    std::mt19937 rng_;
};

} // namespace

// Whatever text is loaded, saving the record and loading that again gives the same record and
// the same text: a second trip through the line loses or changes nothing.
TEST(GraphConfigRandom, LoadSaveReachesAFixedPoint)
{
    TextSource source(20240605);
    for (int i = 0; i < 20000; ++i) {
        QString text = source.Next();
        if (i % 500 == 0) // now and then a line far beyond what the INI file can hand out
            text = text.repeated(2000);

        TGraphConfig first;
        first.LoadFromString(text);
        const QString saved = first.SaveToString();

        TGraphConfig second;
        second.VCompState = QByteArray("stale");
        second.LoadFromString(saved);
        ASSERT_EQ(second, first) << "input: " << text.toStdString();
        ASSERT_EQ(second.SaveToString(), saved) << "input: " << text.toStdString();
    }
}
