// SPDX-License-Identifier: MIT
#pragma once

#include "tessaline/tessaline_control.h"

#include <cstdint>

namespace tessaline {

// The identifiers the Tessaline control is known by, from the header its
// hosts are built against.
inline constexpr const char* kTessalineLibId = TESSALINE_LIBID;
inline constexpr const char* kDTessalineIid = TESSALINE_DIID_DTESSALINE;
inline constexpr const char* kDTessalineEventsIid = TESSALINE_DIID_DTESSALINEEVENTS;
inline constexpr const char* kTessalineClsid = TESSALINE_CLSID;
inline constexpr const char* kTessalinePropPageClsid = TESSALINE_PROPPAGE_CLSID;

inline constexpr const char* kTessalineProgId = TESSALINE_PROGID;
inline constexpr const char* kTessalinePropPageProgId = TESSALINE_PROPPAGE_PROGID;

inline constexpr uint16_t kTypeLibMajor = TESSALINE_LIB_VERSION_MAJOR;
inline constexpr uint16_t kTypeLibMinor = TESSALINE_LIB_VERSION_MINOR;
inline constexpr const char* kTypeLibVersion = TESSALINE_LIB_VERSION;

// Set client site first, activate when visible, inside-out, cannot link
// inside, recompose on resize (0x20191).
inline constexpr uint32_t kTessalineMiscStatus = 131473;

// Resource identifiers.
inline constexpr int32_t kIdsTessaline = 1;             // "Tessaline Control"
inline constexpr int32_t kIdsTessalinePpg = 2;          // "Tessaline Property Page"
inline constexpr int32_t kIdsTessalinePpgCaption = 200; // "General"
inline constexpr int32_t kIddPropPageTessaline = 200;
inline constexpr int32_t kIdbTessaline = 1;

// Dispatch identifiers of _DTessaline and _DTessalineEvents.
inline constexpr int32_t kDispidBitmapInfo = TESSALINE_DISPID_BITMAPINFO;
inline constexpr int32_t kDispidPreview = TESSALINE_DISPID_PREVIEW;
inline constexpr int32_t kDispidPrint = TESSALINE_DISPID_PRINT;
inline constexpr int32_t kDispidUpload = TESSALINE_DISPID_UPLOAD;
inline constexpr int32_t kDispidErrorText = TESSALINE_DISPID_ERRORTEXT;
inline constexpr int32_t kDispidStoreGraphic = TESSALINE_DISPID_STOREGRAPHIC;
inline constexpr int32_t kDispidPrintGraphic = TESSALINE_DISPID_PRINTGRAPHIC;
inline constexpr int32_t kDispidDeleteGraphic = TESSALINE_DISPID_DELETEGRAPHIC;
inline constexpr int32_t kDispidGraphicKeys = TESSALINE_DISPID_GRAPHICKEYS;
inline constexpr int32_t kDispidSetAutoLogo = TESSALINE_DISPID_SETAUTOLOGO;
inline constexpr int32_t kDispidAutoLogo = TESSALINE_DISPID_AUTOLOGO;
inline constexpr int32_t kEventidProgress = TESSALINE_EVENTID_PROGRESS;

} // namespace tessaline
