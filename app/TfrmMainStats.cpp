// Call statistics: the overlay over the picture and the figures logged once a second.
#include "app/TfrmMain.h"

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
    if (!Connected && !shown)
        return;
    const CallStatsText::TFigures figures = CallFigures();
    if (Connected)
        qCInfo(lcStats).noquote() << CallStatsText::LogLine(figures);
    if (shown)
        StatsOverlay->SetLines(CallStatsText::OverlayLines(figures));
}

CallStatsText::TFigures TfrmMain::CallFigures()
{
    CallStatsText::TFigures f;
    f.inCall = Connected;
    f.quality = JpegQuality;
    if (!Connected)
        return f;
    f.video = CallCounters.Rates(StatsClock());
    if (VoiceSession && VoiceSession->TransmitTerminal)
        f.voice = VoiceSession->TransmitTerminal->VoiceStats();
    return f;
}
