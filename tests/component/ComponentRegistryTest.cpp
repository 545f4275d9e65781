// SPDX-License-Identifier: MIT
#include "platform/component/ComponentRegistry.h"

#include "tests/support/Files.h"
#include "tests/support/TempHome.h"

#include <gtest/gtest.h>
#include <thread>

namespace tessaline {
namespace {

using test::ReadAll;
using test::TempHome;
using test::WriteText;

const std::string kCtrlClsid = "{0C6B1D2E-3F40-4A51-8B62-7C8D9EAFB0C1}";
const std::string kPageClsid = "{0C6B1D2E-3F40-4A51-8B62-7C8D9EAFB0C2}";
const std::string kLibid = "{0C6B1D2E-3F40-4A51-8B62-7C8D9EAFB0C3}";

ClassRegistration ControlClass(const std::string& path = "/opt/lib/libtessaline-control.so") {
    ClassRegistration c;
    c.clsid = kCtrlClsid;
    c.progId = "TESSALINE.TessalineCtrl.1";
    c.userTypeName = "Tessaline Control";
    c.libraryPath = path;
    c.control = true;
    c.insertable = false;
    c.toolboxBitmap = 1;
    c.miscStatus = 131473;
    c.typeLibId = kLibid;
    c.typeLibVersion = "1.0";
    return c;
}

ClassRegistration PageClass() {
    ClassRegistration c;
    c.clsid = kPageClsid;
    c.progId = "TESSALINE.TessalinePropPage.1";
    c.userTypeName = "Tessaline Property Page";
    c.libraryPath = "/opt/lib/libtessaline-control.so";
    return c;
}

TypeLibRegistration TypeLib() {
    return {kLibid,          "TESSALINELib",
            "1.0",           "Tessaline ActiveX Control module",
            "Tessaline.hlp", "/opt/lib/libtessaline-control.so"};
}

void RegisterAll(ComponentRegistry& registry) {
    ASSERT_TRUE(registry.RegisterTypeLib(TypeLib())) << registry.Error();
    ASSERT_TRUE(registry.RegisterClass(ControlClass())) << registry.Error();
    ASSERT_TRUE(registry.RegisterClass(PageClass())) << registry.Error();
}

void UnregisterAll(ComponentRegistry& registry) {
    ASSERT_TRUE(registry.UnregisterTypeLib(kLibid, "1.0")) << registry.Error();
    ASSERT_TRUE(registry.UnregisterClass(kCtrlClsid)) << registry.Error();
    ASSERT_TRUE(registry.UnregisterClass(kPageClsid)) << registry.Error();
}

const char* const kUnrelated = "; somebody else's notes\n"
                               "[CLSID\\{11111111-2222-3333-4444-555555555555}]\n"
                               "ProgID = Other.Ctrl.1\n"
                               "InprocServer32=/usr/lib/libother.so   \n"
                               "\n"
                               "this line means nothing\n"
                               "[ProgID\\Other.Ctrl.1]\r\n"
                               "CLSID={11111111-2222-3333-4444-555555555555}\r\n"
                               "[unterminated section\n"
                               "=value without key\n"
                               "\n";

struct RoundTripCase {
    const char* name;
    std::optional<std::string> before; // nullopt: no file
};

void PrintTo(const RoundTripCase& c, std::ostream* os) {
    *os << c.name;
}

class RegistryRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(RegistryRoundTrip, UnregisterRestoresTheFileByteForByte) {
    TempHome home;
    const auto& param = GetParam();
    if (param.before) {
        WriteText(home.RegistryFile(), *param.before);
    }
    ComponentRegistry registry;
    ASSERT_EQ(registry.File(), home.RegistryFile());
    RegisterAll(registry);
    ASSERT_TRUE(registry.FindClassByProgId("TESSALINE.TessalineCtrl.1"));
    UnregisterAll(registry);
    EXPECT_EQ(ReadAll(home.RegistryFile()), param.before);
    // Only the registry and its lock file: no temporary file left behind.
    for (const auto& entry :
         std::filesystem::directory_iterator(home.RegistryFile().parent_path())) {
        auto name = entry.path().filename().string();
        EXPECT_TRUE(name == "components.reg" || name == "components.reg.lock") << name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    ComponentRegistry, RegistryRoundTrip,
    ::testing::Values(RoundTripCase{"missing", std::nullopt}, RoundTripCase{"empty", ""},
                      RoundTripCase{"unrelated", kUnrelated},
                      RoundTripCase{"commentsOnly", "# mine\n\n"},
                      RoundTripCase{"unrelatedThenAnotherSection",
                                    std::string(kUnrelated) + "[Other]\nkey=1\n"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(ComponentRegistry, RecordsEverythingItIsGiven) {
    TempHome home;
    ComponentRegistry registry;
    RegisterAll(registry);

    auto ctrl = registry.FindClassByProgId("TESSALINE.TessalineCtrl.1");
    ASSERT_TRUE(ctrl);
    EXPECT_EQ(ctrl->clsid, kCtrlClsid);
    EXPECT_EQ(ctrl->userTypeName, "Tessaline Control");
    EXPECT_EQ(ctrl->libraryPath, "/opt/lib/libtessaline-control.so");
    EXPECT_EQ(ctrl->threadingModel, "Apartment");
    EXPECT_TRUE(ctrl->control);
    EXPECT_FALSE(ctrl->insertable);
    EXPECT_EQ(ctrl->toolboxBitmap, 1);
    EXPECT_EQ(ctrl->miscStatus, 131473u);
    EXPECT_EQ(ctrl->typeLibId, kLibid);
    EXPECT_EQ(ctrl->typeLibVersion, "1.0");

    auto page = registry.FindClass(kPageClsid);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->progId, "TESSALINE.TessalinePropPage.1");
    EXPECT_EQ(page->userTypeName, "Tessaline Property Page");
    EXPECT_FALSE(page->control);

    auto lib = registry.FindTypeLib(kLibid, "1.0");
    ASSERT_TRUE(lib);
    EXPECT_EQ(lib->name, "TESSALINELib");
    EXPECT_EQ(lib->helpString, "Tessaline ActiveX Control module");
    EXPECT_EQ(lib->helpFile, "Tessaline.hlp");
    EXPECT_FALSE(registry.FindTypeLib(kLibid, "2.0"));

    EXPECT_EQ(registry.Classes().size(), 2u);
    // Another registry object on the same file sees the same entries.
    EXPECT_TRUE(ComponentRegistry(home.RegistryFile()).FindClass(kCtrlClsid));
}

TEST(ComponentRegistry, ReRegisteringReplacesTheEntryInPlace) {
    TempHome home;
    WriteText(home.RegistryFile(), kUnrelated);
    ComponentRegistry registry;
    RegisterAll(registry);
    WriteText(home.RegistryFile(), *ReadAll(home.RegistryFile()) + "[Later]\nx=1\n");
    ASSERT_TRUE(registry.RegisterClass(ControlClass("/new/libtessaline-control.so")));

    std::string text = *ReadAll(home.RegistryFile());
    EXPECT_EQ(registry.FindClassByProgId("TESSALINE.TessalineCtrl.1")->libraryPath,
              "/new/libtessaline-control.so");
    EXPECT_EQ(text.find("[CLSID\\" + kCtrlClsid + "]"), text.rfind("[CLSID\\" + kCtrlClsid + "]"));
    EXPECT_LT(text.find(kCtrlClsid), text.find("[Later]"));
    EXPECT_NE(text.find("[CLSID\\" + kCtrlClsid +
                        "]\nProgID=TESSALINE.TessalineCtrl.1\nUserTypeName=Tessaline "
                        "Control\nInprocServer32=/new/libtessaline-control.so\n"),
              std::string::npos)
        << text;
}

TEST(ComponentRegistry, KeepsUnrelatedEntriesVerbatim) {
    TempHome home;
    WriteText(home.RegistryFile(), kUnrelated);
    ComponentRegistry registry;
    RegisterAll(registry);
    std::string text = *ReadAll(home.RegistryFile());
    EXPECT_EQ(text.substr(0, std::string(kUnrelated).size()), kUnrelated);
    auto other = registry.FindClassByProgId("Other.Ctrl.1");
    ASSERT_TRUE(other);
    EXPECT_EQ(other->libraryPath, "/usr/lib/libother.so");
}

TEST(ComponentRegistry, ToleratesHandEditedAndMalformedLines) {
    TempHome home;
    WriteText(home.RegistryFile(), "garbage before any section\n"
                                   "[progid\\tessaline.tessalinectrl.1]\r\n"
                                   "  clsid =  " +
                                       kCtrlClsid +
                                       "  \r\n"
                                       "[CLSID\\" +
                                       kCtrlClsid +
                                       "]\r\n"
                                       "no equals sign here\n"
                                       "# InprocServer32=/commented/out.so\n"
                                       "InprocServer32 = /spaced/lib.so\r\n"
                                       "InprocServer32=/second/occurrence.so\n"
                                       "MiscStatus=not a number\n");
    ComponentRegistry registry;
    auto c = registry.FindClassByProgId("TESSALINE.TessalineCtrl.1");
    ASSERT_TRUE(c) << registry.Error();
    EXPECT_EQ(c->libraryPath, "/spaced/lib.so");
    EXPECT_EQ(c->miscStatus, 0u);
    // Unregistering removes the hand-edited sections too, whatever their case.
    ASSERT_TRUE(registry.UnregisterClass(kCtrlClsid));
    EXPECT_EQ(ReadAll(home.RegistryFile()), "garbage before any section\n");
}

TEST(ComponentRegistry, UnregisterLeavesAProgIdAnotherClassHasTakenOver) {
    TempHome home;
    ComponentRegistry registry;
    ASSERT_TRUE(registry.RegisterClass(ControlClass()));
    ClassRegistration usurper = ControlClass();
    usurper.clsid = "{99999999-2222-3333-4444-555555555555}";
    ASSERT_TRUE(registry.RegisterClass(usurper));
    ASSERT_TRUE(registry.UnregisterClass(kCtrlClsid));
    auto c = registry.FindClassByProgId("TESSALINE.TessalineCtrl.1");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->clsid, usurper.clsid);
}

TEST(ComponentRegistry, RenamedProgIdDropsTheOldOne) {
    TempHome home;
    ComponentRegistry registry;
    ASSERT_TRUE(registry.RegisterClass(ControlClass()));
    ClassRegistration renamed = ControlClass();
    renamed.progId = "TESSALINE.TessalineCtrl.2";
    ASSERT_TRUE(registry.RegisterClass(renamed));
    EXPECT_FALSE(registry.FindClassByProgId("TESSALINE.TessalineCtrl.1"));
    EXPECT_TRUE(registry.FindClassByProgId("TESSALINE.TessalineCtrl.2"));
}

TEST(ComponentRegistry, MissingFileIsEmptyNotAnError) {
    TempHome home;
    ComponentRegistry registry;
    EXPECT_FALSE(registry.FindClassByProgId("TESSALINE.TessalineCtrl.1"));
    EXPECT_TRUE(registry.Error().empty());
    EXPECT_TRUE(registry.Classes().empty());
    EXPECT_TRUE(registry.UnregisterClass(kCtrlClsid)) << registry.Error();
    EXPECT_TRUE(registry.UnregisterTypeLib(kLibid, "1.0")) << registry.Error();
    EXPECT_FALSE(std::filesystem::exists(home.RegistryFile()));
}

TEST(ComponentRegistry, UnwritableOrUnreadablePlacesAreErrors) {
    TempHome home;
    // A plain file where the folder should be: no folder can be made there.
    WriteText(home.XdgConfigHome() / "blocked", "not a folder");
    ComponentRegistry blocked(home.XdgConfigHome() / "blocked" / "tessaline" / "components.reg");
    EXPECT_FALSE(blocked.RegisterClass(ControlClass()));
    EXPECT_NE(blocked.Error().find("blocked"), std::string::npos) << blocked.Error();
    EXPECT_FALSE(blocked.UnregisterClass(kCtrlClsid));

    // A folder where the file should be: reading fails, so nothing is written.
    std::filesystem::create_directories(home.RegistryFile());
    ComponentRegistry unreadable;
    EXPECT_FALSE(unreadable.RegisterTypeLib(TypeLib()));
    EXPECT_NE(unreadable.Error().find("components.reg"), std::string::npos) << unreadable.Error();
    EXPECT_FALSE(unreadable.FindClass(kCtrlClsid));
    EXPECT_FALSE(unreadable.Error().empty());
}

TEST(ComponentRegistry, RefusesEntriesThatWouldBreakTheFormat) {
    TempHome home;
    WriteText(home.RegistryFile(), kUnrelated);
    ComponentRegistry registry;
    struct Case {
        const char* what;
        ClassRegistration entry;
    };
    std::vector<Case> cases;
    auto add = [&](const char* what, auto edit) {
        ClassRegistration c = ControlClass();
        edit(c);
        cases.push_back({what, c});
    };
    add("clsid without braces", [](auto& c) { c.clsid = "0C6B1D2E-3F40-4A51-8B62-7C8D9EAFB0C1"; });
    add("clsid with a bracket", [](auto& c) { c.clsid = "{0C6B1D2E-3F40-4A51-8B62-7C8D9EAFB0]}"; });
    add("progid with a bracket", [](auto& c) { c.progId = "A]B"; });
    add("progid with a space", [](auto& c) { c.progId = "A B"; });
    add("path with a line break", [](auto& c) { c.libraryPath = "/a\n[CLSID\\x]"; });
    add("type library not a guid", [](auto& c) { c.typeLibId = "TESSALINELib"; });
    for (const auto& c : cases) {
        EXPECT_FALSE(registry.RegisterClass(c.entry)) << c.what;
        EXPECT_FALSE(registry.Error().empty()) << c.what;
    }
    TypeLibRegistration lib = TypeLib();
    lib.version = "1.0]";
    EXPECT_FALSE(registry.RegisterTypeLib(lib));
    EXPECT_EQ(ReadAll(home.RegistryFile()), kUnrelated);
}

TEST(ComponentRegistry, ConcurrentWritersKeepEachOthersEntries) {
    TempHome home;
    constexpr int kThreads = 8;
    constexpr int kEach = 12;
    std::vector<std::thread> threads;
    std::vector<int> failures(kThreads, 0);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            ComponentRegistry registry(home.RegistryFile());
            for (int i = 0; i < kEach; ++i) {
                char clsid[64];
                std::snprintf(clsid, sizeof clsid, "{%08X-0000-4000-8000-000000000000}",
                              static_cast<unsigned>(t * 100 + i));
                ClassRegistration c;
                c.clsid = clsid;
                c.progId = "Test.Class" + std::to_string(t) + "_" + std::to_string(i);
                c.libraryPath = "/lib" + std::to_string(t) + ".so";
                failures[static_cast<size_t>(t)] += registry.RegisterClass(c) ? 0 : 1;
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    for (int f : failures) {
        EXPECT_EQ(f, 0);
    }
    ComponentRegistry registry;
    EXPECT_EQ(registry.Classes().size(), static_cast<size_t>(kThreads * kEach));
    EXPECT_TRUE(registry.FindClassByProgId("Test.Class7_11"));
}

TEST(ComponentRegistry, AppendsAfterALastLineWithoutLineBreak) {
    TempHome home;
    WriteText(home.RegistryFile(), "[Other]\nkey=value");
    ComponentRegistry registry;
    ASSERT_TRUE(registry.RegisterClass(PageClass()));
    ASSERT_TRUE(registry.FindClass(kPageClsid));
    auto other = ReadAll(home.RegistryFile());
    EXPECT_EQ(other->substr(0, 18), "[Other]\nkey=value\n");
    ASSERT_TRUE(registry.UnregisterClass(kPageClsid));
    EXPECT_EQ(ReadAll(home.RegistryFile()), "[Other]\nkey=value\n");
}

TEST(ComponentRegistry, KeepsTheFilesPermissions) {
    TempHome home;
    WriteText(home.RegistryFile(), kUnrelated);
    std::filesystem::permissions(home.RegistryFile(), std::filesystem::perms(0600));
    ComponentRegistry registry;
    ASSERT_TRUE(registry.RegisterClass(ControlClass()));
    EXPECT_EQ(std::filesystem::status(home.RegistryFile()).permissions(),
              std::filesystem::perms(0600));
}

} // namespace
} // namespace tessaline
