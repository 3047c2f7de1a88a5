// Files opened for sending under a read lease: refused while written, let go when a writer comes.
#include "transfer/TExclusiveFile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <fcntl.h>

namespace {

QString MakeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& content)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
    return path;
}

QByteArray Content(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// sh -c script with the path as $1.
void StartShell(QProcess& shell, const QString& script, const QString& path)
{
    shell.start(QStringLiteral("sh"), {QStringLiteral("-c"), script, QStringLiteral("sh"), path});
    ASSERT_TRUE(shell.waitForStarted(3000));
}

} // namespace

TEST(ExclusiveFile, AFileNobodyWritesOpensGuardedAndReadsWhole)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray content = QByteArray("0123456789abcdefghi\n").repeated(10000);
    const QString path = MakeFile(dir, QStringLiteral("plain.bin"), content);

    TExclusiveFile file(path);
    ASSERT_TRUE(file.OpenExclusive()) << file.errorString().toStdString();
    EXPECT_TRUE(file.Guarded());
    EXPECT_FALSE(file.Broken());
    EXPECT_EQ(::fcntl(file.handle(), F_GETLEASE), F_RDLCK) << "the kernel holds our lease";
    EXPECT_EQ(file.fileName(), path);
    EXPECT_EQ(file.size(), content.size());
    EXPECT_EQ(file.readAll(), content);
    file.close();
    EXPECT_FALSE(file.Guarded());
    ASSERT_TRUE(file.OpenExclusive()) << "a closed file opens again";
    EXPECT_TRUE(file.Guarded());

    // procfs takes no leases: readable all the same, unguarded.
    TExclusiveFile proc(QStringLiteral("/proc/version"));
    ASSERT_TRUE(proc.OpenExclusive()) << proc.errorString().toStdString();
    EXPECT_FALSE(proc.Guarded());
    EXPECT_EQ(proc.readAll(), Content(QStringLiteral("/proc/version")));
}

TEST(ExclusiveFile, MissingFilesAndFoldersAreRefused)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TExclusiveFile missing(dir.filePath(QStringLiteral("gone.txt")));
    EXPECT_FALSE(missing.OpenExclusive());
    EXPECT_FALSE(missing.isOpen());
    EXPECT_TRUE(missing.errorString().contains(QStringLiteral("gone.txt does not exist")))
        << missing.errorString().toStdString();

    TExclusiveFile folder(dir.path());
    EXPECT_FALSE(folder.OpenExclusive());
    EXPECT_TRUE(folder.errorString().contains(QStringLiteral("is a folder")))
        << folder.errorString().toStdString();
}

TEST(ExclusiveFile, AFileOpenForWritingHereOrElsewhereIsRefusedUntilClosed)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = MakeFile(dir, QStringLiteral("busy.txt"), "busy");

    QFile writer(path);
    ASSERT_TRUE(writer.open(QIODevice::WriteOnly | QIODevice::Append));
    TExclusiveFile file(path);
    EXPECT_FALSE(file.OpenExclusive());
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(file.errorString(),
              QStringLiteral("%1 is open for writing in another program.").arg(path));
    writer.close();
    ASSERT_TRUE(file.OpenExclusive()) << file.errorString().toStdString();
    file.close();

    QProcess other;
    StartShell(other, QStringLiteral("exec 3>>\"$1\"; echo ready; exec sleep 5"), path);
    ASSERT_TRUE(other.waitForReadyRead(3000));
    EXPECT_FALSE(file.OpenExclusive());
    EXPECT_TRUE(file.errorString().contains(QStringLiteral("open for writing")));
    other.kill();
    ASSERT_TRUE(other.waitForFinished(3000));
    EXPECT_TRUE(file.OpenExclusive()) << file.errorString().toStdString();
}

TEST(ExclusiveFile, AWriterBreaksOnlyItsFilesLeaseAndGoesOnOnceReleased)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pathA = MakeFile(dir, QStringLiteral("a.txt"), "a\n");
    const QString pathB = MakeFile(dir, QStringLiteral("b.txt"), "b\n");
    TExclusiveFile a(pathA);
    TExclusiveFile b(pathB);
    ASSERT_TRUE(a.OpenExclusive() && b.OpenExclusive());
    QSignalSpy brokenA(&a, &TExclusiveFile::LeaseBroken);
    QSignalSpy brokenB(&b, &TExclusiveFile::LeaseBroken);

    QProcess writer;
    StartShell(writer, QStringLiteral("echo x >> \"$1\""), pathA);
    // Without our event loop the lease is not let go, so the writer waits in its open.
    QThread::msleep(300);
    EXPECT_EQ(Content(pathA), QByteArray("a\n"));
    EXPECT_FALSE(a.Broken()) << "reported on the event loop only";

    ASSERT_TRUE(brokenA.wait(3000));
    QElapsedTimer sinceRelease;
    sinceRelease.start();
    EXPECT_TRUE(a.Broken());
    EXPECT_FALSE(a.Guarded());
    ASSERT_TRUE(writer.waitForFinished(10000));
    // Had we kept the lease, the kernel would have broken it after lease-break-time.
    QFile breakTime(QStringLiteral("/proc/sys/fs/lease-break-time"));
    const qint64 kernelMs = breakTime.open(QIODevice::ReadOnly)
                                ? breakTime.readAll().trimmed().toLongLong() * 1000
                                : 45000;
    EXPECT_LT(sinceRelease.elapsed(), kernelMs / 3) << "well within lease-break-time";
    EXPECT_EQ(Content(pathA), QByteArray("a\nx\n"));

    EXPECT_EQ(brokenA.count(), 1);
    EXPECT_EQ(brokenB.count(), 0);
    EXPECT_TRUE(b.Guarded());
    EXPECT_EQ(::fcntl(b.handle(), F_GETLEASE), F_RDLCK);
}
