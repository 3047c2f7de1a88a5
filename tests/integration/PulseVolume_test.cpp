#include "platform/volume/TPulseVolume.h"
#include "tests/support/TSoundServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace {

// Sets environment variables for the lifetime of the guard, then restores them.
class TEnvGuard
{
public:
    void Set(const char* name, const QByteArray& value)
    {
        m_saved.push_back({name, qEnvironmentVariableIsSet(name), qgetenv(name)});
        qputenv(name, value);
    }
    ~TEnvGuard()
    {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
            if (it->wasSet)
                qputenv(it->name, it->value);
            else
                qunsetenv(it->name);
        }
    }

private:
    struct TSaved
    {
        const char* name;
        bool wasSet;
        QByteArray value;
    };
    std::vector<TSaved> m_saved;
};

// Closes a descriptor on scope exit.
struct TFd
{
    explicit TFd(int f) : fd(f) {}
    ~TFd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int fd;
};

// A private sound server with one null sink "spkTest" as the default output. From
// construction on, this process talks to its socket through PULSE_SERVER whether or not the
// server runs, so it can be started late, stopped, frozen and started again on the same socket.
// Stopped on destruction.
class TPulseDaemon
{
public:
    TPulseDaemon()
    {
        if (!m_dir.isValid() || !m_home.isValid() || !m_runtime.isValid()) {
            m_error = "cannot create temporary directories";
            return;
        }
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert("HOME", m_home.path());
        m_env.insert("PULSE_RUNTIME_PATH", m_runtime.path());
        m_env.insert("XDG_RUNTIME_DIR", m_runtime.path());
        m_env.insert("PULSE_STATE_PATH", m_home.filePath("state"));
        m_env.insert("PULSE_SERVER", Server());
        m_env.remove("DBUS_SESSION_BUS_ADDRESS");
        m_guard.Set("PULSE_SERVER", Server().toUtf8());
        m_guard.Set("PULSE_RUNTIME_PATH", QFile::encodeName(m_runtime.path()));
        m_guard.Set("HOME", QFile::encodeName(m_home.path()));
    }
    ~TPulseDaemon() { Stop(); }

    QString Error() const { return m_error; }
    QString Server() const { return "unix:" + m_dir.filePath("native"); }

    // Starts the server and waits until its socket accepts; false (see Error) when it does not.
    bool Start(int channels)
    {
        if (!m_dir.isValid() || !m_home.isValid() || !m_runtime.isValid())
            return false;
        m_error.clear();
        const QString config = m_dir.filePath("daemon.pa");
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly)) {
            m_error = "cannot write " + config;
            return false;
        }
        // The socket comes last, so once it accepts, the sink is there.
        file.write(QStringLiteral("load-module module-null-sink sink_name=spkTest channels=%1\n"
                                  "set-default-sink spkTest\n"
                                  "load-module module-native-protocol-unix socket=%2 "
                                  "auth-anonymous=1\n")
                       .arg(channels)
                       .arg(m_dir.filePath("native"))
                       .toUtf8());
        file.close();
        m_process.setProcessEnvironment(m_env);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(QStandardPaths::findExecutable("pulseaudio"),
                        {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=false",
                         "--system=false", "--log-level=debug", "--log-target=file:" + Log(), "-F",
                         config});
        if (!m_process.waitForStarted(5000)) {
            m_error = "pulseaudio did not start: " + m_process.errorString();
            return false;
        }
        QElapsedTimer timer;
        timer.start();
        for (int attempt = 0; attempt < 100 && timer.elapsed() < 10000; ++attempt) {
            if (m_process.state() == QProcess::NotRunning) {
                m_error = "pulseaudio exited: " + QString::fromLocal8Bit(m_process.readAll());
                return false;
            }
            if (UnixSocketAccepts(m_dir.filePath("native")))
                return true;
            m_process.waitForFinished(100);
        }
        m_error = "pulseaudio did not answer: " + QString::fromLocal8Bit(m_process.readAll());
        return false;
    }

    void Stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        Resume();
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }

    // Freezes the server: it takes no request and answers none until Resume (or Stop).
    bool Pause()
    {
        m_paused =
            m_process.state() == QProcess::Running && ::kill(m_process.processId(), SIGSTOP) == 0;
        return m_paused;
    }
    void Resume()
    {
        if (m_paused && m_process.state() == QProcess::Running)
            ::kill(m_process.processId(), SIGCONT);
        m_paused = false;
    }

    // Runs pactl against this server; nullopt when it fails or hangs.
    std::optional<QString> Pactl(const QStringList& args)
    {
        QProcess pactl;
        pactl.setProcessEnvironment(m_env);
        pactl.start(QStandardPaths::findExecutable("pactl"), args);
        if (!pactl.waitForFinished(5000)) {
            pactl.kill();
            pactl.waitForFinished(1000);
            return std::nullopt;
        }
        if (pactl.exitStatus() != QProcess::NormalExit || pactl.exitCode() != 0)
            return std::nullopt;
        return QString::fromLocal8Bit(pactl.readAllStandardOutput());
    }

    // Raw per-channel volumes of a sink as pactl reports them.
    std::vector<quint32> SinkVolumes(const QString& sink = "spkTest")
    {
        std::vector<quint32> result;
        const auto out = Pactl({"get-sink-volume", sink});
        if (!out)
            return result;
        static const QRegularExpression channel(R"([\w-]+:\s*(\d+)\s*/)");
        for (auto it = channel.globalMatch(out->section('\n', 0, 0)); it.hasNext();)
            result.push_back(it.next().captured(1).toUInt());
        return result;
    }

    // Volume requests from this process the server has taken since it started, as its log
    // tells (it names a client by its executable); -1 when the log cannot be read.
    int VolumeRequests() const
    {
        QFile log(Log());
        if (!log.open(QIODevice::ReadOnly))
            return -1;
        const QString self = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
        return static_cast<int>(
            log.readAll().count("Client " + QFile::encodeName(self) + " changes volume of sink"));
    }

    // Clients connected to the server, the asking pactl included; -1 when pactl fails.
    int ClientCount()
    {
        const auto out = Pactl({"list", "clients", "short"});
        if (!out)
            return -1;
        return static_cast<int>(out->split('\n', Qt::SkipEmptyParts).size());
    }

private:
    QString Log() const { return m_dir.filePath("daemon.log"); }

    QTemporaryDir m_dir;
    QTemporaryDir m_home;
    QTemporaryDir m_runtime;
    QProcessEnvironment m_env;
    QProcess m_process;
    bool m_paused = false;
    QString m_error;
    TEnvGuard m_guard;
};

// The linear map between the 0..65535 scale and the server's muted..normal range.
constexpr double kNorm = 65536.0;
double ToServer(quint16 v)
{
    return v * kNorm / 65535.0;
}
double FromServer(quint32 v)
{
    return v * 65535.0 / kNorm;
}

quint32 Pack(quint16 left, quint16 right)
{
    return quint32(right) << 16 | left;
}

// Polls until pred holds or timeoutMs pass; whether it held.
template <class Pred> bool WaitUntil(Pred pred, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    for (int attempt = 0; !pred(); ++attempt) {
        if (attempt >= 5000 || timer.elapsed() >= timeoutMs)
            return false;
        QThread::msleep(20);
    }
    return true;
}

struct TReading
{
    quint16 left = 0, right = 0;
};

std::optional<TReading> Read(TPulseVolume& volume)
{
    TReading r;
    if (!volume.GetWaveOutVolume(r.left, r.right))
        return std::nullopt;
    return r;
}

// Setting the volume reaches the server a moment later: whether Get reports left/right within
// tolerance in a bounded time, with the last reading when not.
::testing::AssertionResult ReadsSoon(TPulseVolume& volume, double left, double right,
                                     double tolerance = 1.0)
{
    std::optional<TReading> last;
    const bool reached = WaitUntil(
        [&] {
            last = Read(volume);
            return last && std::abs(last->left - left) <= tolerance &&
                   std::abs(last->right - right) <= tolerance;
        },
        5000);
    if (reached)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "last reading " << (last ? last->left : -1) << "/" << (last ? last->right : -1);
}

// The same for the raw per-channel volumes of a sink as pactl sees them.
::testing::AssertionResult SinkSoon(TPulseDaemon& daemon, const QString& sink,
                                    const std::vector<double>& expected)
{
    std::vector<quint32> last;
    const bool reached = WaitUntil(
        [&] {
            last = daemon.SinkVolumes(sink);
            return std::equal(last.begin(), last.end(), expected.begin(), expected.end(),
                              [](quint32 got, double want) { return std::abs(got - want) <= 1.0; });
        },
        5000);
    if (reached)
        return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure() << "last volumes of " << sink.toStdString() << ":";
    for (const quint32 v : last)
        failure << " " << v;
    return failure;
}

// A slider drag: the left rises and the right falls, a new value at every step.
constexpr int kDragSteps = 2000;
quint16 DragLeft(int step)
{
    return static_cast<quint16>(1000 + step * 30);
}
quint16 DragRight(int step)
{
    return static_cast<quint16>(61000 - step * 30);
}

// What every call does while no server answers: fail at once, leave the reading alone.
void ExpectFailsQuickly(TPulseVolume& volume)
{
    quint16 left = 1234;
    quint16 right = 4321;
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(volume.GetWaveOutVolume(left, right));
    EXPECT_FALSE(volume.SetWaveOutVolume(0x40008000u));
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_EQ(left, 1234);
    EXPECT_EQ(right, 4321);
}

class PulseVolumeServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("pulseaudio").isEmpty())
            GTEST_SKIP() << "pulseaudio is not installed (apt-get install pulseaudio)";
        if (QStandardPaths::findExecutable("pactl").isEmpty())
            GTEST_SKIP() << "pactl is not installed (apt-get install pulseaudio-utils)";
        m_daemon = std::make_unique<TPulseDaemon>();
        ASSERT_TRUE(m_daemon->Error().isEmpty()) << m_daemon->Error().toStdString();
    }

    void StartDaemon(int channels)
    {
        ASSERT_TRUE(m_daemon->Start(channels)) << m_daemon->Error().toStdString();
    }

    // Sets the drag's steps [from, to); how many calls took their value.
    static int Drag(TPulseVolume& volume, int from, int to, int stride = 1)
    {
        int accepted = 0;
        for (int step = from; step < to; step += stride)
            accepted += volume.SetWaveOutVolume(Pack(DragLeft(step), DragRight(step))) ? 1 : 0;
        return accepted;
    }

    std::unique_ptr<TPulseDaemon> m_daemon;
};

} // namespace

TEST(PulseVolumeTest, FailsQuicklyWithoutServer)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TEnvGuard env;
    env.Set("PULSE_SERVER", QFile::encodeName("unix:" + dir.filePath("absent/native")));
    env.Set("PULSE_RUNTIME_PATH", QFile::encodeName(dir.filePath("runtime")));

    auto volume = std::make_unique<TPulseVolume>();
    ExpectFailsQuickly(*volume);
    ExpectFailsQuickly(*volume); // and again, now that it has given up once
    QElapsedTimer timer;
    timer.start();
    volume.reset();
    EXPECT_LT(timer.elapsed(), 2000);
}

TEST(PulseVolumeTest, GivesUpOnServerThatNeverAnswers)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A socket that takes connections into its backlog and never says a word.
    const TFd socket(::socket(AF_UNIX, SOCK_STREAM, 0));
    const int fd = socket.fd;
    ASSERT_GE(fd, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(dir.filePath("native"));
    std::strncpy(addr.sun_path, path.constData(), sizeof(addr.sun_path) - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    ASSERT_EQ(::listen(fd, 8), 0);
    ASSERT_TRUE(UnixSocketAccepts(QFile::decodeName(path)));

    TEnvGuard env;
    env.Set("PULSE_SERVER", "unix:" + path);
    env.Set("PULSE_RUNTIME_PATH", QFile::encodeName(dir.filePath("runtime")));

    auto volume = std::make_unique<TPulseVolume>();
    ExpectFailsQuickly(*volume);
    // Its connection still hangs; letting go of it must not.
    QElapsedTimer timer;
    timer.start();
    volume.reset();
    EXPECT_LT(timer.elapsed(), 2000);
}

TEST_F(PulseVolumeServerTest, SetThenGetKeepsDistinctChannels)
{
    ASSERT_NO_FATAL_FAILURE(StartDaemon(2));
    TPulseVolume volume;
    ASSERT_TRUE(Read(volume)); // waits for the connection
    const quint16 setLeft = 0x8000;
    const quint16 setRight = 0x4000;
    ASSERT_TRUE(volume.SetWaveOutVolume(Pack(setLeft, setRight)));
    EXPECT_TRUE(ReadsSoon(volume, setLeft, setRight));
}

TEST_F(PulseVolumeServerTest, SetHalfGivesHalfOnBothChannels)
{
    ASSERT_NO_FATAL_FAILURE(StartDaemon(2));
    TPulseVolume volume;
    ASSERT_TRUE(Read(volume)); // waits for the connection
    const quint16 half = 32767;
    ASSERT_TRUE(volume.SetWaveOutVolume(Pack(half, half)));
    EXPECT_TRUE(ReadsSoon(volume, half, half, 0.0));
}

TEST_F(PulseVolumeServerTest, SetIsAppliedToTheDefaultSink)
{
    ASSERT_NO_FATAL_FAILURE(StartDaemon(2));
    TPulseVolume volume;
    ASSERT_TRUE(Read(volume)); // waits for the connection
    const quint16 setLeft = 50000;
    const quint16 setRight = 10000;
    ASSERT_TRUE(volume.SetWaveOutVolume(Pack(setLeft, setRight)));
    EXPECT_TRUE(SinkSoon(*m_daemon, "spkTest", {ToServer(setLeft), ToServer(setRight)}));
}

TEST_F(PulseVolumeServerTest, GetReadsTheDefaultSinkAndFollowsItsChanges)
{
    ASSERT_NO_FATAL_FAILURE(StartDaemon(2));
    const quint32 rawLeft = 20000;
    const quint32 rawRight = 45000;
    ASSERT_TRUE(m_daemon->Pactl(
        {"set-sink-volume", "spkTest", QString::number(rawLeft), QString::number(rawRight)}));
    TPulseVolume volume;
    // The first call waits for the connection and its first reading.
    const auto first = Read(volume);
    ASSERT_TRUE(first);
    EXPECT_NEAR(first->left, FromServer(rawLeft), 1.0);
    EXPECT_NEAR(first->right, FromServer(rawRight), 1.0);

    // Changed by someone else, then read from what the server told since.
    ASSERT_TRUE(m_daemon->Pactl({"set-sink-volume", "spkTest", "60000", "5000"}));
    EXPECT_TRUE(ReadsSoon(volume, FromServer(60000), FromServer(5000)));
}

TEST_F(PulseVolumeServerTest, FollowsANewDefaultSink)
{
    ASSERT_NO_FATAL_FAILURE(StartDaemon(2));
    TPulseVolume volume;
    ASSERT_TRUE(Read(volume)); // waits for the connection
    ASSERT_TRUE(
        m_daemon->Pactl({"load-module", "module-null-sink", "sink_name=spkOther", "channels=1"}));
    ASSERT_TRUE(m_daemon->Pactl({"set-sink-volume", "spkOther", "20000"}));
    ASSERT_TRUE(m_daemon->Pactl({"set-default-sink", "spkOther"}));
    EXPECT_TRUE(ReadsSoon(volume, FromServer(20000), FromServer(20000)));

    // Setting goes to the new default as well; the old one keeps its volume.
    const auto before = m_daemon->SinkVolumes("spkTest");
    ASSERT_EQ(before.size(), 2u);
    ASSERT_TRUE(volume.SetWaveOutVolume(Pack(10000, 50000)));
    EXPECT_TRUE(SinkSoon(*m_daemon, "spkOther", {ToServer(30000)}));
    EXPECT_EQ(m_daemon->SinkVolumes("spkTest"), before);
}

TEST_F(PulseVolumeServerTest, MonoSinkTakesTheAverage)
{
    ASSERT_NO_FATAL_FAILURE(StartDaemon(1));
    TPulseVolume volume;
    ASSERT_TRUE(Read(volume)); // waits for the connection
    const quint16 setLeft = 60000;
    const quint16 setRight = 20000;
    ASSERT_TRUE(volume.SetWaveOutVolume(Pack(setLeft, setRight)));
    const double average = (setLeft + setRight) / 2.0;
    EXPECT_TRUE(SinkSoon(*m_daemon, "spkTest", {ToServer(static_cast<quint16>(average))}));
    // Both halves of the reading come from the one channel.
    EXPECT_TRUE(ReadsSoon(volume, average, average));
    const auto got = Read(volume);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->left, got->right);
}

TEST_F(PulseVolumeServerTest, ADragOfManyValuesEndsAtTheLastOne)
{
    ASSERT_NO_FATAL_FAILURE(StartDaemon(2));
    TPulseVolume volume;
    ASSERT_TRUE(Read(volume)); // waits for the connection

    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(Drag(volume, 0, kDragSteps), kDragSteps);
    EXPECT_LT(timer.elapsed(), 2000);

    const quint16 lastLeft = DragLeft(kDragSteps - 1);
    const quint16 lastRight = DragRight(kDragSteps - 1);
    EXPECT_TRUE(SinkSoon(*m_daemon, "spkTest", {ToServer(lastLeft), ToServer(lastRight)}));
    EXPECT_TRUE(ReadsSoon(volume, lastLeft, lastRight));
    // Values that came while one was on its way replaced each other instead of queueing up.
    const int requests = m_daemon->VolumeRequests();
    EXPECT_GE(requests, 1);
    EXPECT_LT(requests, kDragSteps / 2);
}

TEST_F(PulseVolumeServerTest, SetsToAFrozenServerReturnAtOnceAndTheNewestWins)
{
    ASSERT_NO_FATAL_FAILURE(StartDaemon(2));
    TPulseVolume volume;
    ASSERT_TRUE(Read(volume)); // waits for the connection

    // The first value stays on its way while the server is frozen; the rest wait behind it.
    ASSERT_TRUE(m_daemon->Pause());
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(Drag(volume, 0, kDragSteps, 10), kDragSteps / 10);
    EXPECT_LT(timer.elapsed(), 2000);
    m_daemon->Resume();

    const int last = kDragSteps - 10;
    EXPECT_TRUE(
        SinkSoon(*m_daemon, "spkTest", {ToServer(DragLeft(last)), ToServer(DragRight(last))}));
    EXPECT_TRUE(ReadsSoon(volume, DragLeft(last), DragRight(last)));
    // The one on its way when the server froze, then the newest of those behind it.
    EXPECT_EQ(m_daemon->VolumeRequests(), 2);
}

TEST_F(PulseVolumeServerTest, OneConnectionServesAWholeDrag)
{
    ASSERT_NO_FATAL_FAILURE(StartDaemon(2));
    const int before = m_daemon->ClientCount();
    ASSERT_GT(before, 0); // pactl itself
    TPulseVolume volume;
    ASSERT_TRUE(Read(volume)); // waits for the connection
    EXPECT_EQ(m_daemon->ClientCount(), before + 1);

    constexpr int kChunk = kDragSteps / 4;
    for (int from = 0; from < kDragSteps; from += kChunk) {
        EXPECT_EQ(Drag(volume, from, from + kChunk), kChunk);
        EXPECT_EQ(m_daemon->ClientCount(), before + 1) << "after step " << from + kChunk;
    }
    EXPECT_TRUE(ReadsSoon(volume, DragLeft(kDragSteps - 1), DragRight(kDragSteps - 1)));
    EXPECT_EQ(m_daemon->ClientCount(), before + 1);
}

TEST_F(PulseVolumeServerTest, SurvivesTheServerGoingAwayAndComingBack)
{
    ASSERT_NO_FATAL_FAILURE(StartDaemon(2));
    TPulseVolume volume;
    ASSERT_TRUE(Read(volume)); // waits for the connection

    m_daemon->Stop();
    ASSERT_TRUE(WaitUntil([&] { return !Read(volume); }, 3000))
        << "still reports a volume with the server gone";
    ExpectFailsQuickly(volume);

    // Back on the same socket: found again within the longest pause between attempts.
    ASSERT_NO_FATAL_FAILURE(StartDaemon(2));
    ASSERT_TRUE(WaitUntil([&] { return Read(volume).has_value(); }, 15000));
    ASSERT_TRUE(volume.SetWaveOutVolume(Pack(12000, 34000)));
    EXPECT_TRUE(SinkSoon(*m_daemon, "spkTest", {ToServer(12000), ToServer(34000)}));
    EXPECT_TRUE(ReadsSoon(volume, 12000, 34000));
}

TEST_F(PulseVolumeServerTest, ConnectsWhenTheServerComesLater)
{
    TPulseVolume volume;
    ExpectFailsQuickly(volume);

    ASSERT_NO_FATAL_FAILURE(StartDaemon(2));
    ASSERT_TRUE(WaitUntil([&] { return Read(volume).has_value(); }, 15000));
    ASSERT_TRUE(volume.SetWaveOutVolume(Pack(40000, 20000)));
    EXPECT_TRUE(ReadsSoon(volume, 40000, 20000));
}
