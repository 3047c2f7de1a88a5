#pragma once

#include "platform/capturegraph/CaptureInterfaces.h"

class TFakeJournal;

// The capture file writer.
class TFakeFileSink : public IFileSinkFilter
{
public:
    TFakeFileSink(TFakeJournal& journal, QString fileName)
        : FileName(std::move(fileName)), journal_(journal)
    {}

    HRESULT SetFileName(const QString& fileName) override;
    bool SetOverwriteMode() override;

    QString FileName;
    bool Overwrite = false;

private:
    TFakeJournal& journal_;
};
