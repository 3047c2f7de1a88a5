#pragma once

#include <QWidget>

class QTimer;

// A die that rolls (turns and shows changing faces) while Rotate is set.
class TDice : public QWidget
{
    Q_OBJECT
public:
    explicit TDice(QWidget* parent = nullptr);

    bool Rotate() const;
    void SetRotate(bool rotate);
    int Face() const { return face_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Step();

    QTimer* timer_;
    int face_ = 1;
    int angle_ = 0;
};
