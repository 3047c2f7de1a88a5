#pragma once

#include "platform/ui/IPropertyPage.h"

class ICamera;
struct TCameraMode;

// The formats a camera can deliver, as one choice on a property page: choosing one makes it
// the camera's mode for its next start.
class TCameraModePage : public IPropertyPage
{
public:
    static inline const QString FormatKey = QStringLiteral("format");

    // The camera must outlive the page (the page lives as long as its dialog).
    TCameraModePage(ICamera& camera, QString title);

    QString Title() override { return title_; }
    std::vector<TPropertyControl> Controls() override;
    QVariant Value(const QString& key) override;
    bool SetValue(const QString& key, const QVariant& value) override;

    // How a mode is shown: "320 x 240  RGB24  30 fps", "640 x 480  YUY2  15 fps".
    static QString Describe(const TCameraMode& mode);

private:
    ICamera& camera_;
    QString title_;
};
