#pragma once

#include "platform/capturegraph/TGuid.h"

// The media type identifiers the capture graph speaks. Subtypes of four-character codes follow
// {FOURCC-0000-0010-8000-00AA00389B71}, so stored configurations stay portable.
namespace CaptureGuids {

TGuid FromFourCC(const char fourcc[4]);

extern const TGuid MEDIATYPE_Video;
extern const TGuid MEDIATYPE_Audio;
extern const TGuid MEDIATYPE_Interleaved;

extern const TGuid MEDIASUBTYPE_RGB1;
extern const TGuid MEDIASUBTYPE_RGB4;
extern const TGuid MEDIASUBTYPE_RGB8;
extern const TGuid MEDIASUBTYPE_RGB555;
extern const TGuid MEDIASUBTYPE_RGB565;
extern const TGuid MEDIASUBTYPE_RGB24;
extern const TGuid MEDIASUBTYPE_RGB32;
extern const TGuid MEDIASUBTYPE_YUY2;
extern const TGuid MEDIASUBTYPE_Avi;
extern const TGuid MEDIASUBTYPE_PCM;
extern const TGuid MEDIASUBTYPE_dvsd;

extern const TGuid FORMAT_VideoInfo;
extern const TGuid FORMAT_VideoInfo2;
extern const TGuid FORMAT_WaveFormatEx;

} // namespace CaptureGuids
