// Call statistics: the overlay over the picture and the figures logged once a second.
#include "app/TfrmMain.h"

#include "calls/TCallSession.h"
#include "calls/TVideoLink.h"
#include "platform/logging/Logging.h"
#include "widgets/TImage.h"
#include "widgets/TStatsOverlay.h"

void TfrmMain::ToggleStats()
{
    if (!StatsOverlay->isHidden()) {
        StatsOverlay->hide();
        return;
    }
    // Filled before it shows, so it never shows the lines of an earlier time.
    StatsOverlay->SetLines(CallStatsText::OverlayLines(CallFigures()));
    StatsOverlay->show();
    StatsOverlay->raise();
}

void TfrmMain::StatsTimerTimer()
{
    const bool shown = !StatsOverlay->isHidden();
    const bool inCall = session_->Connected();
    if (!inCall && !shown)
        return;
    const CallStatsText::TFigures figures = CallFigures();
    if (inCall)
        qCInfo(lcStats).noquote() << CallStatsText::LogLine(figures);
    if (shown)
        StatsOverlay->SetLines(CallStatsText::OverlayLines(figures));
}

CallStatsText::TFigures TfrmMain::CallFigures()
{
    CallStatsText::TFigures f;
    f.inCall = session_->Connected();
    f.quality = video_->SentQuality();
    if (!f.inCall)
        return f;
    f.video = video_->Rates();
    f.source = video_->Source();
    if (const std::optional<TVoiceStats> voice = session_->VoiceStats())
        f.voice = *voice;
    if (CallEncryption)
        f.encryption = CallEncryption();
    f.encryption.authFailures = f.voice.authFailures + quint64(video_->AuthFailures());
    f.encryption.replays = f.voice.replays + quint64(video_->Replays());
    return f;
}
