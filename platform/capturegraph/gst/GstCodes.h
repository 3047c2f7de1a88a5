#pragma once

// Result codes the GStreamer capture graph answers beyond the common ones of the interface.

#include "platform/capturegraph/CaptureInterfaces.h"

namespace GstHr {
constexpr HRESULT VFW_E_NOT_CONNECTED = qint32(0x80040209u);
constexpr HRESULT VFW_E_NOT_STOPPED = qint32(0x80040224u);
constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = qint32(0x8004022Au);
constexpr HRESULT VFW_E_ALREADY_CONNECTED = qint32(0x80040204u);
constexpr HRESULT E_UNEXPECTED = qint32(0x8000FFFFu);
constexpr HRESULT REGDB_E_CLASSNOTREG = qint32(0x80040154u);
} // namespace GstHr
