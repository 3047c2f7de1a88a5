#pragma once

#include "widgets/TGlyph.h"

#include <QAbstractButton>

// A round picture button of the sidebar; its hint is its tooltip, and its name to a screen
// reader, since the picture is all it shows. Tab reaches it, Space presses it.
class TImageButton : public QAbstractButton
{
    Q_OBJECT
public:
    TImageButton(TGlyph glyph, QWidget* parent = nullptr);

    TGlyph Glyph() const { return glyph_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    TGlyph glyph_;
};
