#pragma once

class TfrmMain;
class TfrmSettings;

// The program's windows, each created once at start-up in a fixed order and reachable from
// the others through here.
struct TForms
{
    TfrmMain* frmMain = nullptr;
    TfrmSettings* frmSettings = nullptr;
};

TForms& Forms();
