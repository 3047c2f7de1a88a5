#include "platform/capturegraph/fake/TFakeCaptureDialogs.h"

#include "platform/capturegraph/fake/TFakeDevice.h"

HRESULT TFakeCaptureDialogs::HasDialog(int dialog)
{
    return device_->CaptureDialogs.contains(dialog) ? Hr::S_OK : Hr::S_FALSE;
}
