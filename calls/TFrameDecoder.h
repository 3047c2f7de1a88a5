#pragma once

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QSize>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

// Decodes received video datagrams on a thread of its own and hands the pictures back to the
// thread that owns it. Only the newest datagram waiting is decoded and only the newest picture
// waiting is handed over, so frames that come faster than they can be decoded or shown are
// dropped, older first, and the owner's event loop never waits for a decoder.
class TFrameDecoder : public QObject
{
    Q_OBJECT
public:
    struct TFrame
    {
        QImage picture;         // as decoded: no larger than it takes to cover the display size
        QImage display;         // the same scaled to fit the display size
        QByteArray reducedFrom; // the datagram, when picture is smaller than the frame it holds
    };
    // ticket: what Submit was given with the datagram.
    using Handler = std::function<void(const TFrame& frame, quint64 ticket)>;

    explicit TFrameDecoder(Handler handler, QObject* parent = nullptr);
    ~TFrameDecoder() override;

    // Replaces any datagram still waiting to be decoded.
    void Submit(const QByteArray& datagram, quint64 ticket);
    // Where pictures will be shown, in the widget's size and the screen's device pixels per
    // widget pixel; they are scaled to fit it, in device pixels, on the decoding thread.
    void SetDisplaySize(const QSize& size, qreal devicePixelRatio = 1.0);

    // What the decoding thread makes of one datagram for an area of that size: nothing when the
    // datagram is no sound JPEG image within the decoder's caps. The display picture has the
    // area's device pixels and says so (its device pixel ratio), so a high-density screen shows
    // every pixel the peer sent instead of a blown-up small picture.
    static std::optional<TFrame> Prepare(const QByteArray& datagram, const QSize& area,
                                         qreal devicePixelRatio = 1.0);

    // Counters, for diagnostics, benchmarks and tests.
    quint64 Submitted() const { return submitted_; }
    quint64 Decoded() const { return decoded_; }
    quint64 Refused() const { return refused_; }
    quint64 Delivered() const { return delivered_; }

private:
    struct TResult
    {
        TFrame frame;
        quint64 ticket = 0;
    };
    struct TJob
    {
        QByteArray datagram;
        quint64 ticket = 0;
    };

    void Run(std::stop_token stop);
    void Deliver();

    Handler handler_;
    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::optional<TJob> job_;
    std::optional<TResult> result_;
    bool deliveryPosted_ = false;
    QSize displaySize_;
    qreal devicePixelRatio_ = 1.0;
    std::atomic<quint64> submitted_{0};
    std::atomic<quint64> decoded_{0};
    std::atomic<quint64> refused_{0};
    std::atomic<quint64> delivered_{0};
    std::jthread worker_; // last: it starts once everything it uses exists
};
