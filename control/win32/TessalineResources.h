// SPDX-License-Identifier: MIT
#pragma once

// Resource identifiers of Tessaline.ocx, shared by Tessaline.rc and the code.
// Plain macros: windres reads this file too. They are the identifiers the
// control's other build gives its strings, dialog and bitmap (TessalineIds.h).

#define IDR_TYPELIB 1
#define IDB_TESSALINE 1

#define IDS_TESSALINE 1
#define IDS_TESSALINE_PPG 2
#define IDS_TESSALINE_PPG_CAPTION 200

#define IDD_PROPPAGE_TESSALINE 200
#define IDC_PROPPAGE_NOTE 201
