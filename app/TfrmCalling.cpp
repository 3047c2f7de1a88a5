#include "app/TfrmCalling.h"

#include "platform/logging/Logging.h"
#include "platform/ui/Guarded.h"
#include "widgets/TDice.h"
#include "widgets/TFonts.h"
#include "widgets/TRemoteLabel.h"

#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

TfrmCalling::TfrmCalling(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmCalling"));
    setWindowTitle(tr("Calling Status"));
    setFixedSize(383, 134);
    setModal(true);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(rect());
    Panel1->setAutoFillBackground(true);
    QPalette blue = Panel1->palette();
    blue.setColor(QPalette::Window, QColor(0x00, 0x6F, 0xA4));
    Panel1->setPalette(blue);

    Label1 = new QLabel(tr("Calling..."), Panel1);
    Label1->setTextFormat(Qt::PlainText);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 16, 369, 33);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setFont(TFonts::Arial(10));
    Label1->setStyleSheet(QStringLiteral("color: white;"));

    Dice1 = new TDice(Panel1);
    Dice1->setObjectName(QStringLiteral("Dice1"));
    Dice1->setGeometry(24, 48, 66, 66);

    btnStopCall = new QToolButton(Panel1);
    btnStopCall->setObjectName(QStringLiteral("btnStopCall"));
    btnStopCall->setGeometry(268, 56, 93, 62);
    btnStopCall->setText(tr("Cancel Call"));
    btnStopCall->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    btnStopCall->setIconSize(QSize(24, 24));
    btnStopCall->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);

    btnCancel = new QPushButton(tr("Cancel Call"), Panel1);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setAutoDefault(false);
    btnCancel->hide();

    auto cancel = [this] {
        Guarded([this] {
            if (btnCancelClick)
                btnCancelClick();
        });
    };
    connect(btnStopCall, &QToolButton::clicked, this, cancel);
    connect(btnCancel, &QPushButton::clicked, this, cancel);
}

void TfrmCalling::SetStatus(const QString& text)
{
    // Status texts come from the called host: plain text, cut to the label.
    TRemoteLabel::Show(*Label1, text);
    qCInfo(lcCall).noquote() << QStringLiteral("calling window: \"%1\"").arg(Label1->text());
}

void TfrmCalling::Execute()
{
    if (QWidget* owner = parentWidget())
        move(owner->window()->frameGeometry().center() - rect().center());
    exec();
}
