#include "platform/player/gst/TGstMediaPlayer.h"

#include "platform/logging/Logging.h"

#include <QFileInfo>
#include <QUrl>

#include <gst/gst.h>

struct TGstMediaPlayer::Impl
{
    GstElement* playbin = nullptr;
    bool playing = false;

    ~Impl() { Release(); }

    void Release()
    {
        if (!playbin)
            return;
        gst_element_set_state(playbin, GST_STATE_NULL);
        gst_object_unref(playbin);
        playbin = nullptr;
        playing = false;
    }

    // Takes in what the pipeline said since the last look: the end of the file or an error
    // ends the playing.
    void Drain()
    {
        if (!playbin)
            return;
        GstBus* bus = gst_element_get_bus(playbin);
        while (GstMessage* message =
                   gst_bus_pop_filtered(bus, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR))) {
            if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR)
                qCWarning(lcCall) << "ring tone cannot be played";
            playing = false;
            gst_message_unref(message);
        }
        gst_object_unref(bus);
    }
};

TGstMediaPlayer::TGstMediaPlayer() : d(std::make_unique<Impl>())
{
    if (!gst_is_initialized())
        gst_init(nullptr, nullptr);
}

TGstMediaPlayer::~TGstMediaPlayer() = default;

void TGstMediaPlayer::Close()
{
    d->Release();
}

bool TGstMediaPlayer::Open(const QString& fileName)
{
    d->Release();
    if (!QFileInfo(fileName).isFile())
        return false;
    d->playbin = gst_element_factory_make("playbin", nullptr);
    if (!d->playbin) {
        qCWarning(lcCall) << "GStreamer playbin is missing";
        return false;
    }
    gst_object_ref_sink(d->playbin);
    const QByteArray uri = QUrl::fromLocalFile(QFileInfo(fileName).absoluteFilePath()).toEncoded();
    g_object_set(d->playbin, "uri", uri.constData(), nullptr);
    // No picture for an audio file with cover art.
    GstElement* fakeVideo = gst_element_factory_make("fakesink", nullptr);
    if (fakeVideo)
        g_object_set(d->playbin, "video-sink", fakeVideo, nullptr);
    return true;
}

void TGstMediaPlayer::Play()
{
    if (!d->playbin)
        return;
    gst_element_seek_simple(d->playbin, GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH, 0);
    d->playing = gst_element_set_state(d->playbin, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
}

void TGstMediaPlayer::Stop()
{
    if (d->playbin)
        gst_element_set_state(d->playbin, GST_STATE_NULL);
    d->playing = false;
}

bool TGstMediaPlayer::Playing()
{
    d->Drain();
    return d->playing;
}
