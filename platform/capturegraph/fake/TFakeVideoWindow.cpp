#include "platform/capturegraph/fake/TFakeVideoWindow.h"

#include "platform/capturegraph/fake/TFakeJournal.h"

HRESULT TFakeVideoWindow::SetOwner(QWidget* owner)
{
    const HRESULT hr = journal_.Call("SetOwner", {owner ? "widget" : "none"});
    if (Hr::Succeeded(hr))
        Owner = owner;
    return hr;
}

HRESULT TFakeVideoWindow::SetWindowPosition(int left, int top, int width, int height)
{
    const HRESULT hr =
        journal_.Call("SetWindowPosition",
                      {QStringLiteral("%1,%2,%3,%4").arg(left).arg(top).arg(width).arg(height)});
    if (Hr::Succeeded(hr))
        Position = QRect(left, top, width, height);
    return hr;
}

HRESULT TFakeVideoWindow::SetVisible(bool visible)
{
    const HRESULT hr = journal_.Call("SetVisible", {visible ? "true" : "false"});
    if (Hr::Succeeded(hr))
        Visible = visible;
    return hr;
}
