#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;
class QToolButton;
class TDice;

// "Calling Status": what the caller sees while the peer rings, with the die rolling and a
// way to give up.
class TfrmCalling : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmCalling(QWidget* parent = nullptr);

    QWidget* Panel1 = nullptr;
    QLabel* Label1 = nullptr;
    TDice* Dice1 = nullptr;
    QToolButton* btnStopCall = nullptr;
    QPushButton* btnCancel = nullptr;

    // The status line; every change is logged for those watching a call from outside.
    void SetStatus(const QString& text);
    // Shows the window modally, centred on its owner; returns when it is closed.
    void Execute();

    // Run by both "Cancel Call" buttons.
    std::function<void()> btnCancelClick;
};
