#pragma once

#include <QStringList>
#include <QWidget>

// A small panel of text laid over a picture: dark, half transparent, rounded, white fixed-pitch
// lines. It sizes itself to its lines and lets the mouse through to what lies beneath.
class TStatsOverlay : public QWidget
{
    Q_OBJECT
public:
    static constexpr int Margin = 8; // from the parent's top-left corner
    static constexpr int Padding = 6;

    explicit TStatsOverlay(QWidget* parent = nullptr);

    void SetLines(const QStringList& lines);
    const QStringList& Lines() const { return lines_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QStringList lines_;
};
