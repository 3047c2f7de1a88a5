#include "platform/voice/streams/DeviceStreams.h"

#include "platform/logging/Logging.h"
#include "platform/voice/pipewire/PwCapture.h"
#include "platform/voice/pipewire/PwPlayout.h"
#include "platform/voice/pulse/PulseCapture.h"
#include "platform/voice/pulse/PulsePlayout.h"

#include <pulse/pulseaudio.h>

#include <QDir>
#include <QFileInfo>

namespace voicelink {

namespace {

// The graph's cycle while a call runs on PipeWire: 2.7 ms.
constexpr int kPipeWireQuantum = 128;

// The name the PulseAudio server gives itself: PipeWire's says so.
QString pulseServerName()
{
    PulseConnection connection(nullptr);
    QString why;
    if (!connection.ConnectLocked(why))
        return {};
    struct Answer
    {
        PulseConnection* connection;
        QString name;
        bool done = false;
    } answer{&connection, {}, false};
    pa_operation* op = pa_context_get_server_info(
        connection.Context(),
        [](pa_context*, const pa_server_info* info, void* data) {
            auto* a = static_cast<Answer*>(data);
            a->name = info && info->server_name ? QString::fromUtf8(info->server_name) : QString();
            a->done = true;
            a->connection->Signal();
        },
        &answer);
    if (op) {
        connection.WaitUntil([&answer] { return answer.done; }, [] { return false; });
        pa_operation_unref(op);
    }
    connection.Unlock();
    connection.Stop();
    return answer.name;
}

// PipeWire's own socket, where its library will look for it.
bool pipeWireSocket()
{
    QString dir = qEnvironmentVariable("PIPEWIRE_RUNTIME_DIR");
    if (dir.isEmpty())
        dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QString remote = qEnvironmentVariable("PIPEWIRE_REMOTE");
    if (remote.isEmpty())
        remote = QStringLiteral("pipewire-0");
    const QString path = QDir::isAbsolutePath(remote) ? remote : QDir(dir).filePath(remote);
    return !dir.isEmpty() && QFileInfo(path).exists();
}

bool usePipeWire()
{
    const QByteArray forced = qgetenv("PARLAVUE_VOICE_SERVER");
    if (forced == "pulse")
        return false;
    if (forced == "pipewire")
        return true;
    // Asked once per server: a call opens its streams several times.
    static QByteArray askedOf;
    static bool pipeWire = false;
    const QByteArray server = qgetenv("PULSE_SERVER") + '\n' + qgetenv("XDG_RUNTIME_DIR") + '\n' +
                              qgetenv("PIPEWIRE_RUNTIME_DIR") + '\n' + qgetenv("PIPEWIRE_REMOTE");
    if (askedOf == server && !askedOf.isNull())
        return pipeWire;
    askedOf = server;
    // A PulseAudio server elsewhere (tcp:) may be PipeWire's, but not this machine's.
    const QByteArray pulse = qgetenv("PULSE_SERVER");
    const bool local = pulse.isEmpty() || pulse.startsWith("unix:") || pulse.startsWith('/');
    const QString name = local && pipeWireSocket() ? pulseServerName() : QString();
    pipeWire = name.contains(QLatin1String("PipeWire"));
    qCInfo(lcVoice).noquote() << "voice streams:" << (pipeWire ? "PipeWire's own" : "PulseAudio's")
                              << (name.isEmpty() ? QString() : "(" + name + ")");
    return pipeWire;
}

} // namespace

std::unique_ptr<PlayoutStream> makePlayout(PlayoutQueue& queue, PlayoutStream::Played played,
                                           PlayoutStream::Failed failed)
{
    if (usePipeWire())
        return std::make_unique<PwPlayout>(queue, std::move(played), std::move(failed),
                                           kPipeWireQuantum);
    return std::make_unique<PulsePlayout>(queue, std::move(played), std::move(failed));
}

std::unique_ptr<CaptureStream> makeCapture(size_t frameSamples, CaptureFrames::Frame frame,
                                           PlayoutStream::Failed failed)
{
    if (usePipeWire())
        return std::make_unique<PwCapture>(frameSamples, std::move(frame), std::move(failed),
                                           kPipeWireQuantum);
    return std::make_unique<PulseCapture>(frameSamples, std::move(frame), std::move(failed));
}

} // namespace voicelink
