#pragma once

class TfrmMain;
class TfrmSettings;
class TfrmCCN;

// The program's windows, each created once at start-up in a fixed order and reachable from
// the others through here.
struct TForms
{
    TfrmMain* frmMain = nullptr;
    TfrmCCN* frmCCN = nullptr;
    TfrmSettings* frmSettings = nullptr;
};

TForms& Forms();
