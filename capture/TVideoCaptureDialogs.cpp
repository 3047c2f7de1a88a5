#include "capture/TCameraModePage.h"
#include "capture/TVideoCapture.h"
#include "platform/camera/ICamera.h"
#include "platform/logging/Logging.h"
#include "platform/ui/TUiServices.h"

QStringList TVideoCapture::DialogCaptions()
{
    // Asked each time: the captions are said in the language loaded when they are shown.
    static const char* const captions[] = {
        QT_TR_NOOP("Video Format"),
        QT_TR_NOOP("Video Source"),
        QT_TR_NOOP("Video Display"),
        QT_TR_NOOP("Video Capture Filter"),
        QT_TR_NOOP("Video Crossbar"),
        QT_TR_NOOP("TV Tuner"),
        QT_TR_NOOP("Audio Capture Filter"),
        QT_TR_NOOP("Audio Crossbar"),
        QT_TR_NOOP("TV Audio"),
        QT_TR_NOOP("Video Capture Pin"),
        QT_TR_NOOP("Video Preview Pin"),
        QT_TR_NOOP("Audio Capture Pin"),
        QT_TR_NOOP("Video Compressor"),
        QT_TR_NOOP("Audio Compressor"),
    };
    QStringList list;
    for (const char* caption : captions)
        list << tr(caption);
    return list;
}

std::vector<PropertyPagePtr> TVideoCapture::DialogPages(TCaptureDialog dialog)
{
    if (!camera_)
        return {};
    switch (dialog) {
    case cdVideoCaptureFilter:
        return camera_->ControlPages();
    case cdTVTuner:
        return camera_->TunerPages();
    case cdVideoCapturePin: {
        auto page = std::make_shared<TCameraModePage>(*camera_, DialogCaptions()[dialog]);
        if (page->Controls().empty())
            return {};
        return {page};
    }
    default:
        // A camera here has no driver dialogs, crossbars, sound or compressors.
        return {};
    }
}

void TVideoCapture::DetectDialogs()
{
    dialogs_ = 0;
    for (TCaptureDialog dialog : {cdVideoCaptureFilter, cdTVTuner, cdVideoCapturePin})
        if (!DialogPages(dialog).empty())
            dialogs_ |= quint16(1u << dialog);
}

bool TVideoCapture::ShowDialog(TCaptureDialog dialog)
{
    if (int(dialog) < 0 || int(dialog) > cdAudioCompressor || !(dialogs_ & (1u << dialog)))
        return false;
    // A mode changes only while the camera is stopped; the preview comes back with it.
    const bool restart = dialog == cdVideoCapturePin;
    if (restart)
        TearDownGraph();
    // Pages are made now, for the camera as it is now.
    const std::vector<PropertyPagePtr> pages = DialogPages(dialog);
    if (pages.empty()) {
        qCDebug(lcCapture) << "no pages for" << DialogCaptions().value(int(dialog));
    } else {
        qCDebug(lcCapture) << "showing" << DialogCaptions().value(int(dialog));
        Ui().ShowPropertyFrame(DialogCaptions().value(int(dialog)), pages);
    }
    if (restart && WantPreview)
        StartPreview();
    return true;
}
