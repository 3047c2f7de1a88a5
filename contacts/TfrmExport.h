#pragma once

#include <QDialog>

class QLabel;
class TBusyWheel;

// The small window with a turning busy wheel that stays over the screen while the first answers
// from the network come in. It has no logic of its own; the search shows and hides it.
class TfrmExport : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmExport(QWidget* parent = nullptr);

    TBusyWheel* BusyAnimator1 = nullptr;
    QLabel* lblStatus = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
};
