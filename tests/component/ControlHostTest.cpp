// SPDX-License-Identifier: MIT
#include "platform/component/ControlHost.h"

#include "platform/component/ComponentRegistry.h"
#include "platform/component/LibraryRegistration.h"
#include "tests/support/Files.h"
#include "tests/support/TempHome.h"

#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>
#include <stdexcept>

namespace tessaline {
namespace {

using test::ReadAll;
using test::TempHome;

constexpr const char* kFakeProgId = "TESSALINE.FakeCtrl.1";
constexpr const char* kFakeClsid = "{5EA1F00D-0000-4000-8000-00000000FA4E}";

// A handle of our own on the fake library, for its counters; it also keeps the
// library loaded, so the counters survive the host.
class FakeLibrary {
public:
    FakeLibrary() : m_handle(::dlopen(TESSALINE_FAKE_COMPONENT, RTLD_NOW | RTLD_LOCAL)) {}
    ~FakeLibrary() {
        if (m_handle) {
            ::dlclose(m_handle);
        }
    }
    FakeLibrary(const FakeLibrary&) = delete;
    FakeLibrary& operator=(const FakeLibrary&) = delete;

    int Call(const char* name) const {
        void* symbol = ::dlsym(m_handle, name);
        int (*fn)() = nullptr;
        std::memcpy(&fn, &symbol, sizeof fn);
        return fn ? fn() : -1;
    }
    int LiveObjects() const { return Call("FakeLiveObjects"); }
    int OutstandingStrings() const { return Call("FakeOutstandingStrings"); }
    int Sinks() const { return Call("FakeSinks"); }

private:
    void* m_handle;
};

TsVariant I4(int32_t v) {
    TsVariant x{};
    x.vt = TS_VT_I4;
    x.u.i4 = v;
    return x;
}
TsVariant I4Ref(int32_t* v) {
    TsVariant x{};
    x.vt = TS_VT_I4 | TS_VT_BYREF;
    x.u.pi4 = v;
    return x;
}
TsVariant I2(int16_t v) {
    TsVariant x{};
    x.vt = TS_VT_I2;
    x.u.i2 = v;
    return x;
}
TsVariant I2Ref(int16_t* v) {
    TsVariant x{};
    x.vt = TS_VT_I2 | TS_VT_BYREF;
    x.u.pi2 = v;
    return x;
}
TsVariant Str(const char* v) {
    TsVariant x{};
    x.vt = TS_VT_STR;
    x.u.str = v;
    return x;
}
TsVariant StrRef(const char** v) {
    TsVariant x{};
    x.vt = TS_VT_STR | TS_VT_BYREF;
    x.u.pstr = v;
    return x;
}

class ControlHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        const Result<void> registered = RegisterLibrary(TESSALINE_FAKE_COMPONENT, false);
        ASSERT_TRUE(registered) << registered.Reason();
        auto created = ControlHost::CreateByProgId(kFakeProgId);
        ASSERT_TRUE(created) << created.Reason();
        host = std::move(created).Value();
    }

    TempHome home;
    FakeLibrary fake;
    std::unique_ptr<ControlHost> host;
};

TEST_F(ControlHostTest, CreatesTheRegisteredClassFromItsLibrary) {
    EXPECT_EQ(std::filesystem::path(host->LibraryPath()),
              std::filesystem::absolute(TESSALINE_FAKE_COMPONENT));
    EXPECT_EQ(fake.LiveObjects(), 1);
    EXPECT_EQ(host->MiscStatus(), 131473u);
    int32_t dispid = 0;
    EXPECT_EQ(host->GetIDOfName("echo", dispid), TS_S_OK);
    EXPECT_EQ(dispid, 2);
    EXPECT_EQ(host->GetIDOfName("Nope", dispid), TS_DISP_E_UNKNOWNNAME);
}

TEST_F(ControlHostTest, InvokesByIdentifierWithValuesAndReferences) {
    int32_t a = 40;
    int32_t b = 2;
    int16_t count = 2;
    const char* text = "ab";
    struct Case {
        const char* what;
        int32_t dispid;
        std::vector<TsVariant> args;
        TsResult expected;
    };
    int32_t sum = 0;
    std::vector<Case> cases = {
        {"values", 1, {I4(40), I4(2), I4Ref(&sum)}, TS_S_OK},
        {"references", 1, {I4Ref(&a), I4Ref(&b), I4Ref(&sum)}, TS_S_OK},
        {"unknown identifier", 9, {}, TS_DISP_E_MEMBERNOTFOUND},
        {"too few arguments", 1, {I4(1), I4(2)}, TS_DISP_E_BADPARAMCOUNT},
        {"too many arguments", 2, {Str("x"), I2(1), I2(1)}, TS_DISP_E_BADPARAMCOUNT},
        {"string for an integer", 1, {Str("40"), I4(2), I4Ref(&sum)}, TS_DISP_E_TYPEMISMATCH},
        {"16-bit for a 32-bit", 1, {I2(40), I4(2), I4Ref(&sum)}, TS_DISP_E_TYPEMISMATCH},
        {"string by reference", 2, {StrRef(&text), I2Ref(&count)}, TS_S_OK},
    };
    for (auto& c : cases) {
        sum = 0;
        TsVariant result{};
        EXPECT_EQ(host->Invoke(c.dispid, c.args, &result), c.expected) << c.what;
        if (c.dispid == 1 && c.expected == TS_S_OK) {
            EXPECT_EQ(sum, 42) << c.what;
            EXPECT_EQ(result.vt, TS_VT_I4) << c.what;
            EXPECT_EQ(result.u.i4, 42) << c.what;
        }
        if (result.vt == TS_VT_STR) {
            EXPECT_STREQ(result.u.str, "abab") << c.what;
            EXPECT_EQ(fake.OutstandingStrings(), 1) << c.what;
            host->FreeResult(result);
            EXPECT_EQ(result.vt, TS_VT_EMPTY);
        }
        EXPECT_EQ(fake.OutstandingStrings(), 0) << c.what;
    }
}

TEST_F(ControlHostTest, TypedInvokesFreeAndCheckTheResult) {
    std::vector<TsVariant> echo = {Str("xy"), I2(3)};
    std::string text;
    ASSERT_EQ(host->InvokeStr(2, echo, text), TS_S_OK);
    EXPECT_EQ(text, "xyxyxy");

    int32_t number = -7;
    EXPECT_EQ(host->InvokeI4(2, echo, number), TS_DISP_E_TYPEMISMATCH);
    EXPECT_EQ(number, -7);
    EXPECT_EQ(fake.OutstandingStrings(), 0);

    int32_t sum = 0;
    std::vector<TsVariant> add = {I4(5), I4(6), I4Ref(&sum)};
    ASSERT_EQ(host->InvokeI4(1, add, number), TS_S_OK);
    EXPECT_EQ(number, 11);
    text = "unchanged";
    EXPECT_EQ(host->InvokeStr(1, add, text), TS_DISP_E_TYPEMISMATCH);
    EXPECT_EQ(text, "unchanged");
    EXPECT_EQ(host->InvokeI4(1, std::span<TsVariant>{}, number), TS_DISP_E_BADPARAMCOUNT);
}

TEST_F(ControlHostTest, DeliversEventsInOrderToEverySink) {
    std::vector<std::string> seen;
    uint32_t first = host->Advise([&](int32_t dispid, std::span<const TsVariant> args) {
        ASSERT_EQ(args.size(), 1u);
        seen.push_back("a" + std::to_string(dispid) + ":" + std::to_string(args[0].u.i4));
    });
    uint32_t second = host->Advise([&](int32_t, std::span<const TsVariant> args) {
        seen.push_back("b:" + std::to_string(args[0].u.i4));
    });
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    EXPECT_NE(first, second);

    std::vector<TsVariant> echo = {Str("."), I2(3)};
    std::string text;
    ASSERT_EQ(host->InvokeStr(2, echo, text), TS_S_OK);
    EXPECT_EQ(seen, (std::vector<std::string>{"a1:1", "b:1", "a1:2", "b:2", "a1:3", "b:3"}));

    seen.clear();
    host->Unadvise(first);
    ASSERT_EQ(host->InvokeStr(2, echo, text), TS_S_OK);
    EXPECT_EQ(seen, (std::vector<std::string>{"b:1", "b:2", "b:3"}));
    EXPECT_EQ(fake.Sinks(), 1);
}

TEST_F(ControlHostTest, HandlersMayThrowOrDisconnectThemselves) {
    std::vector<int32_t> seen;
    uint32_t self = 0;
    self = host->Advise([&](int32_t, std::span<const TsVariant> args) {
        seen.push_back(args[0].u.i4);
        host->Unadvise(self);
        throw std::runtime_error("handler failure");
    });
    ASSERT_NE(self, 0u);
    std::vector<TsVariant> echo = {Str("."), I2(3)};
    std::string text;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(host->InvokeStr(2, echo, text), TS_S_OK);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(seen, std::vector<int32_t>{1});
    EXPECT_NE(err.find("handler failure"), std::string::npos);
    EXPECT_EQ(fake.Sinks(), 0);
    // The sink freed later is no trouble for the next one.
    EXPECT_NE(host->Advise([](int32_t, std::span<const TsVariant>) {}), 0u);
}

TEST_F(ControlHostTest, RoutesMessageBoxesToTheHandler) {
    std::vector<TsVariant> box = {Str("box"), I2(0)};
    std::string text;

    ::testing::internal::CaptureStderr();
    ASSERT_EQ(host->InvokeStr(2, box, text), TS_S_OK);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Fake: Fake message\n");
    EXPECT_EQ(text, std::to_string(TS_IDOK));

    std::string gotText, gotCaption;
    uint32_t gotFlags = 0;
    host->SetMessageBox([&](const std::string& t, const std::string& c, uint32_t f) {
        gotText = t;
        gotCaption = c;
        gotFlags = f;
        return 7;
    });
    ASSERT_EQ(host->InvokeStr(2, box, text), TS_S_OK);
    EXPECT_EQ(gotText, "Fake message");
    EXPECT_EQ(gotCaption, "Fake");
    EXPECT_EQ(gotFlags, TS_MB_ICONEXCLAMATION);
    EXPECT_EQ(text, "7");
}

struct Recorder {
    std::vector<std::string> calls;
    static void Fill(void* c, TsRect r, uint32_t colour) {
        static_cast<Recorder*>(c)->calls.push_back("fill " + std::to_string(r.left) + "," +
                                                   std::to_string(r.top) + " " +
                                                   std::to_string(colour));
    }
    static void Text(void* c, int32_t x, int32_t y, const char* t, uint32_t fg, uint32_t bg) {
        static_cast<Recorder*>(c)->calls.push_back("text " + std::to_string(x) + "," +
                                                   std::to_string(y) + " " + t + " " +
                                                   std::to_string(fg) + "/" + std::to_string(bg));
    }
};

TEST_F(ControlHostTest, ReadsTypeInformationAndDraws) {
    const TsTypeLibInfo* lib = host->TypeLib();
    ASSERT_TRUE(lib);
    EXPECT_STREQ(lib->name, "FAKELib");
    ASSERT_EQ(lib->interfaceCount, 2u);
    EXPECT_STREQ(lib->interfaces[1].members[0].name, "Tick");
    ASSERT_EQ(host->Verbs().size(), 1u);
    EXPECT_EQ(host->Verbs()[0].verb, TS_VERB_PROPERTIES);
    ASSERT_EQ(host->PropertyPages().size(), 1u);
    EXPECT_STREQ(host->PropertyPages()[0].caption, "General");
    ASSERT_TRUE(host->ModuleInfo());
    EXPECT_EQ(host->ModuleInfo()->abiVersion, static_cast<uint32_t>(TS_COMPONENT_ABI_VERSION));

    Recorder recorder;
    TsSurface surface{&recorder, &Recorder::Fill, &Recorder::Text};
    ASSERT_EQ(host->Draw(surface, TsRect{10, 20, 110, 50}), TS_S_OK);
    EXPECT_EQ(recorder.calls,
              (std::vector<std::string>{"fill 10,20 12632256", "text 12,22 Fake 0/12632256"}));
}

TEST_F(ControlHostTest, DestructionDisconnectsAndReleasesTheControl) {
    host->Advise([](int32_t, std::span<const TsVariant>) {});
    host->Advise([](int32_t, std::span<const TsVariant>) {});
    EXPECT_EQ(fake.Sinks(), 2);
    host.reset();
    EXPECT_EQ(fake.Sinks(), 0);
    EXPECT_EQ(fake.LiveObjects(), 0);
}

TEST(ControlHost, UnregisteredProgIdSaysHowToRegister) {
    TempHome home;
    const auto created = ControlHost::CreateByProgId("TESSALINE.TessalineCtrl.1");
    EXPECT_FALSE(created);
    const std::string& error = created.Reason();
    EXPECT_NE(error.find("\"TESSALINE.TessalineCtrl.1\" is not registered"), std::string::npos)
        << error;
    EXPECT_NE(error.find(home.RegistryFile().string()), std::string::npos) << error;
    EXPECT_NE(error.find("tessaline-cli register /path/to/libtessaline-control.so"),
              std::string::npos)
        << error;
}

// A real shared library that is no component: the C library.
std::string LibcPath() {
    void* handle = ::dlopen("libc.so.6", RTLD_NOW | RTLD_NOLOAD);
    link_map* map = nullptr;
    std::string path;
    if (handle && ::dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name) {
        path = map->l_name;
    }
    if (handle) {
        ::dlclose(handle);
    }
    return path;
}

TEST(ControlHost, ReportsWhyALibraryFailsToLoad) {
    TempHome home;
    struct Case {
        const char* what;
        std::string clsid;
        std::string library;
        std::string expected;
    };
    std::vector<Case> cases = {
        {"missing library", "{5EA1F00D-0000-4000-8000-000000000001}",
         (home.XdgConfigHome() / "gone.so").string(), "No such file"},
        {"not a component library", "{5EA1F00D-0000-4000-8000-000000000002}", LibcPath(),
         "DllGetClassObject"},
        {"library of another ABI version", "{5EA1F00D-0000-4000-8000-00000000FA4E}",
         std::filesystem::absolute(TESSALINE_FAKE_COMPONENT_FUTURE).string(),
         "component ABI version 99"},
        {"class the library does not serve", "{5EA1F00D-0000-4000-8000-000000000003}",
         std::filesystem::absolute(TESSALINE_FAKE_COMPONENT).string(), "0x80040111"},
    };
    ComponentRegistry registry;
    for (const auto& c : cases) {
        ClassRegistration entry;
        entry.clsid = c.clsid;
        entry.progId = "Broken.Case";
        entry.libraryPath = c.library;
        ASSERT_TRUE(registry.RegisterClass(entry)) << registry.Error();
        const auto created = ControlHost::CreateByProgId("Broken.Case");
        EXPECT_FALSE(created) << c.what;
        const std::string& error = created.Reason();
        EXPECT_NE(error.find(c.expected), std::string::npos) << c.what << ": " << error;
    }
}

TEST(LibraryRegistration, RegistersAndUnregistersLikeRegsvr32) {
    TempHome home;
    Result<void> registered = RegisterLibrary(TESSALINE_FAKE_COMPONENT, false);
    ASSERT_TRUE(registered) << registered.Reason();
    ComponentRegistry registry;
    auto entry = registry.FindClassByProgId(kFakeProgId);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->clsid, kFakeClsid);
    EXPECT_TRUE(std::filesystem::path(entry->libraryPath).is_absolute());
    EXPECT_TRUE(registry.FindTypeLib("{5EA1F00D-0000-4000-8000-00000000FA4F}", "1.0"));

    registered = RegisterLibrary(TESSALINE_FAKE_COMPONENT, true);
    ASSERT_TRUE(registered) << registered.Reason();
    EXPECT_FALSE(ReadAll(home.RegistryFile()));

    registered = RegisterLibrary(home.XdgConfigHome() / "nothing.so", false);
    EXPECT_FALSE(registered);
    EXPECT_NE(registered.Reason().find("nothing.so"), std::string::npos) << registered.Reason();
    registered = RegisterLibrary(LibcPath(), false);
    EXPECT_FALSE(registered);
    EXPECT_NE(registered.Reason().find("not a component library"), std::string::npos)
        << registered.Reason();
}

TEST(LibraryRegistration, ReportsAFailingEntryPoint) {
    TempHome home;
    // A file where the registry's folder belongs makes the library's own
    // registration fail; its result must come back as a failure.
    test::WriteText(home.XdgConfigHome() / "tessaline", "in the way");
    const Result<void> registered = RegisterLibrary(TESSALINE_FAKE_COMPONENT, false);
    EXPECT_FALSE(registered);
    EXPECT_NE(registered.Reason().find("0x80040200"), std::string::npos) << registered.Reason();
}

} // namespace
} // namespace tessaline
