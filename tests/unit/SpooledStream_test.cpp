// The body store of received stream messages: memory up to 1 MiB, a spool file beyond.
#include "transfer/TSpooledStream.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>

namespace {

constexpr qint64 Limit = TSpooledStream::MemoryLimit;

// Bytes that differ at every offset within a period no block size divides.
QByteArray Pattern(qint64 size, int seed = 0)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 251 + seed) & 0xFF);
    return bytes;
}

QByteArray ReadAll(QIODevice& stream)
{
    EXPECT_TRUE(stream.seek(0));
    return stream.readAll();
}

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QStringList SpoolFiles(const QTemporaryDir& dir)
{
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
}

// Every entry of the folder, whatever it is.
QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool IsRegularFile(const QString& path)
{
    struct stat st
    {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

dev_t DeviceOf(const QString& path)
{
    struct stat st
    {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_dev : dev_t(-1);
}

// Writes past bytes fail with EFBIG while it lives (root too), so a write can be made to fail.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes) : oldSignal_(std::signal(SIGXFSZ, SIG_IGN))
    {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldSignal_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    void (*oldSignal_)(int);
};

// Two new folders on different file systems, or none when only one is writable here.
struct TwoFileSystems
{
    std::unique_ptr<QTemporaryDir> first, second;
};

TwoFileSystems FindTwoFileSystems()
{
    std::vector<std::unique_ptr<QTemporaryDir>> dirs;
    for (const QString& base :
         {QStringLiteral("/dev/shm"), QDir::tempPath(), QDir::currentPath(), QDir::homePath()}) {
        auto dir = std::make_unique<QTemporaryDir>(base + QStringLiteral("/spooltest-XXXXXX"));
        if (!dir->isValid())
            continue;
        for (auto& other : dirs)
            if (DeviceOf(other->path()) != DeviceOf(dir->path()))
                return {std::move(other), std::move(dir)};
        dirs.push_back(std::move(dir));
    }
    return {};
}

} // namespace

TEST(SpooledStream, StaysInMemoryUpToTheLimitAndSpoolsPastIt)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TSpooledStream stream(dir.path());
    EXPECT_TRUE(stream.isOpen());
    EXPECT_FALSE(stream.isSequential());
    EXPECT_EQ(stream.size(), 0);

    const QByteArray body = Pattern(Limit + 1);
    ASSERT_EQ(stream.write(body.left(Limit)), Limit);
    EXPECT_FALSE(stream.IsSpooled()) << "exactly 1 MiB stays in memory";
    EXPECT_TRUE(stream.FileName().isEmpty());
    EXPECT_TRUE(SpoolFiles(dir).isEmpty());

    ASSERT_EQ(stream.write(body.mid(Limit)), 1);
    ASSERT_TRUE(stream.IsSpooled());
    EXPECT_EQ(QFileInfo(stream.FileName()).absolutePath(), QDir(dir.path()).absolutePath());
    EXPECT_EQ(SpoolFiles(dir), QStringList{QFileInfo(stream.FileName()).fileName()});
    EXPECT_EQ(stream.size(), Limit + 1);
    EXPECT_EQ(stream.pos(), Limit + 1);
    EXPECT_EQ(ReadAll(stream), body);
}

TEST(SpooledStream, BlocksAcrossTheLimitKeepEveryByteInOrder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Odd block sizes put the move to the file inside a write, not at a block boundary.
    for (const qint64 block : {qint64(1000), qint64(65536), qint64(65537), Limit + 3}) {
        TSpooledStream stream(dir.path());
        const QByteArray body = Pattern(3 * Limit + 17, int(block));
        for (qint64 at = 0; at < body.size(); at += block)
            ASSERT_EQ(stream.write(body.mid(at, block)), qMin(block, body.size() - at));
        EXPECT_TRUE(stream.IsSpooled());
        EXPECT_EQ(stream.size(), body.size());
        EXPECT_EQ(ReadAll(stream), body) << "block " << block;
        EXPECT_TRUE(stream.atEnd());
    }
    EXPECT_TRUE(SpoolFiles(dir).isEmpty()) << "a spool file goes with its stream";
}

TEST(SpooledStream, SeeksAndReadsAnywhereInMemoryAndSpooled)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const qint64 size : {qint64(5000), 2 * Limit + 5}) {
        TSpooledStream stream(dir.path());
        const QByteArray body = Pattern(size);
        ASSERT_EQ(stream.write(body), size);
        for (const qint64 at : {qint64(0), qint64(1), size / 2, size - 1}) {
            ASSERT_TRUE(stream.seek(at));
            EXPECT_EQ(stream.pos(), at);
            EXPECT_EQ(stream.read(300), body.mid(at, 300)) << "at " << at << " of " << size;
        }
        ASSERT_TRUE(stream.seek(size));
        EXPECT_TRUE(stream.read(10).isEmpty());
        // Overwriting in the middle changes those bytes only.
        ASSERT_TRUE(stream.seek(10));
        ASSERT_EQ(stream.write("XYZ", 3), 3);
        QByteArray expected = body;
        expected.replace(10, 3, "XYZ");
        EXPECT_EQ(ReadAll(stream), expected);
        EXPECT_EQ(stream.size(), size);
    }
}

TEST(SpooledStream, MoveToWritesAMemoryBodyInPlace)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString target = dir.filePath(QStringLiteral("small.txt"));
    QFile old(target);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("an older file of that name that is longer");
    old.close();

    TSpooledStream stream(dir.path());
    ASSERT_EQ(stream.write("hello"), 5);
    ASSERT_TRUE(stream.MoveTo(target));
    EXPECT_FALSE(stream.IsSpooled());
    EXPECT_EQ(FileBytes(target), QByteArray("hello")) << "the older file is replaced whole";
    EXPECT_EQ(ReadAll(stream), QByteArray("hello")) << "still readable after the move";

    TSpooledStream empty(dir.path());
    const QString emptyTarget = dir.filePath(QStringLiteral("empty.txt"));
    ASSERT_TRUE(empty.MoveTo(emptyTarget));
    EXPECT_TRUE(QFileInfo::exists(emptyTarget));
    EXPECT_EQ(QFileInfo(emptyTarget).size(), 0);

    EXPECT_FALSE(stream.MoveTo(dir.filePath(QStringLiteral("no/such/folder/x"))));
}

TEST(SpooledStream, MoveToRenamesTheSpoolFileAndKeepsIt)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString target = dir.filePath(QStringLiteral("big.bin"));
    const QByteArray body = Pattern(Limit + 4096);
    {
        TSpooledStream stream(dir.path());
        ASSERT_EQ(stream.write(body), body.size());
        ASSERT_TRUE(stream.IsSpooled());
        const QString spool = stream.FileName();
        struct stat before
        {};
        ASSERT_EQ(::stat(QFile::encodeName(spool).constData(), &before), 0);

        ASSERT_TRUE(stream.MoveTo(target));
        struct stat after
        {};
        ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino) << "renamed, not copied";
        EXPECT_FALSE(QFileInfo::exists(spool));
        EXPECT_EQ(stream.FileName(), target);
        EXPECT_EQ(ReadAll(stream), body) << "still readable after the move";
    }
    EXPECT_EQ(FileBytes(target), body) << "a moved file stays when the stream goes";
    EXPECT_EQ(SpoolFiles(dir), QStringList{QStringLiteral("big.bin")});
}

TEST(SpooledStream, AFolderThatCannotTakeTheSpoolFileFailsTheWrite)
{
    TSpooledStream stream(QStringLiteral("/nonexistent/parlavue-spool"));
    ASSERT_EQ(stream.write(Pattern(Limit)), Limit);
    EXPECT_EQ(stream.write("x", 1), -1);
    EXPECT_FALSE(stream.IsSpooled());
    EXPECT_TRUE(stream.errorString().contains(QStringLiteral("/nonexistent/parlavue-spool")))
        << stream.errorString().toStdString();
    EXPECT_EQ(ReadAll(stream), Pattern(Limit)) << "what was in memory stays";
}

TEST(SpooledStream, MoveToReplacesASymbolicLinkWithoutFollowingIt)
{
    QTemporaryDir dir, outside;
    ASSERT_TRUE(dir.isValid() && outside.isValid());
    const QString victim = outside.filePath(QStringLiteral("victim"));
    const QString missing = outside.filePath(QStringLiteral("missing"));
    ASSERT_TRUE(WriteFile(victim, "not yours"));
    for (const qint64 size : {qint64(5), Limit + 100}) {
        for (const QString& pointee : {victim, missing}) {
            const QString target = dir.filePath(QStringLiteral("link"));
            ASSERT_TRUE(QFile::link(pointee, target));
            const QByteArray body = Pattern(size);
            TSpooledStream stream(dir.path());
            ASSERT_EQ(stream.write(body), size);
            ASSERT_TRUE(stream.MoveTo(target)) << stream.errorString().toStdString();
            EXPECT_EQ(FileBytes(victim), QByteArray("not yours")) << size;
            EXPECT_FALSE(QFileInfo::exists(missing)) << size;
            EXPECT_TRUE(IsRegularFile(target)) << size;
            EXPECT_EQ(FileBytes(target), body) << size;
            EXPECT_EQ(Entries(dir.path()), QStringList{QStringLiteral("link")}) << size;
            ASSERT_TRUE(QFile::remove(target));
        }
    }
}

TEST(SpooledStream, MoveToReplacesAnOlderFileWholeAndAFailureLeavesItAsItWas)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString target = dir.filePath(QStringLiteral("t.bin"));
    const QByteArray older = Pattern(3 * Limit, 9);
    for (const qint64 size : {qint64(5000), Limit + 100}) {
        const QByteArray body = Pattern(size);
        ASSERT_TRUE(WriteFile(target, older));
        TSpooledStream stream(dir.path());
        ASSERT_EQ(stream.write(body), size);
        const QStringList before = Entries(dir.path());

        // The folder is missing, the name is a folder, the disk takes too little.
        EXPECT_FALSE(stream.MoveTo(dir.filePath(QStringLiteral("no/such/x"))));
        ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("full/inside")));
        EXPECT_FALSE(stream.MoveTo(dir.filePath(QStringLiteral("full"))));
        EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("full/inside"))).isDir());
        ASSERT_TRUE(QDir(dir.filePath(QStringLiteral("full"))).removeRecursively());
        if (!stream.IsSpooled()) {
            const FileSizeLimit limit(1024);
            EXPECT_FALSE(stream.MoveTo(target));
        }
        EXPECT_EQ(Entries(dir.path()), before) << "no new file stays, " << size;
        EXPECT_EQ(FileBytes(target), older) << size;
        EXPECT_EQ(ReadAll(stream), body) << size;

        ASSERT_TRUE(stream.MoveTo(target));
        EXPECT_EQ(FileBytes(target), body) << "replaced whole, " << size;
        EXPECT_EQ(Entries(dir.path()), QStringList{QStringLiteral("t.bin")}) << size;
    }
}

TEST(SpooledStream, MoveToAnotherFileSystemCopiesAndDropsTheSpoolFile)
{
    TwoFileSystems fs = FindTwoFileSystems();
    if (!fs.first)
        GTEST_SKIP() << "no two writable file systems";
    const QString spoolFolder = fs.first->path(), folder = fs.second->path();
    const QString target = folder + QStringLiteral("/big.bin");
    const QString victim = folder + QStringLiteral("/victim");
    const QByteArray body = Pattern(2 * Limit + 7);
    ASSERT_TRUE(WriteFile(victim, "not yours"));
    ASSERT_TRUE(QFile::link(victim, target));
    {
        TSpooledStream stream(spoolFolder);
        ASSERT_EQ(stream.write(body), body.size());
        const QString spool = stream.FileName();
        {
            const FileSizeLimit limit(Limit);
            EXPECT_FALSE(stream.MoveTo(target)) << "the copy cannot be written whole";
        }
        EXPECT_EQ(Entries(folder),
                  (QStringList{QStringLiteral("big.bin"), QStringLiteral("victim")}));
        EXPECT_EQ(stream.FileName(), spool);
        EXPECT_EQ(ReadAll(stream), body);

        ASSERT_TRUE(stream.seek(100));
        ASSERT_TRUE(stream.MoveTo(target)) << stream.errorString().toStdString();
        EXPECT_EQ(stream.FileName(), target);
        EXPECT_FALSE(QFileInfo::exists(spool));
        EXPECT_TRUE(Entries(spoolFolder).isEmpty());
        EXPECT_TRUE(IsRegularFile(target));
        EXPECT_EQ(FileBytes(victim), QByteArray("not yours"));
        EXPECT_EQ(stream.read(50), body.mid(100, 50)) << "reads on where it was";
        EXPECT_EQ(ReadAll(stream), body);
    }
    EXPECT_EQ(FileBytes(target), body) << "the copy stays when the stream goes";
    EXPECT_EQ(Entries(folder), (QStringList{QStringLiteral("big.bin"), QStringLiteral("victim")}));
}

TEST(SpooledStream, MoveToFreeNeverReplacesAndNumbersTheName)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("report.tar.gz"));
    EXPECT_EQ(TSpooledStream::NumberedName(target, 1), dir.filePath("report.tar (1).gz"));
    EXPECT_EQ(TSpooledStream::NumberedName(dir.filePath("README"), 12),
              dir.filePath("README (12)"));
    // A name at the limit is shortened, never inside a character, to take its number.
    const QString longName = QString(126, QChar(0x00e9)) + QStringLiteral("abc.txt"); // 259 bytes
    const QString numbered =
        QFileInfo(TSpooledStream::NumberedName(dir.filePath(longName), 3)).fileName();
    EXPECT_LE(numbered.toUtf8().size(), 255);
    EXPECT_TRUE(numbered.endsWith(QStringLiteral(" (3).txt")));
    EXPECT_EQ(QString::fromUtf8(numbered.toUtf8()), numbered);

    // Stored one after another, in memory and spooled: each under its own name.
    QStringList placed;
    for (const qint64 size : {qint64(10), Limit + 10, qint64(20)}) {
        TSpooledStream stream(dir.path());
        ASSERT_EQ(stream.write(Pattern(size, int(size))), size);
        const std::optional<QString> path = stream.MoveToFree(target);
        ASSERT_TRUE(path) << stream.errorString().toStdString();
        EXPECT_EQ(FileBytes(*path), Pattern(size, int(size)));
        placed << QFileInfo(*path).fileName();
    }
    EXPECT_EQ(placed, (QStringList{"report.tar.gz", "report.tar (1).gz", "report.tar (2).gz"}));
}

TEST(SpooledStream, ConcurrentMovesToOneNameKeepEveryBody)
{
    // Workers store bodies of the same name at once: no body may take another's place.
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("same.bin"));
    constexpr int Workers = 8;
    std::vector<std::optional<QString>> placed(Workers);
    {
        std::vector<std::jthread> threads;
        for (int i = 0; i < Workers; ++i)
            threads.emplace_back([&, i] {
                TSpooledStream stream(dir.path());
                stream.write(Pattern(i % 2 ? Limit + 100 : 100, i));
                placed[i] = stream.MoveToFree(target);
            });
    }
    QStringList names;
    for (int i = 0; i < Workers; ++i) {
        ASSERT_TRUE(placed[i]) << i;
        EXPECT_EQ(FileBytes(*placed[i]), Pattern(i % 2 ? Limit + 100 : 100, i)) << i;
        names << *placed[i];
    }
    names.removeDuplicates();
    EXPECT_EQ(names.size(), Workers);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), Workers) << "no spool file left";
}
