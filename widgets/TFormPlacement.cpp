#include "widgets/TFormPlacement.h"

#include "platform/ini/TIniFile.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {
const QString Left = QStringLiteral("Left");
const QString Top = QStringLiteral("Top");
const QString Maximized = QStringLiteral("Maximized");
constexpr int Unset = -32000;

// A Wayland client is never told where its window is (Qt reports 0,0), so a position saved
// there would overwrite the one kept in an X11 session.
bool PositionKnown()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}
} // namespace

TFormPlacement::TFormPlacement(QWidget* form, QString iniFileName)
    : QObject(form), form_(form), iniFileName_(std::move(iniFileName))
{}

QString TFormPlacement::Section() const
{
    return form_->objectName().isEmpty() ? QStringLiteral("Placement") : form_->objectName();
}

void TFormPlacement::Restore()
{
    const TIniFile ini(iniFileName_);
    const int left = ini.ReadInteger(Section(), Left, Unset);
    const int top = ini.ReadInteger(Section(), Top, Unset);
    if (left != Unset && top != Unset) {
        const QRect wanted(QPoint(left, top), form_->size());
        // A screen that has gone away must not leave the window out of reach.
        for (QScreen* screen : QGuiApplication::screens()) {
            if (screen->availableGeometry().intersects(wanted)) {
                form_->move(wanted.topLeft());
                break;
            }
        }
    }
    if (ini.ReadBool(Section(), Maximized, false))
        form_->setWindowState(form_->windowState() | Qt::WindowMaximized);
    emit RestorePlacement();
}

void TFormPlacement::Save()
{
    QDir().mkpath(QFileInfo(iniFileName_).absolutePath());
    TIniFile ini(iniFileName_);
    const QRect normal = form_->isMaximized() ? form_->normalGeometry() : form_->geometry();
    if (PositionKnown()) {
        ini.WriteInteger(Section(), Left, normal.left());
        ini.WriteInteger(Section(), Top, normal.top());
    }
    ini.WriteInteger(Section(), Maximized, form_->isMaximized() ? 1 : 0);
    saved_ = true;
    emit SavePlacement();
}
