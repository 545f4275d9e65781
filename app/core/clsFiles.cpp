// SPDX-License-Identifier: MIT
// clsFiles: the list of chosen logo files, loaded from and saved to the settings file.

#include "app/core/clsFiles.h"

#include "app/core/ListViewRows.h"
#include "modNVUpload.h"
#include "platform/HostSystem.h"
#include "platform/SettingsStore.h"

#include <utility>

namespace tessaline {

clsFiles::clsFiles(SystemServices& services) : m_services(services) {
    Load();
}

clsFiles::~clsFiles() {
    if (!m_released) {
        // A destructor cannot say why a save failed: callers that must know
        // call Release first.
        static_cast<void>(Release());
    }
}

void clsFiles::Load() {
    const std::string file = LogoSettingsFile(m_services);
    const SettingsStore& store = m_services.Settings();
    for (int k = 1; k <= kMaxLogoFiles; ++k) {
        const Result<std::string> value = ReadLogoIni(store, file, LogoKey(k));
        if (!value) {
            continue; // a value that cannot be read whole costs that entry only
        }
        if (value.Value().empty()) {
            break; // the keys of a saved file run from 1 without gaps
        }
        auto entry = ParseLogoValue(value.Value());
        if (!entry) {
            continue; // a damaged value costs that entry only
        }
        if (PathIsFile(entry->mstrFileName)) {
            xAdd(std::move(entry->mstrFileName), std::move(entry->mstrFileTitle), entry->mlngSize,
                 entry->mlngHeight, entry->mlngWidth);
        }
    }
    m_loaded = LogoEntries(m_files);
}

Result<void> clsFiles::Release() {
    m_released = true;
    Result<void> status =
        SaveLogoIni(m_services.Settings(), LogoSettingsFile(m_services), m_files, m_loaded);
    m_files.clear();
    return status;
}

void clsFiles::xAdd(std::string strFileName, std::string strFileTitle, int32_t lngSize,
                    int32_t lngHeight, int32_t lngWidth) {
    m_files.push_back(
        clsFile{std::move(strFileName), std::move(strFileTitle), lngSize, lngHeight, lngWidth});
}

void clsFiles::xReset() {
    while (!m_files.empty()) {
        m_files.pop_back();
    }
}

void clsFiles::xDisplay(ListViewRows& objListView) const {
    objListView.ClearRows();
    int32_t i = 0;
    for (const clsFile& file : m_files) {
        ++i;
        objListView.AddRow(i, std::to_string(i), file.mstrFileTitle, std::to_string(file.mlngSize));
    }
}

void clsFiles::xRemove(int32_t Index) {
    if (At(Index) != nullptr) {
        m_files.erase(m_files.begin() + (Index - 1));
    }
}

std::string clsFiles::xGetUploadFileName() const {
    std::string joined;
    for (const clsFile& file : m_files) {
        joined += file.mstrFileName;
        joined += '|';
    }
    return joined;
}

const clsFile* clsFiles::At(int32_t Index) const {
    if (Index < 1 || Index > xCount()) {
        return nullptr;
    }
    return &m_files[static_cast<size_t>(Index - 1)];
}

std::string clsFiles::xGetFileName(int32_t Index) const {
    const clsFile* file = At(Index);
    return file ? file->mstrFileName : std::string();
}

int32_t clsFiles::xGetHeight(int32_t Index) const {
    const clsFile* file = At(Index);
    return file ? file->mlngHeight : 0;
}

int32_t clsFiles::xGetWidth(int32_t Index) const {
    const clsFile* file = At(Index);
    return file ? file->mlngWidth : 0;
}

int32_t clsFiles::xCount() const {
    return static_cast<int32_t>(m_files.size());
}

int32_t clsFiles::xGetSizeTotal() const {
    // 255 entries of at most 8184 x 2304 / 8 bytes each stay far inside 32 bits.
    int64_t total = 0;
    for (const clsFile& file : m_files) {
        total += file.mlngSize;
    }
    return static_cast<int32_t>(total);
}

Result<SettingsClaim> ClaimLogoList(SystemServices& services) {
    return SettingsClaim::Take(LogoSettingsFile(services));
}

} // namespace tessaline
