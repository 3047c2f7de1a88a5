// Video: the window's side. The window shows what TVideoLink decodes, the preview and the
// snapshot.
#include "app/TfrmMain.h"

#include "calls/TVideoLink.h"
#include "capture/TVideoCapture.h"
#include "widgets/TImage.h"
#include "widgets/TImageButton.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>

void TfrmMain::Image9Click()
{
    QApplication::clipboard()->setImage(video_->WholePicture(Image1->Picture()));
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
    btnPreview->setChecked(cap->Previewing());
}
