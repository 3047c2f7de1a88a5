#include "platform/capturegraph/gst/TGstMuxControl.h"

HRESULT TGstMuxControl::SetOutputCompatibilityIndex(bool compatible)
{
    // avimux always writes the legacy index as well.
    compatible_ = compatible;
    return Hr::S_OK;
}

HRESULT TGstMuxControl::SetMasterStream(int stream)
{
    if (stream < -1)
        return Hr::E_INVALIDARG;
    masterStream_ = stream;
    return Hr::S_OK;
}

HRESULT TGstMuxControl::SetFileName(const QString& fileName)
{
    if (fileName.isEmpty())
        return Hr::E_INVALIDARG;
    fileName_ = fileName;
    return Hr::S_OK;
}
