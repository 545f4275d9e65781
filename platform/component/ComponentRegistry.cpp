// SPDX-License-Identifier: MIT
// The per-user component registry file.
//
// components.reg in the user's settings folder (TessalineConfigHome()) is a
// line-oriented UTF-8 text file in the manner of an INI file:
//
//   # comment (also ";"); comments and blank lines are kept as they stand
//   [CLSID\{1B6F4C1A-0000-4000-8000-000000000001}]
//   ProgID=TESSALINE.TessalineCtrl.1
//   UserTypeName=Tessaline Control
//   InprocServer32=/usr/lib/x86_64-linux-gnu/libtessaline-control.so
//   ThreadingModel=Apartment
//   Control=1
//   Insertable=0
//   ToolboxBitmap32=1
//   MiscStatus=131473
//   TypeLib={...}
//   Version=1.0
//
//   [ProgID\TESSALINE.TessalineCtrl.1]
//   CLSID={1B6F4C1A-0000-4000-8000-000000000001}
//   UserTypeName=Tessaline Control
//
//   [TypeLib\{...}\1.0]
//   Name=TESSALINELib
//   HelpString=Tessaline ActiveX Control module
//   HelpFile=Tessaline.hlp
//   Path=/usr/lib/x86_64-linux-gnu/libtessaline-control.so
//
// It is read as every profile file is (ProfileText.h). A section runs from its
// "[name]" line to the line before the next one, and its text (blank lines and
// comments included) is what registering replaces and unregistering removes;
// every other byte of the file is kept verbatim, lines we cannot make sense of
// included. Class identifiers and ProgIDs compare without regard to ASCII
// case, as section names and keys do. Values cannot hold line breaks, so such
// entries are refused.
//
// Every change takes an exclusive lock on "components.reg.lock" beside the
// file, re-reads the file, and replaces it atomically (temporary file in the
// same folder, then rename), so concurrent writers never lose each other's
// entries. Readers need no lock: they always see one whole version. When an
// unregister leaves nothing but the header this code writes into a new file,
// the file is deleted, so registering and unregistering into a missing file
// leaves it missing. A file whose last line lacks its line break gains one
// when an entry is appended after it.
#include "platform/component/ComponentRegistry.h"

#include "base/NameCompare.h"
#include "platform/AtomicFile.h"
#include "platform/FileIo.h"
#include "platform/FileLock.h"
#include "platform/HostSystem.h"
#include "platform/ProfileText.h"
#include "platform/UserFolders.h"

#include <cstdlib>
#include <system_error>
#include <utility>

namespace tessaline {
namespace {

constexpr const char* kNewFileHeader =
    "# Tessaline component registry: control classes and type libraries\n"
    "# registered for this user. Written by \"tessaline-cli register\";\n"
    "# the format is described in docs/component-registry.md.\n"
    "\n";

// A section as registering writes it: its keys, then a blank line.
std::string BuildSection(const std::string& name, const ProfileEntries& keys) {
    return FormatProfile(name, keys) + "\n";
}

std::string ClassSection(const std::string& clsid) {
    return "CLSID\\" + clsid;
}
std::string ProgIdSection(const std::string& progId) {
    return "ProgID\\" + progId;
}
std::string TypeLibSection(const std::string& libid, const std::string& version) {
    return "TypeLib\\" + libid + "\\" + version;
}

bool IsGuid(const std::string& s) {
    // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
    if (s.size() != 38 || s.front() != '{' || s.back() != '}') {
        return false;
    }
    for (size_t i = 1; i < 37; ++i) {
        bool dash = (i == 9 || i == 14 || i == 19 || i == 24);
        char c = s[i];
        bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (dash ? c != '-' : !hex) {
            return false;
        }
    }
    return true;
}

// A name that can stand inside a section header: no brackets, separators,
// spaces or control characters.
bool IsPlainName(const std::string& s) {
    if (s.empty()) {
        return false;
    }
    for (char c : s) {
        auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7F || c == '[' || c == ']' || c == '\\' || c == '=') {
            return false;
        }
    }
    return true;
}

bool IsOneLine(const std::string& s) {
    return s.find_first_of("\r\n") == std::string::npos;
}

// Runs one read-modify-write of the file under its lock. `change` edits the
// document and says whether anything changed; an unchanged file is not rewritten.
template <typename Change>
bool Modify(const std::filesystem::path& file, std::string& error, Change change) {
    error.clear();
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    if (ec) {
        error = "cannot create " + file.parent_path().string() + ": " + ec.message();
        return false;
    }
    std::filesystem::path lockFile = file;
    lockFile += ".lock";
    const Result<FileLock> lock = FileLock::Acquire(lockFile);
    if (!lock) {
        error = lock.Reason();
        return false;
    }
    // A file that cannot be read is never replaced by what could be read of it.
    const Result<std::optional<std::string>> text = ReadFileIfPresent(file);
    if (!text) {
        error = text.Reason();
        return false;
    }
    ProfileDocument doc =
        text.Value() ? SplitProfile(*text.Value()) : ProfileDocument{kNewFileHeader, {}};
    if (!change(doc)) {
        return true;
    }
    if (doc.sections.empty() && doc.preamble == kNewFileHeader) {
        const Result<void> removed = RemoveFileIfPresent(file);
        error = removed.Reason();
        return removed.Ok();
    }
    if (const Result<void> written = ReplaceFileAtomically(file, JoinProfile(doc)); !written) {
        error = written.Reason();
        return false;
    }
    return true;
}

std::optional<ProfileDocument> Load(const std::filesystem::path& file, std::string& error) {
    error.clear();
    const Result<std::optional<std::string>> text = ReadFileIfPresent(file);
    if (!text) {
        error = text.Reason();
        return std::nullopt;
    }
    return SplitProfile(text.Value().value_or(std::string()));
}

ClassRegistration ClassFrom(const ProfileSection& section, std::string clsid) {
    ClassRegistration c;
    c.clsid = std::move(clsid);
    c.progId = FindSectionValue(section, "ProgID").value_or("");
    c.userTypeName = FindSectionValue(section, "UserTypeName").value_or("");
    c.libraryPath = FindSectionValue(section, "InprocServer32").value_or("");
    c.threadingModel = FindSectionValue(section, "ThreadingModel").value_or("");
    c.control = FindSectionValue(section, "Control").value_or("0") == "1";
    c.insertable = FindSectionValue(section, "Insertable").value_or("0") == "1";
    c.toolboxBitmap = static_cast<int32_t>(std::strtol(
        FindSectionValue(section, "ToolboxBitmap32").value_or("0").c_str(), nullptr, 10));
    c.miscStatus = static_cast<uint32_t>(
        std::strtoul(FindSectionValue(section, "MiscStatus").value_or("0").c_str(), nullptr, 10));
    c.typeLibId = FindSectionValue(section, "TypeLib").value_or("");
    c.typeLibVersion = FindSectionValue(section, "Version").value_or("");
    return c;
}

} // namespace

ComponentRegistry::ComponentRegistry(std::filesystem::path file) : m_file(std::move(file)) {}

std::filesystem::path ComponentRegistry::DefaultFile() {
    return TessalineConfigHome() / "components.reg";
}

bool ComponentRegistry::RegisterClass(const ClassRegistration& entry) {
    if (!IsGuid(entry.clsid)) {
        m_error = "not a class identifier: \"" + entry.clsid + "\"";
        return false;
    }
    if (!entry.progId.empty() && !IsPlainName(entry.progId)) {
        m_error = "not a valid ProgID: \"" + entry.progId + "\"";
        return false;
    }
    if (!entry.typeLibId.empty() && !IsGuid(entry.typeLibId)) {
        m_error = "not a type library identifier: \"" + entry.typeLibId + "\"";
        return false;
    }
    for (const std::string* s :
         {&entry.userTypeName, &entry.libraryPath, &entry.threadingModel, &entry.typeLibVersion}) {
        if (!IsOneLine(*s)) {
            m_error = "a registry value cannot hold a line break: \"" + *s + "\"";
            return false;
        }
    }
    ProfileEntries keys;
    if (!entry.progId.empty()) {
        keys.push_back({"ProgID", entry.progId});
    }
    keys.push_back({"UserTypeName", entry.userTypeName});
    keys.push_back({"InprocServer32", entry.libraryPath});
    keys.push_back({"ThreadingModel", entry.threadingModel});
    keys.push_back({"Control", entry.control ? "1" : "0"});
    keys.push_back({"Insertable", entry.insertable ? "1" : "0"});
    if (entry.toolboxBitmap != 0) {
        keys.push_back({"ToolboxBitmap32", std::to_string(entry.toolboxBitmap)});
    }
    keys.push_back({"MiscStatus", std::to_string(entry.miscStatus)});
    if (!entry.typeLibId.empty()) {
        keys.push_back({"TypeLib", entry.typeLibId});
        keys.push_back({"Version", entry.typeLibVersion});
    }
    std::string classText = BuildSection(ClassSection(entry.clsid), keys);
    std::string progIdText;
    if (!entry.progId.empty()) {
        progIdText = BuildSection(ProgIdSection(entry.progId),
                                  {{"CLSID", entry.clsid}, {"UserTypeName", entry.userTypeName}});
    }
    return Modify(m_file, m_error, [&](ProfileDocument& doc) {
        // A ProgID the class held before, under another name, goes with the old entry.
        RemoveSections(doc, [&](const ProfileSection& s) {
            return StartsWithNoCase(s.name, "ProgID\\") &&
                   !EqualsNoCase(s.name, ProgIdSection(entry.progId)) &&
                   EqualsNoCase(FindSectionValue(s, "CLSID").value_or(""), entry.clsid);
        });
        ReplaceSection(doc, ClassSection(entry.clsid), classText);
        if (!progIdText.empty()) {
            ReplaceSection(doc, ProgIdSection(entry.progId), progIdText);
        }
        return true;
    });
}

bool ComponentRegistry::UnregisterClass(const std::string& clsid) {
    if (!IsGuid(clsid)) {
        m_error = "not a class identifier: \"" + clsid + "\"";
        return false;
    }
    return Modify(m_file, m_error, [&](ProfileDocument& doc) {
        bool removed = RemoveSections(doc, [&](const ProfileSection& s) {
            return EqualsNoCase(s.name, ClassSection(clsid));
        });
        // Only ProgIDs that still name this class: another class may have taken one over.
        removed |= RemoveSections(doc, [&](const ProfileSection& s) {
            return StartsWithNoCase(s.name, "ProgID\\") &&
                   EqualsNoCase(FindSectionValue(s, "CLSID").value_or(""), clsid);
        });
        return removed;
    });
}

bool ComponentRegistry::RegisterTypeLib(const TypeLibRegistration& entry) {
    if (!IsGuid(entry.libid)) {
        m_error = "not a type library identifier: \"" + entry.libid + "\"";
        return false;
    }
    if (!IsPlainName(entry.version)) {
        m_error = "not a type library version: \"" + entry.version + "\"";
        return false;
    }
    for (const std::string* s :
         {&entry.name, &entry.helpString, &entry.helpFile, &entry.libraryPath}) {
        if (!IsOneLine(*s)) {
            m_error = "a registry value cannot hold a line break: \"" + *s + "\"";
            return false;
        }
    }
    std::string text =
        BuildSection(TypeLibSection(entry.libid, entry.version), {{"Name", entry.name},
                                                                  {"HelpString", entry.helpString},
                                                                  {"HelpFile", entry.helpFile},
                                                                  {"Path", entry.libraryPath}});
    return Modify(m_file, m_error, [&](ProfileDocument& doc) {
        ReplaceSection(doc, TypeLibSection(entry.libid, entry.version), text);
        return true;
    });
}

bool ComponentRegistry::UnregisterTypeLib(const std::string& libid, const std::string& version) {
    if (!IsGuid(libid) || !IsPlainName(version)) {
        m_error = "not a type library: \"" + libid + "\" version \"" + version + "\"";
        return false;
    }
    return Modify(m_file, m_error, [&](ProfileDocument& doc) {
        return RemoveSections(doc, [&](const ProfileSection& s) {
            return EqualsNoCase(s.name, TypeLibSection(libid, version));
        });
    });
}

std::optional<ClassRegistration>
ComponentRegistry::FindClassByProgId(const std::string& progId) const {
    auto doc = Load(m_file, m_error);
    if (!doc || progId.empty()) {
        return std::nullopt;
    }
    if (const ProfileSection* s = FindSection(*doc, ProgIdSection(progId))) {
        if (auto clsid = FindSectionValue(*s, "CLSID")) {
            if (const ProfileSection* c = FindSection(*doc, ClassSection(*clsid))) {
                return ClassFrom(*c, *clsid);
            }
        }
    }
    return std::nullopt;
}

std::optional<ClassRegistration> ComponentRegistry::FindClass(const std::string& clsid) const {
    auto doc = Load(m_file, m_error);
    if (!doc) {
        return std::nullopt;
    }
    if (const ProfileSection* c = FindSection(*doc, ClassSection(clsid))) {
        return ClassFrom(*c, clsid);
    }
    return std::nullopt;
}

std::optional<TypeLibRegistration>
ComponentRegistry::FindTypeLib(const std::string& libid, const std::string& version) const {
    auto doc = Load(m_file, m_error);
    if (!doc) {
        return std::nullopt;
    }
    const ProfileSection* s = FindSection(*doc, TypeLibSection(libid, version));
    if (!s) {
        return std::nullopt;
    }
    TypeLibRegistration t;
    t.libid = libid;
    t.version = version;
    t.name = FindSectionValue(*s, "Name").value_or("");
    t.helpString = FindSectionValue(*s, "HelpString").value_or("");
    t.helpFile = FindSectionValue(*s, "HelpFile").value_or("");
    t.libraryPath = FindSectionValue(*s, "Path").value_or("");
    return t;
}

std::vector<ClassRegistration> ComponentRegistry::Classes() const {
    std::vector<ClassRegistration> out;
    auto doc = Load(m_file, m_error);
    if (!doc) {
        return out;
    }
    for (const auto& s : doc->sections) {
        if (StartsWithNoCase(s.name, "CLSID\\")) {
            out.push_back(ClassFrom(s, s.name.substr(6)));
        }
    }
    return out;
}

} // namespace tessaline
