// Holds text on the X clipboard for the end-to-end test, so that text xdotool cannot type
// reliably (characters outside the keymap) can be pasted instead: sets the clipboard to its
// argument, prints "ready", and serves it until it is ended or a minute has passed.
#include <QClipboard>
#include <QGuiApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s TEXT\n", argv[0]);
        return 2;
    }
    QGuiApplication::clipboard()->setText(QString::fromUtf8(argv[1]));
    std::printf("ready\n");
    std::fflush(stdout);
    QTimer::singleShot(60000, &app, &QCoreApplication::quit);
    return app.exec();
}
