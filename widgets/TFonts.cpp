#include "widgets/TFonts.h"

namespace {
QFont Make(const QStringList& families, int pointSize, bool bold)
{
    QFont font;
    font.setFamilies(families);
    font.setPointSize(pointSize);
    font.setBold(bold);
    return font;
}
} // namespace

QFont TFonts::SansSerif(int pointSize, bool bold)
{
    return Make(QStringList{QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                            QStringLiteral("Arial")},
                pointSize, bold);
}

QFont TFonts::Arial(int pointSize, bool bold)
{
    return Make(QStringList{QStringLiteral("Arial"), QStringLiteral("Liberation Sans")}, pointSize,
                bold);
}
