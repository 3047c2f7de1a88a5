#include "voice/TfrmCCN.h"

TfrmCCN::TfrmCCN(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmCCN"));
    setWindowTitle(QStringLiteral("CCN"));
}
