// A command-line window onto the DNS-SD code for the namespace tests:
//   dnssd_probe publish NAME   publishes NAME on the call port; prints "established <name>"
//                              each time the network accepts a name; a line "name X" on
//                              stdin renames, the end of stdin withdraws and exits
//   dnssd_probe browse         browses once and prints one JSON line per computer told of
//                              (appeared, changed, gone) until all-for-now, then "done <ms>"
//   dnssd_probe watch          the same, going on past all-for-now; a line "restart" on stdin
//                              starts the browse afresh, the end of stdin exits
// Every run ends by itself within 60 s.
#include "platform/dnssd/TAvahiClient.h"
#include "platform/dnssd/TDnsSdPeerBrowser.h"
#include "platform/dnssd/TDnsSdPublisher.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <QTimer>

#include <unistd.h>

#include <cstdio>
#include <memory>

namespace {
void Print(const QByteArray& line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QElapsedTimer sinceStart;

void PrintEvent(const QString& event, const QJsonObject& fields = {})
{
    QJsonObject line = fields;
    line["event"] = event;
    line["ms"] = double(sinceStart.nsecsElapsed()) / 1e6;
    Print(QJsonDocument(line).toJson(QJsonDocument::Compact));
}

QJsonObject ToJson(const TPeer& p)
{
    return {{"key", p.key},
            {"name", p.name},
            {"host", p.host},
            {"provider", p.provider},
            {"copy", p.programCopy}};
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr,
                     "usage: dnssd_probe publish NAME | browse|watch [ms-to-wait-for-a-daemon]\n");
        return 2;
    }
    QTimer::singleShot(60000, &app, [] {
        Print("probe deadline");
        QCoreApplication::exit(3);
    });
    auto client = std::make_shared<TAvahiClient>();
    if (args[1] == QLatin1String("publish") && args.size() >= 3) {
        TDnsSdPublisher publisher(client, 6767);
        QObject::connect(&publisher, &TDnsSdPublisher::Established, &app,
                         [](const QString& name) { Print("established " + name.toUtf8()); });
        publisher.SetName(args[2]);
        QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
        QByteArray pending;
        QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
            char buffer[512];
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0) {
                input.setEnabled(false);
                QCoreApplication::exit(0);
                return;
            }
            pending.append(buffer, n);
            for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1)) {
                const QByteArray line = pending.left(end);
                if (line.startsWith("name "))
                    publisher.SetName(QString::fromUtf8(line.mid(5)));
            }
        });
        Print("publishing");
        return app.exec();
    }
    if (args[1] == QLatin1String("browse") || args[1] == QLatin1String("watch")) {
        const bool watch = args[1] == QLatin1String("watch");
        TDnsSdPeerBrowser browser(client);
        QObject::connect(&browser, &IPeerBrowser::Appeared, &app,
                         [](const TPeer& p) { PrintEvent("appeared", ToJson(p)); });
        QObject::connect(&browser, &IPeerBrowser::Changed, &app,
                         [](const TPeer& p) { PrintEvent("changed", ToJson(p)); });
        QObject::connect(&browser, &IPeerBrowser::Gone, &app, [](const QString& key) {
            PrintEvent("gone", {{"key", key}});
        });
        QObject::connect(&browser, &IPeerBrowser::AllForNow, &app, [watch] {
            PrintEvent("all");
            if (!watch) {
                Print("done " + QByteArray::number(double(sinceStart.nsecsElapsed()) / 1e6));
                QCoreApplication::exit(0);
            }
        });
        // A fresh client needs a moment to connect (the program's has had it long before):
        // the browse starts once it runs, or after the given wait without a daemon.
        const int waitMs = args.size() >= 3 ? args[2].toInt() : 3000;
        bool started = false;
        const auto start = [&] {
            if (started)
                return;
            started = true;
            sinceStart.start();
            PrintEvent("started");
            browser.Start();
        };
        if (client->IsRunning())
            QTimer::singleShot(0, &app, start);
        QObject::connect(client.get(), &TAvahiClient::Running, &app, start, Qt::QueuedConnection);
        QTimer::singleShot(waitMs, &app, start);
        QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
        input.setEnabled(watch);
        QByteArray pending;
        QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
            char buffer[512];
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0) {
                input.setEnabled(false);
                QCoreApplication::exit(0);
                return;
            }
            pending.append(buffer, n);
            for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1))
                if (pending.left(end) == "restart") {
                    started = true;
                    PrintEvent("started");
                    browser.Start();
                }
        });
        return app.exec();
    }
    std::fprintf(stderr, "unknown command\n");
    return 2;
}
