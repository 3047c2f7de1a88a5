#pragma once

class TfrmMain;
class TfrmSettings;
class TfrmCCN;
class TfrmCalling;

// The program's windows, each created once at start-up in a fixed order and reachable from
// the others through here.
struct TForms
{
    TfrmMain* frmMain = nullptr;
    TfrmCCN* frmCCN = nullptr;
    TfrmCalling* frmCalling = nullptr;
    TfrmSettings* frmSettings = nullptr;
};

TForms& Forms();

// Creates the windows that follow the main window, in their order, owned by it.
void CreateSecondaryForms(TfrmMain& frmMain);
