// Prints the Debian packages whose GStreamer plugins the installed program makes elements of,
// comma-separated, so the package's dependencies follow the element list: "depends" for what
// cameras, voice, capture files and the ring tone need, "recommends" for what only the test
// cameras (--test-camera) and the screen as a camera add.
#include "platform/elements/TGstElements.h"

#include <QSet>

#include <cstdio>

namespace {
QStringList PackagesFor(unsigned uses)
{
    QStringList packages;
    for (const TGstElement& e : GstElementsFor(uses))
        if (!packages.contains(QString::fromLatin1(e.package)))
            packages << QString::fromLatin1(e.package);
    packages.sort();
    return packages;
}
} // namespace

int main(int argc, char** argv)
{
    const QString which = argc > 1 ? QString::fromLatin1(argv[1]) : QString();
    const QStringList depends = PackagesFor(UseCamera | UseDVCamera | UseVoice | UseRingTone);
    QStringList out = depends;
    if (which == QLatin1String("recommends")) {
        out.clear();
        for (const QString& p : PackagesFor(UseTestCamera | UseTestDVCamera | UseScreen))
            if (!depends.contains(p))
                out << p;
    } else if (which != QLatin1String("depends")) {
        std::fprintf(stderr, "usage: parlavue_gst_packages depends|recommends\n");
        return 2;
    }
    std::printf("%s\n", qPrintable(out.join(QStringLiteral(", "))));
    return 0;
}
