// SPDX-License-Identifier: MIT
// clsFiles: the list of chosen logo files, loaded from and saved to the settings file.
#pragma once

#include "app/core/SystemServices.h"
#include "app/core/clsFile.h"
#include "base/Result.h"
#include "platform/ProfileText.h"
#include "platform/SettingsClaim.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tessaline {

class ListViewRows;

// The list of chosen logo files, 1-based, in the order they were added.
// Creating it loads the settings file; Release (or destruction) saves it.
// The list checks nothing: its callers keep it to 255 entries and pass
// positions taken from the list view. A position outside 1 to the count
// reads as an empty entry and removes nothing.
class clsFiles {
public:
    explicit clsFiles(SystemServices& services);
    ~clsFiles();
    clsFiles(const clsFiles&) = delete;
    clsFiles& operator=(const clsFiles&) = delete;

    void xAdd(std::string strFileName, std::string strFileTitle, int32_t lngSize, int32_t lngHeight,
              int32_t lngWidth);
    void xReset();
    void xDisplay(ListViewRows& objListView) const;
    void xRemove(int32_t Index);
    // Every path followed by "|", in list order.
    std::string xGetUploadFileName() const;
    std::string xGetFileName(int32_t Index) const;
    int32_t xGetHeight(int32_t Index) const;
    int32_t xGetWidth(int32_t Index) const;
    int32_t xCount() const;
    int32_t xGetSizeTotal() const;

    // Saves the list in place of the settings file and lets the object go
    // quiet: later destruction saves nothing. The list saved before stays
    // whole when this fails.
    Result<void> Release();

private:
    const clsFile* At(int32_t Index) const;
    void Load();

    SystemServices& m_services;
    std::vector<clsFile> m_files;
    // What the list took from the settings file, as a save would write it:
    // the save keeps a copy of the file when it holds anything more.
    ProfileEntries m_loaded;
    bool m_released = false;
};

// Claims the settings file the list lives in for this copy of the program:
// while one copy holds it, a second copy started beside it must neither load
// nor save the list (it would write its own over the first's at close).
Result<SettingsClaim> ClaimLogoList(SystemServices& services);

} // namespace tessaline
