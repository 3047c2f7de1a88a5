#pragma once

#include "platform/capturegraph/CaptureInterfaces.h"
#include "platform/ui/IPropertyPage.h"

// The formats a capture pin can deliver, as one choice on a property page: choosing one sets
// it as the pin's format for the next run of the graph.
class TStreamFormatPage : public IPropertyPage
{
public:
    static inline const QString FormatKey = QStringLiteral("format");

    TStreamFormatPage(std::shared_ptr<IAMStreamConfig> config, QString title);

    QString Title() override { return title_; }
    std::vector<TPropertyControl> Controls() override;
    // The index of the pin's current format among its capabilities; -1 when none matches.
    QVariant Value(const QString& key) override;
    bool SetValue(const QString& key, const QVariant& value) override;

    // How a format is shown: "320 x 240  YUY2  30 fps", "48000 Hz  16 bit  2 channels".
    static QString Describe(const TMediaType& type);

private:
    std::shared_ptr<IAMStreamConfig> config_;
    QString title_;
};
