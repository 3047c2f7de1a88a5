#include "app/TForms.h"

#include "app/TfrmCalling.h"
#include "app/TfrmMain.h"
#include "calls/TCallSession.h"
#include "calls/TCallSettings.h"
#include "capture/TFGraphConfig.h"
#include "contacts/TfrmIP.h"
#include "contacts/TfrmNetworkClients.h"
#include "contacts/TfrmSettings.h"
#include "transfer/TfrmTransfer.h"
#include "transfer/TfrmTxtMessage.h"

TForms& Forms()
{
    static TForms forms;
    return forms;
}

void CreateSecondaryForms(TfrmMain& frmMain, quint16 transferPort,
                          std::shared_ptr<IPeerBrowser> peers)
{
    TForms& forms = Forms();
    forms.frmMain = &frmMain;
    forms.FGraphConfig = new TFGraphConfig(frmMain.CaptureConfig(), frmMain.Capture(), &frmMain);
    forms.frmCalling = new TfrmCalling(&frmMain);
    forms.frmCalling->btnCancelClick = [session = &frmMain.Session()] { session->CancelPlacing(); };
    TPortalHost host;
    host.prompt = TfrmMain::HostNamePrompt;
    TfrmMain* main = &frmMain;
    host.hostName = [main] { return main->HostName(); };
    host.offerHostName = [main](const QString& address) { return main->OfferHostName(address); };
    host.userBusy = [main] { return main->UserBusy(); };
    host.focusHostName = [main] { main->FocusHostName(); };
    host.receiveFolder = [main] { return main->CallSettings().FilePath; };
    forms.frmTransfer = new TfrmTransfer(std::move(host), transferPort, &frmMain);
    forms.frmIP = new TfrmIP(&frmMain);
    forms.frmIP->SetHostName = [main](const QString& text) { main->SetHostName(text); };
    forms.frmNetworkClients = new TfrmNetworkClients(std::move(peers), forms.frmIP);
    TfrmIP* book = forms.frmIP;
    forms.frmNetworkClients->BookLines = [book] { return book->Lines(); };
    forms.frmNetworkClients->AddContact = [book](const QString& name, const QString& host) {
        book->AddContact(name, host);
    };
    forms.frmIP->OnWhosOnline = [clients = forms.frmNetworkClients] { clients->Execute(); };
    forms.frmSettings = new TfrmSettings(frmMain.CallSettings(), &frmMain);
    forms.frmTxtMessage = new TfrmTxtMessage(*forms.frmTransfer, &frmMain);
    forms.frmTransfer->frmTxtMessage = forms.frmTxtMessage;
}
