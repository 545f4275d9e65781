// SPDX-License-Identifier: MIT
// Where an installed host finds its control library, and the registration a
// host makes on its first run, against a copy of the built library laid out
// as an installed prefix and a private registry.
#include "platform/component/FirstRunRegistration.h"

#include "platform/component/ComponentRegistry.h"
#include "tests/support/Files.h"
#include "tests/support/TempHome.h"

#include <fstream>
#include <gtest/gtest.h>

namespace tessaline {
namespace {

namespace fs = std::filesystem;

constexpr const char* kProgId = "TESSALINE.TessalineCtrl.1";

// A prefix with bin/ and lib/ in the private config folder's sibling, the
// host "installed" at bin/tessaline-cli and the control copied to lib/.
class FirstRun : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = m_config.XdgConfigHome() / "root";
        fs::create_directories(m_root / "prefix" / "bin");
        fs::create_directories(m_root / "prefix" / "lib");
        fs::create_directories(m_root / "build" / "tools");
        m_installed = m_root / "prefix" / "lib" / "libtessaline-control.so";
        fs::copy_file(TESSALINE_CONTROL_PATH, m_installed);
    }

    ControlLibraries Installed(const fs::path& self) const {
        return ControlLibraries{m_root / "build", TESSALINE_CONTROL_PATH,
                                "/nonexistent/lib/libtessaline-control.so",
                                "../lib/libtessaline-control.so", self};
    }
    fs::path InstalledHost() const { return m_root / "prefix" / "bin" / "tessaline-cli"; }
    std::string RegisteredLibrary() const {
        auto entry = ComponentRegistry().FindClassByProgId(kProgId);
        return entry ? entry->libraryPath : std::string();
    }

    test::TempHome m_config;
    fs::path m_root;
    fs::path m_installed;
};

TEST(ControlLibraries, FindsTheLibraryBesideTheHostThenTheConfiguredOne) {
    test::TempHome scratch;
    const fs::path prefix = scratch.XdgConfigHome() / "usr";
    fs::create_directories(prefix / "bin");
    fs::create_directories(prefix / "lib" / "x86_64-linux-gnu");
    const fs::path beside = prefix / "lib" / "x86_64-linux-gnu" / "libtessaline-control.so";
    std::ofstream(beside) << "x";
    const fs::path configured = scratch.XdgConfigHome() / "configured.so";

    struct Case {
        const char* what;
        fs::path self;
        bool configuredExists;
        fs::path expected;
    };
    const Case cases[] = {
        {"beside the moved prefix", prefix / "bin" / "tessaline-cli", false, beside},
        {"beside wins over configured", prefix / "bin" / "tessaline-cli", true, beside},
        {"configured when nothing beside", scratch.XdgConfigHome() / "elsewhere" / "tool", true,
         configured},
        {"none at all", scratch.XdgConfigHome() / "elsewhere" / "tool", false, fs::path()},
    };
    for (const Case& c : cases) {
        fs::remove(configured);
        if (c.configuredExists) {
            std::ofstream(configured) << "x";
        }
        const ControlLibraries libs{scratch.XdgConfigHome() / "build",
                                    scratch.XdgConfigHome() / "build" / "lib.so", configured,
                                    "../lib/x86_64-linux-gnu/libtessaline-control.so", c.self};
        EXPECT_EQ(libs.Installed(), c.expected) << c.what;
        EXPECT_FALSE(libs.RunFromBuildTree()) << c.what;
        EXPECT_EQ(libs.Default(), c.expected.empty() ? configured : c.expected) << c.what;
    }
}

TEST(ControlLibraries, ABuildTreeHostTakesItsOwnLibrary) {
    const ControlLibraries libs{"/work/build", "/work/build/control/lib.so", "/usr/lib/lib.so",
                                "../lib/lib.so", "/work/build/tools/tessaline-cli"};
    EXPECT_TRUE(libs.RunFromBuildTree());
    EXPECT_EQ(libs.Default(), fs::path("/work/build/control/lib.so"));
    // A sibling folder whose name starts like the build folder is not inside it.
    const ControlLibraries sibling{"/work/build", "/work/build/control/lib.so", "/usr/lib/lib.so",
                                   "../lib/lib.so", "/work/build-other/tools/tessaline-cli"};
    EXPECT_FALSE(sibling.RunFromBuildTree());
}

TEST_F(FirstRun, RegistersTheInstalledLibraryWhenNothingIsRegistered) {
    const std::string note = RegisterOnFirstRun(kProgId, Installed(InstalledHost()));
    EXPECT_NE(note.find("registered the Tessaline control " + m_installed.string()),
              std::string::npos)
        << note;
    EXPECT_EQ(RegisteredLibrary(), m_installed.string());
    // The second run finds it registered and says nothing.
    EXPECT_EQ(RegisterOnFirstRun(kProgId, Installed(InstalledHost())), "");
}

TEST_F(FirstRun, ReplacesARegistrationWhoseLibraryIsGone) {
    const fs::path gone = m_root / "old" / "libtessaline-control.so";
    ComponentRegistry registry;
    ClassRegistration stale;
    stale.clsid = "{D20B7BA2-F718-4DA7-8DE3-7A07C0B383A5}";
    stale.progId = kProgId;
    stale.libraryPath = gone.string();
    ASSERT_TRUE(registry.RegisterClass(stale)) << registry.Error();

    const std::string note = RegisterOnFirstRun(kProgId, Installed(InstalledHost()));
    EXPECT_NE(note.find("is gone"), std::string::npos) << note;
    EXPECT_EQ(RegisteredLibrary(), m_installed.string());
}

TEST_F(FirstRun, LeavesAWorkingRegistrationAndTheBuildTreeAlone) {
    ComponentRegistry registry;
    ClassRegistration other;
    other.clsid = "{D20B7BA2-F718-4DA7-8DE3-7A07C0B383A5}";
    other.progId = kProgId;
    other.libraryPath = TESSALINE_CONTROL_PATH; // exists: the user's own choice stands
    ASSERT_TRUE(registry.RegisterClass(other)) << registry.Error();
    EXPECT_EQ(RegisterOnFirstRun(kProgId, Installed(InstalledHost())), "");
    EXPECT_EQ(RegisteredLibrary(), TESSALINE_CONTROL_PATH);

    ASSERT_TRUE(registry.UnregisterClass(other.clsid)) << registry.Error();
    EXPECT_EQ(RegisterOnFirstRun(kProgId, Installed(m_root / "build" / "tools" / "tessaline-cli")),
              "");
    EXPECT_EQ(RegisteredLibrary(), "") << "a build-tree host registered the installed library";
}

TEST_F(FirstRun, SaysWhyWhenTheInstalledLibraryCannotRegister) {
    fs::remove(m_installed);
    std::ofstream(m_installed) << "not a library";
    const std::string note = RegisterOnFirstRun(kProgId, Installed(InstalledHost()));
    EXPECT_NE(note.find("cannot register the installed control"), std::string::npos) << note;
    EXPECT_EQ(RegisteredLibrary(), "");
}

} // namespace
} // namespace tessaline
