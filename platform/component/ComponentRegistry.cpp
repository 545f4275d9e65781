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
// A section runs from its "[name]" line to the line before the next one, and
// its text (blank lines and comments included) is what registering replaces
// and unregistering removes; every other byte of the file is kept verbatim,
// lines we cannot make sense of included. Section names, class identifiers
// and ProgIDs compare without regard to ASCII case; keys and values are
// trimmed of spaces and tabs; the first occurrence of a key counts. Values
// cannot hold line breaks, so such entries are refused.
//
// Every change takes an exclusive flock on "components.reg.lock" beside the
// file, re-reads the file, and replaces it atomically (temporary file in the
// same folder, then rename), so concurrent writers never lose each other's
// entries. Readers need no lock: they always see one whole version. When an
// unregister leaves nothing but the header this code writes into a new file,
// the file is deleted, so registering and unregistering into a missing file
// leaves it missing. A file whose last line lacks its line break gains one
// when an entry is appended after it.
#include "platform/component/ComponentRegistry.h"

#include "RegistryDocument.h"
#include "platform/AtomicFile.h"
#include "platform/FileIo.h"
#include "platform/FileLock.h"
#include "platform/UserFolders.h"
#include "platform/component/NameCompare.h"

#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace tessaline {
namespace {

using namespace registry;

constexpr const char* kNewFileHeader =
    "# Tessaline component registry: control classes and type libraries\n"
    "# registered for this user. Written by \"tessaline-cli register\";\n"
    "# the format is described in docs/component-registry.md.\n"
    "\n";

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
    Document doc = text.Value() ? Parse(*text.Value()) : Document{kNewFileHeader, {}};
    if (!change(doc)) {
        return true;
    }
    if (doc.sections.empty() && doc.preamble == kNewFileHeader) {
        if (::unlink(file.c_str()) != 0 && errno != ENOENT) {
            error =
                "cannot remove " + file.string() + ": " + std::generic_category().message(errno);
            return false;
        }
        return true;
    }
    if (const Result<void> written = ReplaceFileAtomically(file, Serialize(doc)); !written) {
        error = written.Reason();
        return false;
    }
    return true;
}

std::optional<Document> Load(const std::filesystem::path& file, std::string& error) {
    error.clear();
    const Result<std::optional<std::string>> text = ReadFileIfPresent(file);
    if (!text) {
        error = text.Reason();
        return std::nullopt;
    }
    return Parse(text.Value().value_or(std::string()));
}

ClassRegistration ClassFrom(const Section& section, std::string clsid) {
    ClassRegistration c;
    c.clsid = std::move(clsid);
    c.progId = Value(section, "ProgID").value_or("");
    c.userTypeName = Value(section, "UserTypeName").value_or("");
    c.libraryPath = Value(section, "InprocServer32").value_or("");
    c.threadingModel = Value(section, "ThreadingModel").value_or("");
    c.control = Value(section, "Control").value_or("0") == "1";
    c.insertable = Value(section, "Insertable").value_or("0") == "1";
    c.toolboxBitmap = static_cast<int32_t>(
        std::strtol(Value(section, "ToolboxBitmap32").value_or("0").c_str(), nullptr, 10));
    c.miscStatus = static_cast<uint32_t>(
        std::strtoul(Value(section, "MiscStatus").value_or("0").c_str(), nullptr, 10));
    c.typeLibId = Value(section, "TypeLib").value_or("");
    c.typeLibVersion = Value(section, "Version").value_or("");
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
    std::vector<Key> keys;
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
    return Modify(m_file, m_error, [&](Document& doc) {
        // A ProgID the class held before, under another name, goes with the old entry.
        RemoveIf(doc, [&](const Section& s) {
            return StartsWithNoCase(s.name, "ProgID\\") &&
                   !EqualsNoCase(s.name, ProgIdSection(entry.progId)) &&
                   EqualsNoCase(Value(s, "CLSID").value_or(""), entry.clsid);
        });
        Replace(doc, ClassSection(entry.clsid), classText);
        if (!progIdText.empty()) {
            Replace(doc, ProgIdSection(entry.progId), progIdText);
        }
        return true;
    });
}

bool ComponentRegistry::UnregisterClass(const std::string& clsid) {
    if (!IsGuid(clsid)) {
        m_error = "not a class identifier: \"" + clsid + "\"";
        return false;
    }
    return Modify(m_file, m_error, [&](Document& doc) {
        bool removed = RemoveIf(
            doc, [&](const Section& s) { return EqualsNoCase(s.name, ClassSection(clsid)); });
        // Only ProgIDs that still name this class: another class may have taken one over.
        removed |= RemoveIf(doc, [&](const Section& s) {
            return StartsWithNoCase(s.name, "ProgID\\") &&
                   EqualsNoCase(Value(s, "CLSID").value_or(""), clsid);
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
    return Modify(m_file, m_error, [&](Document& doc) {
        Replace(doc, TypeLibSection(entry.libid, entry.version), text);
        return true;
    });
}

bool ComponentRegistry::UnregisterTypeLib(const std::string& libid, const std::string& version) {
    if (!IsGuid(libid) || !IsPlainName(version)) {
        m_error = "not a type library: \"" + libid + "\" version \"" + version + "\"";
        return false;
    }
    return Modify(m_file, m_error, [&](Document& doc) {
        return RemoveIf(doc, [&](const Section& s) {
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
    if (const Section* s = FindSection(*doc, ProgIdSection(progId))) {
        if (auto clsid = Value(*s, "CLSID")) {
            if (const Section* c = FindSection(*doc, ClassSection(*clsid))) {
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
    if (const Section* c = FindSection(*doc, ClassSection(clsid))) {
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
    const Section* s = FindSection(*doc, TypeLibSection(libid, version));
    if (!s) {
        return std::nullopt;
    }
    TypeLibRegistration t;
    t.libid = libid;
    t.version = version;
    t.name = Value(*s, "Name").value_or("");
    t.helpString = Value(*s, "HelpString").value_or("");
    t.helpFile = Value(*s, "HelpFile").value_or("");
    t.libraryPath = Value(*s, "Path").value_or("");
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
