#include "platform/volume/TPulseVolume.h"
#include "tests/support/TSoundServer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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

// A private sound server with one null sink "spkTest" as the default output; stopped on
// destruction. This process talks to it through PULSE_SERVER while the object lives.
class TPulseDaemon
{
public:
    explicit TPulseDaemon(int channels) { Start(channels); }
    ~TPulseDaemon()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(3000)) {
                m_process.kill();
                m_process.waitForFinished(3000);
            }
        }
    }

    bool Ready() const { return m_ready; }
    QString Error() const { return m_error; }
    QString Server() const { return "unix:" + m_dir.filePath("native"); }

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

    // Raw per-channel volumes of spkTest as pactl reports them.
    std::vector<quint32> SinkVolumes()
    {
        std::vector<quint32> result;
        const auto out = Pactl({"get-sink-volume", "spkTest"});
        if (!out)
            return result;
        const QString firstLine = out->section('\n', 0, 0);
        static const QRegularExpression channel(R"([\w-]+:\s*(\d+)\s*/)");
        for (auto it = channel.globalMatch(firstLine); it.hasNext();)
            result.push_back(it.next().captured(1).toUInt());
        return result;
    }

private:
    void Start(int channels)
    {
        if (!m_dir.isValid() || !m_home.isValid() || !m_runtime.isValid()) {
            m_error = "cannot create temporary directories";
            return;
        }
        const QString config = m_dir.filePath("daemon.pa");
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly)) {
            m_error = "cannot write " + config;
            return;
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

        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert("HOME", m_home.path());
        m_env.insert("PULSE_RUNTIME_PATH", m_runtime.path());
        m_env.insert("XDG_RUNTIME_DIR", m_runtime.path());
        m_env.insert("PULSE_STATE_PATH", m_home.filePath("state"));
        m_env.insert("PULSE_SERVER", Server());
        m_env.remove("DBUS_SESSION_BUS_ADDRESS");
        m_process.setProcessEnvironment(m_env);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(QStandardPaths::findExecutable("pulseaudio"),
                        {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=false",
                         "--system=false", "-F", config});
        if (!m_process.waitForStarted(5000)) {
            m_error = "pulseaudio did not start: " + m_process.errorString();
            return;
        }
        QElapsedTimer timer;
        timer.start();
        for (int attempt = 0; attempt < 100 && timer.elapsed() < 10000; ++attempt) {
            if (m_process.state() == QProcess::NotRunning) {
                m_error = "pulseaudio exited: " + QString::fromLocal8Bit(m_process.readAll());
                return;
            }
            if (UnixSocketAccepts(m_dir.filePath("native"))) {
                m_ready = true;
                break;
            }
            m_process.waitForFinished(100);
        }
        if (!m_ready) {
            m_error = "pulseaudio did not answer: " + QString::fromLocal8Bit(m_process.readAll());
            return;
        }
        m_guard.Set("PULSE_SERVER", Server().toUtf8());
        m_guard.Set("PULSE_RUNTIME_PATH", QFile::encodeName(m_runtime.path()));
        m_guard.Set("HOME", QFile::encodeName(m_home.path()));
    }

    QTemporaryDir m_dir;
    QTemporaryDir m_home;
    QTemporaryDir m_runtime;
    QProcessEnvironment m_env;
    QProcess m_process;
    bool m_ready = false;
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

class PulseVolumeServerTest : public ::testing::Test
{
protected:
    void StartDaemon(int channels)
    {
        if (QStandardPaths::findExecutable("pulseaudio").isEmpty())
            GTEST_SKIP() << "pulseaudio is not installed (apt-get install pulseaudio)";
        if (QStandardPaths::findExecutable("pactl").isEmpty())
            GTEST_SKIP() << "pactl is not installed (apt-get install pulseaudio-utils)";
        m_daemon = std::make_unique<TPulseDaemon>(channels);
        ASSERT_TRUE(m_daemon->Ready()) << m_daemon->Error().toStdString();
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

    quint16 left = 1234;
    quint16 right = 4321;
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(TPulseVolume::GetWaveOutVolume(left, right));
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_EQ(left, 1234);
    EXPECT_EQ(right, 4321);

    timer.restart();
    EXPECT_FALSE(TPulseVolume::SetWaveOutVolume(0x40008000u));
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

    quint16 left = 0;
    quint16 right = 0;
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(TPulseVolume::GetWaveOutVolume(left, right));
    EXPECT_LT(timer.elapsed(), 2000);
    timer.restart();
    EXPECT_FALSE(TPulseVolume::SetWaveOutVolume(0x40008000u));
    EXPECT_LT(timer.elapsed(), 2000);
}

TEST_F(PulseVolumeServerTest, SetThenGetKeepsDistinctChannels)
{
    StartDaemon(2);
    const quint16 setLeft = 0x8000;
    const quint16 setRight = 0x4000;
    ASSERT_TRUE(TPulseVolume::SetWaveOutVolume(quint32(setRight) << 16 | setLeft));
    quint16 left = 0;
    quint16 right = 0;
    ASSERT_TRUE(TPulseVolume::GetWaveOutVolume(left, right));
    EXPECT_NEAR(left, setLeft, 1);
    EXPECT_NEAR(right, setRight, 1);
}

TEST_F(PulseVolumeServerTest, SetHalfGivesHalfOnBothChannels)
{
    StartDaemon(2);
    const quint16 half = 32767;
    ASSERT_TRUE(TPulseVolume::SetWaveOutVolume(quint32(half) << 16 | half));
    quint16 left = 0;
    quint16 right = 0;
    ASSERT_TRUE(TPulseVolume::GetWaveOutVolume(left, right));
    EXPECT_EQ(left, half);
    EXPECT_EQ(right, half);
}

TEST_F(PulseVolumeServerTest, SetIsAppliedToTheDefaultSink)
{
    StartDaemon(2);
    const quint16 setLeft = 50000;
    const quint16 setRight = 10000;
    ASSERT_TRUE(TPulseVolume::SetWaveOutVolume(quint32(setRight) << 16 | setLeft));
    const auto raw = m_daemon->SinkVolumes();
    ASSERT_EQ(raw.size(), 2u);
    EXPECT_NEAR(raw[0], ToServer(setLeft), 1.0);
    EXPECT_NEAR(raw[1], ToServer(setRight), 1.0);
}

TEST_F(PulseVolumeServerTest, GetReadsTheDefaultSink)
{
    StartDaemon(2);
    const quint32 rawLeft = 20000;
    const quint32 rawRight = 45000;
    ASSERT_TRUE(m_daemon->Pactl(
        {"set-sink-volume", "spkTest", QString::number(rawLeft), QString::number(rawRight)}));
    quint16 left = 0;
    quint16 right = 0;
    ASSERT_TRUE(TPulseVolume::GetWaveOutVolume(left, right));
    EXPECT_NEAR(left, FromServer(rawLeft), 1.0);
    EXPECT_NEAR(right, FromServer(rawRight), 1.0);
}

TEST_F(PulseVolumeServerTest, MonoSinkTakesTheAverage)
{
    StartDaemon(1);
    const quint16 setLeft = 60000;
    const quint16 setRight = 20000;
    ASSERT_TRUE(TPulseVolume::SetWaveOutVolume(quint32(setRight) << 16 | setLeft));
    const auto raw = m_daemon->SinkVolumes();
    ASSERT_EQ(raw.size(), 1u);
    const double average = (setLeft + setRight) / 2.0;
    EXPECT_NEAR(raw[0], ToServer(static_cast<quint16>(average)), 1.0);
    quint16 left = 0;
    quint16 right = 0;
    ASSERT_TRUE(TPulseVolume::GetWaveOutVolume(left, right));
    EXPECT_NEAR(left, average, 1.0);
    EXPECT_EQ(left, right);
}
