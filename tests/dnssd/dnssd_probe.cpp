// A command-line window onto the DNS-SD code for the namespace tests:
//   dnssd_probe publish NAME   publishes NAME on the call port; prints "established <name>"
//                              each time the network accepts a name; a line "name X" on
//                              stdin renames, the end of stdin withdraws and exits
//   dnssd_probe walk           walks the provider's tree once and prints one JSON line per
//                              level read (entries, result, milliseconds), then "done"
// Every run ends by itself within 60 s.
#include "platform/dnssd/TAvahiClient.h"
#include "platform/dnssd/TDnsSdNetResourceProvider.h"
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

QJsonObject ToJson(const TNetResource& e, const TDnsSdNetResourceProvider& provider)
{
    return {{"display", int(e.displayType)}, {"usage", int(e.usage)},
            {"remote", e.remoteName},        {"comment", e.comment},
            {"provider", e.provider},        {"copy", provider.IsProgramCopy(e)}};
}

void Walk(TDnsSdNetResourceProvider& provider, const std::optional<TNetResource>& container)
{
    QJsonObject level{{"level", container ? container->remoteName : QString()}};
    QElapsedTimer clock;
    clock.start();
    const TNetOpenResult opened =
        provider.Open(TNetScope::GlobalNet, TNetResourceType::Disk, NetUsage::All, container);
    if (opened.errorCode != NetError::NoError) {
        level["open"] = opened.errorCode;
        Print(QJsonDocument(level).toJson(QJsonDocument::Compact));
        return;
    }
    const TNetReadResult read =
        provider.Read(opened.handle, INetResourceProvider::AllEntries, 16384);
    level["ms"] = double(clock.nsecsElapsed()) / 1e6;
    level["status"] = int(read.status);
    QJsonArray entries;
    for (const TNetResource& e : read.entries)
        entries.append(ToJson(e, provider));
    level["entries"] = entries;
    level["close"] = provider.Close(opened.handle);
    level["closeAgain"] = provider.Close(opened.handle);
    Print(QJsonDocument(level).toJson(QJsonDocument::Compact));
    for (const TNetResource& e : read.entries)
        if (e.IsContainer())
            Walk(provider, e);
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: dnssd_probe publish NAME | walk [ms-to-wait-for-a-daemon]\n");
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
    if (args[1] == QLatin1String("walk")) {
        TDnsSdNetResourceProvider provider(client);
        // A fresh client needs a moment to connect (the program's has had it long before):
        // the walk starts once it runs, or after the given wait without a daemon.
        const int waitMs = args.size() >= 3 ? args[2].toInt() : 3000;
        bool walked = false;
        const auto walk = [&] {
            if (walked)
                return;
            walked = true;
            auto clock = std::make_shared<QElapsedTimer>();
            clock->start();
            provider.Prepare([&provider, clock] {
                Walk(provider, std::nullopt);
                Print("done " + QByteArray::number(double(clock->nsecsElapsed()) / 1e6));
                QCoreApplication::exit(0);
            });
        };
        if (client->IsRunning())
            QTimer::singleShot(0, &app, walk);
        QObject::connect(client.get(), &TAvahiClient::Running, &app, walk, Qt::QueuedConnection);
        QTimer::singleShot(waitMs, &app, walk);
        return app.exec();
    }
    std::fprintf(stderr, "unknown command\n");
    return 2;
}
