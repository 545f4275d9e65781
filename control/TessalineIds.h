#pragma once

#include <cstdint>

namespace tessaline {

// The identifiers the Tessaline control is known by. Hosts built against the
// control depend on them, so they never change between builds.
inline constexpr const char* kTessalineLibId = "{C55950F9-B8E7-4BEA-B316-2A86074C54F8}";
inline constexpr const char* kDTessalineIid = "{A12BB3FB-2E10-4593-AEA3-FFB933B44E68}";
inline constexpr const char* kDTessalineEventsIid = "{73783CE4-1332-4912-A77D-74787F0C1126}";
inline constexpr const char* kTessalineClsid = "{D20B7BA2-F718-4DA7-8DE3-7A07C0B383A5}";
inline constexpr const char* kTessalinePropPageClsid = "{A3E45346-70C8-4900-8193-B86FFF51784A}";

inline constexpr const char* kTessalineProgId = "TESSALINE.TessalineCtrl.1";
inline constexpr const char* kTessalinePropPageProgId = "TESSALINE.TessalinePropPage.1";

inline constexpr uint16_t kTypeLibMajor = 1;
inline constexpr uint16_t kTypeLibMinor = 0;
inline constexpr const char* kTypeLibVersion = "1.0";

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
inline constexpr int32_t kDispidBitmapInfo = 1;
inline constexpr int32_t kDispidPreview = 2;
inline constexpr int32_t kDispidPrint = 3;
inline constexpr int32_t kDispidUpload = 4;
inline constexpr int32_t kDispidErrorText = 5;
inline constexpr int32_t kEventidProgress = 1;

} // namespace tessaline
