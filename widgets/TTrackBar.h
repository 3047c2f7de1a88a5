#pragma once

#include <QSlider>

// Vertical level bar with its minimum at the top. Setting the position always reports a
// change, even to the value it already has; the level handlers rely on that at start-up.
class TTrackBar : public QSlider
{
    Q_OBJECT
public:
    explicit TTrackBar(QWidget* parent = nullptr);

    void SetPosition(int position);
    int Position() const { return value(); }

signals:
    // Raised for every position the bar takes, by the user or by SetPosition.
    void Changed();
};
