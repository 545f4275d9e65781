// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tessaline {

// What registering a component class records.
struct ClassRegistration {
    std::string clsid;        // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
    std::string progId;       // "TESSALINE.TessalineCtrl.1"
    std::string userTypeName; // "Tessaline Control"
    std::string libraryPath;  // absolute path of the in-process server
    std::string threadingModel = "Apartment";
    bool control = false;
    bool insertable = false;
    int32_t toolboxBitmap = 0; // resource id; 0: none
    uint32_t miscStatus = 0;
    std::string typeLibId;      // empty: none
    std::string typeLibVersion; // "1.0"
};

// What registering a type library records.
struct TypeLibRegistration {
    std::string libid;
    std::string name; // "TESSALINELib"
    std::string version;
    std::string helpString;
    std::string helpFile;
    std::string libraryPath;
};

// The per-user component registry: a text file, replaced atomically on every
// change. The format is described in ComponentRegistry.cpp.
class ComponentRegistry {
public:
    explicit ComponentRegistry(std::filesystem::path file = DefaultFile());

    // components.reg in TessalineConfigHome()
    static std::filesystem::path DefaultFile();

    // Each returns false, with Error() set, when the file cannot be read or written.
    bool RegisterClass(const ClassRegistration& entry);
    bool UnregisterClass(const std::string& clsid);
    bool RegisterTypeLib(const TypeLibRegistration& entry);
    bool UnregisterTypeLib(const std::string& libid, const std::string& version);

    std::optional<ClassRegistration> FindClassByProgId(const std::string& progId) const;
    std::optional<ClassRegistration> FindClass(const std::string& clsid) const;
    std::optional<TypeLibRegistration> FindTypeLib(const std::string& libid,
                                                   const std::string& version) const;
    std::vector<ClassRegistration> Classes() const;

    const std::filesystem::path& File() const { return m_file; }
    const std::string& Error() const { return m_error; }

private:
    std::filesystem::path m_file;
    mutable std::string m_error;
};

} // namespace tessaline
