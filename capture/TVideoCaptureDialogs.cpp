#include "capture/TStreamFormatPage.h"
#include "capture/TVideoCapture.h"
#include "platform/capturegraph/CaptureGuids.h"
#include "platform/logging/Logging.h"
#include "platform/ui/TUiServices.h"

using namespace CaptureGuids;

const QStringList& TVideoCapture::DialogCaptions()
{
    static const QStringList captions{
        QStringLiteral("Video Format"),
        QStringLiteral("Video Source"),
        QStringLiteral("Video Display"),
        QStringLiteral("Video Capture Filter"),
        QStringLiteral("Video Crossbar"),
        QStringLiteral("TV Tuner"),
        QStringLiteral("Audio Capture Filter"),
        QStringLiteral("Audio Crossbar"),
        QStringLiteral("TV Audio"),
        QStringLiteral("Video Capture Pin"),
        QStringLiteral("Video Preview Pin"),
        QStringLiteral("Audio Capture Pin"),
        QStringLiteral("Video Compressor"),
        QStringLiteral("Audio Compressor"),
    };
    return captions;
}

std::shared_ptr<IAMStreamConfig>
TVideoCapture::FindPinConfig(TPinCategory category, const TGuid& major, const FilterPtr& filter)
{
    std::shared_ptr<IAMStreamConfig> config;
    if (!builder_ || !filter)
        return nullptr;
    if (Hr::Failed(builder_->FindStreamConfig(category, &major, filter, config)))
        config.reset();
    return config;
}

std::vector<PropertyPagePtr> TVideoCapture::DialogPages(TCaptureDialog dialog)
{
    const QString title = DialogCaptions().value(int(dialog));
    const auto formats =
        [&](std::shared_ptr<IAMStreamConfig> config) -> std::vector<PropertyPagePtr> {
        if (!config)
            return {};
        auto page = std::make_shared<TStreamFormatPage>(std::move(config), title);
        if (page->Controls().empty())
            return {};
        return {page};
    };
    const auto pagesOf = [](const FilterPtr& filter) {
        return filter ? filter->PropertyPages() : std::vector<PropertyPagePtr>{};
    };
    switch (dialog) {
    case cdVideoCaptureFilter:
        return pagesOf(videoCapture_);
    case cdAudioCaptureFilter:
        return pagesOf(audioCapture_);
    case cdVideoCompressor:
        return pagesOf(videoCompressor_);
    case cdAudioCompressor:
        return pagesOf(audioCompressor_);
    case cdVideoCapturePin: {
        auto config = FindPinConfig(TPinCategory::Capture, MEDIATYPE_Interleaved, videoCapture_);
        return formats(
            config ? config : FindPinConfig(TPinCategory::Capture, MEDIATYPE_Video, videoCapture_));
    }
    case cdVideoPreviewPin: {
        auto config = FindPinConfig(TPinCategory::Preview, MEDIATYPE_Interleaved, videoCapture_);
        return formats(
            config ? config : FindPinConfig(TPinCategory::Preview, MEDIATYPE_Video, videoCapture_));
    }
    case cdAudioCapturePin:
        return formats(FindPinConfig(TPinCategory::Capture, MEDIATYPE_Audio, audioCapture_));
    case cdTVTuner:
        return videoCapture_ ? videoCapture_->TunerPages() : std::vector<PropertyPagePtr>{};
    default:
        // No crossbar or TV audio object exists on this platform.
        return {};
    }
}

void TVideoCapture::DetectDialogs()
{
    dialogs_ = 0;
    const auto add = [this](TCaptureDialog dialog) { dialogs_ |= quint16(1u << dialog); };
    const auto hasPages = [this](TCaptureDialog dialog) { return !DialogPages(dialog).empty(); };
    if (vfwCaptureDialogs_) {
        for (int dialog = 0; dialog < 3; ++dialog)
            if (vfwCaptureDialogs_->HasDialog(dialog) == Hr::S_OK)
                add(TCaptureDialog(dialog));
    }
    if (audioCapture_ && (audioCapture_->HasPropertyPages() || hasPages(cdAudioCaptureFilter)))
        add(cdAudioCaptureFilter);
    if (videoCompressor_ && (videoCompressor_->HasPropertyPages() || hasPages(cdVideoCompressor)))
        add(cdVideoCompressor);
    if (videoCapture_ && !(dialogs_ & (1u << cdVideoFormat))) {
        if (videoCapture_->HasPropertyPages() || hasPages(cdVideoCaptureFilter))
            add(cdVideoCaptureFilter);
        if (hasPages(cdVideoCapturePin))
            add(cdVideoCapturePin);
        if (hasPages(cdVideoPreviewPin))
            add(cdVideoPreviewPin);
        if (hasPages(cdTVTuner))
            add(cdTVTuner);
        if (audioCapture_) {
            if (audioCompressor_ &&
                (audioCompressor_->HasPropertyPages() || hasPages(cdAudioCompressor)))
                add(cdAudioCompressor);
            if (hasPages(cdAudioCapturePin))
                add(cdAudioCapturePin);
        }
    }
}

bool TVideoCapture::ShowDialog(TCaptureDialog dialog)
{
    if (int(dialog) < 0 || int(dialog) > cdAudioCompressor || !(dialogs_ & (1u << dialog)))
        return false;
    const auto frame = [this, dialog] {
        // Pages are made now: after a teardown the objects still exist, their streams do not.
        const std::vector<PropertyPagePtr> pages = DialogPages(dialog);
        if (pages.empty()) {
            qCDebug(lcCapture) << "no pages for" << DialogCaptions().value(int(dialog));
            return;
        }
        qCDebug(lcCapture) << "showing" << DialogCaptions().value(int(dialog));
        Ui().ShowPropertyFrame(DialogCaptions().value(int(dialog)), pages);
    };
    const auto restart = [this] {
        if (WantPreview)
            StartPreview();
    };
    switch (dialog) {
    case cdVideoFormat:
    case cdVideoSource:
    case cdVideoDisplay:
        // The driver dialogs of the old capture drivers do not exist on this platform.
        if (dialog != cdVideoFormat)
            StopPreview();
        restart();
        break;
    case cdVideoCaptureFilter:
    case cdTVTuner:
    case cdAudioCaptureFilter:
        frame();
        break;
    case cdVideoCapturePin:
    case cdVideoPreviewPin:
        // A pin's format changes only while nothing streams.
        TearDownGraph();
        frame();
        restart();
        break;
    case cdAudioCapturePin:
    case cdVideoCompressor:
    case cdAudioCompressor:
        StopPreview();
        frame();
        restart();
        break;
    case cdVideoCrossbar:
    case cdAudioCrossbar:
    case cdTVAudio:
        break;
    }
    return true;
}
