#include "app/TForms.h"

#include "app/TfrmCalling.h"
#include "app/TfrmMain.h"
#include "contacts/TfrmSettings.h"
#include "voice/TfrmCCN.h"

TForms& Forms()
{
    static TForms forms;
    return forms;
}

void CreateSecondaryForms(TfrmMain& frmMain)
{
    TForms& forms = Forms();
    forms.frmMain = &frmMain;
    forms.frmCCN = new TfrmCCN(&frmMain);
    forms.frmCalling = new TfrmCalling(&frmMain);
    forms.frmCalling->btnCancelClick = [main = &frmMain] { main->CancelCall(); };
    forms.frmSettings = new TfrmSettings(frmMain.CallSettings, &frmMain);
}
