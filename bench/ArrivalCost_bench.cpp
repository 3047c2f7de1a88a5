// What one received file costs the window thread, with a short and a long list of received
// files: the portal's own storing handler is run as a connection's worker runs it, and only
// what it posts to the window thread is timed. Reported: milliseconds per arrival at 1,000 and
// at 200,000 entries, and their ratio (1 when an arrival costs the same whatever the list).
// Usage: ArrivalCost_bench [arrivals]   (default 200; runs offscreen)
#include "platform/ui/TApplication.h"
#include "transfer/TPortalHost.h"
#include "transfer/TReceivedList.h"
#include "transfer/TSpooledStream.h"
#include "transfer/TStrmServer.h"
#include "transfer/TStrmSocket.h"
#include "transfer/TfrmTransfer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

namespace {

// Milliseconds of window-thread time per arrival, the portal's list holding entries already.
double PerArrival(const QString& root, int entries, int arrivals)
{
    const QString folder = QDir(root).filePath(QString("in%1").arg(entries));
    QDir().mkpath(folder);
    const QString list = QDir(root).filePath(QString("list%1.lst").arg(entries));
    QStringList old;
    for (int i = 0; i < entries; ++i)
        old << QString("/home/user/Received/earlier file %1.jpg").arg(i);
    TReceivedList::Save(list, old);
    TPortalHost host;
    host.receiveFolder = [folder] { return folder; };
    TfrmTransfer portal(host, 0, nullptr, list);
    portal.PortalSeen = [] { return true; };
    portal.ReceiveFolderChanged();
    QCoreApplication::processEvents();

    // A connection that never connects: only its folder is read.
    TStrmConnection connection(new TStrmSocket(-1), 1, TStrmLimits{},
                               std::make_shared<const TStrmHandlers>());
    connection.GiveFolder(folder);
    qint64 windowNs = 0;
    for (int i = 0; i < arrivals; ++i) {
        TSpooledStream body(folder);
        body.write("a small file");
        body.seek(0);
        if (!portal.StrmRec1MSG(connection, QByteArray("file") + QByteArray::number(i), body))
            return -1;
        // The disk work is done; what remains is the window's.
        QElapsedTimer clock;
        clock.start();
        QCoreApplication::processEvents();
        windowNs += clock.nsecsElapsed();
    }
    portal.FlushList();
    if (portal.lstFilesReceived->count() != entries + arrivals)
        return -1;
    return double(windowNs) / arrivals / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    const int arrivals = argc > 1 ? qMax(1, atoi(argv[1])) : 200;
    QTemporaryDir dir;
    const double shortList = PerArrival(dir.path(), 1000, arrivals);
    const double longList = PerArrival(dir.path(), 200000, arrivals);
    if (shortList < 0 || longList < 0) {
        std::printf("a file was not stored or listed\n");
        return 1;
    }
    std::printf("window thread per arrival: %.3f ms at 1,000 entries, %.3f ms at 200,000 "
                "(ratio %.2f), %d arrivals each\n",
                shortList, longList, longList / shortList, arrivals);
    return 0;
}
