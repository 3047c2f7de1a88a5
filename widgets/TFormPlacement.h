#pragma once

#include <QObject>
#include <QString>

class QWidget;

// Keeps a window's position and maximized state in an INI file between runs, and lets its
// owner keep more keys in the same file when it restores and saves.
class TFormPlacement : public QObject
{
    Q_OBJECT
public:
    TFormPlacement(QWidget* form, QString iniFileName);

    const QString& IniFileName() const { return iniFileName_; }
    bool Saved() const { return saved_; }

    // Puts the window where it was (when that is still on a screen), then raises
    // RestorePlacement.
    void Restore();
    // Writes where the window is (its position only where the window system tells it), then
    // raises SavePlacement. Throws EIniFileException.
    void Save();

signals:
    void RestorePlacement();
    void SavePlacement();

private:
    QString Section() const;

    QWidget* form_;
    QString iniFileName_;
    bool saved_ = false;
};
