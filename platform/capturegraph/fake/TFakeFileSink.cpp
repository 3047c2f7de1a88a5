#include "platform/capturegraph/fake/TFakeFileSink.h"

#include "platform/capturegraph/fake/TFakeJournal.h"

HRESULT TFakeFileSink::SetFileName(const QString& fileName)
{
    const HRESULT hr = journal_.Call("SetFileName", {fileName});
    if (Hr::Succeeded(hr))
        FileName = fileName;
    return hr;
}

bool TFakeFileSink::SetOverwriteMode()
{
    journal_.Call("SetOverwriteMode");
    Overwrite = true;
    return true;
}
