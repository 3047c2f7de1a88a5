#pragma once

#include "voice/TCCNMediaTerm.h"

#include <QWidget>

// The hidden window that hosts the media terminal component.
class TfrmCCN : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmCCN(QWidget* parent = nullptr);

    TCCNMediaTerm ccn;
};
