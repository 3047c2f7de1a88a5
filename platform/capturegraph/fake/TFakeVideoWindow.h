#pragma once

#include "platform/capturegraph/CaptureInterfaces.h"

#include <QPointer>
#include <QRect>
#include <QWidget>

class TFakeJournal;

// The video renderer's window.
class TFakeVideoWindow : public IVideoWindow
{
public:
    explicit TFakeVideoWindow(TFakeJournal& journal) : journal_(journal) {}

    HRESULT SetOwner(QWidget* owner) override;
    HRESULT SetWindowPosition(int left, int top, int width, int height) override;
    HRESULT SetVisible(bool visible) override;

    QPointer<QWidget> Owner;
    QRect Position;
    bool Visible = false;

private:
    TFakeJournal& journal_;
};
