#include "contacts/TfrmExport.h"

#include "widgets/TBusyWheel.h"
#include "widgets/TFonts.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

TfrmExport::TfrmExport(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmExport"));
    setWindowTitle(tr("Searching For Network Clients..."));
    setFixedSize(306, 125);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);

    BusyAnimator1 = new TBusyWheel(this);
    BusyAnimator1->setObjectName(QStringLiteral("BusyAnimator1"));
    BusyAnimator1->setGeometry(136, 16, 32, 32);

    lblStatus = new QLabel(tr("Searching..."), this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setGeometry(8, 64, 289, 49);
    lblStatus->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblStatus->setWordWrap(true);
    lblStatus->setAttribute(Qt::WA_TranslucentBackground);
    QFont font = TFonts::Arial(10, true);
    font.setPixelSize(32);
    font.setItalic(true);
    lblStatus->setFont(font);
    lblStatus->setStyleSheet(QStringLiteral("color: rgb(0,111,164); background: transparent;"));
}

void TfrmExport::showEvent(QShowEvent* event)
{
    if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}
