// Video: the window's side. TVideoLink sends the camera's frames and decodes the peer's; the
// window shows them, the preview and the snapshot.
#include "app/TfrmMain.h"

#include "app/TForms.h"
#include "calls/TVideoLink.h"
#include "capture/TFGraphConfig.h"
#include "capture/TVideoCapture.h"
#include "platform/ui/Guarded.h"
#include "platform/ui/TUiServices.h"
#include "widgets/TImage.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>

void TfrmMain::capBitmapGrabbed(const TCameraFrame& frame)
{
    video_->Send(frame);
}

void TfrmMain::Image9Click()
{
    QApplication::clipboard()->setImage(video_->WholePicture(Image1->Picture()));
}

void TfrmMain::capChangeDevice()
{
    if (Forms().FGraphConfig)
        Forms().FGraphConfig->FillDialogs(cap->Dialogs());
}

void TfrmMain::btnPreviewClick()
{
    if (cap->Previewing()) {
        cap->StopPreview();
        Label3->show();
    } else {
        cap->StartPreview();
        Label3->hide();
    }
}
