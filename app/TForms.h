#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>

class IPeerBrowser;

class TfrmMain;
class TFGraphConfig;
class TfrmSettings;
class TfrmCalling;
class TfrmTransfer;
class TfrmNetworkClients;
class TfrmIP;
class TfrmTxtMessage;

// The program's windows, each created once at start-up in a fixed order and reachable from
// the others through here.
struct TForms
{
    TfrmMain* frmMain = nullptr;
    TFGraphConfig* FGraphConfig = nullptr;
    TfrmCalling* frmCalling = nullptr;
    TfrmTransfer* frmTransfer = nullptr;
    TfrmIP* frmIP = nullptr;
    TfrmNetworkClients* frmNetworkClients = nullptr;
    TfrmSettings* frmSettings = nullptr;
    TfrmTxtMessage* frmTxtMessage = nullptr;
};

TForms& Forms();

// Creates the windows that follow the main window, in their order, owned by it.
// peers lists the computers on the network (none when empty).
void CreateSecondaryForms(TfrmMain& frmMain, quint16 transferPort = 6501,
                          std::shared_ptr<IPeerBrowser> peers = {});
