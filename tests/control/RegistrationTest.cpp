// SPDX-License-Identifier: MIT
// Self-registration into the per-user component registry, the class object,
// and when the library may be unloaded.

#include "ControlTesting.h"
#include "platform/AtomicFile.h"
#include "platform/FileIo.h"
#include "platform/component/ComponentRegistry.h"
#include "platform/component/ControlHost.h"

#include <climits>
#include <filesystem>
#include <string>
#include <thread>

namespace tessaline {
namespace {

namespace fs = std::filesystem;
using namespace test;

std::string LibraryPath() {
    return fs::canonical(TESSALINE_CONTROL_LIBRARY).string();
}

std::optional<std::string> RegistryBytes(const TempHomes& homes) {
    const auto bytes = ReadWholeFile(homes.RegistryFile());
    return bytes ? std::optional(bytes.Value()) : std::nullopt;
}

TEST(Registration, RecordsBothClassesAndTheTypeLibrary) {
    const TempHomes homes;
    ASSERT_EQ(ControlLibrary::Get().RegisterServer(), TS_S_OK);

    const ComponentRegistry registry(homes.RegistryFile());
    const auto control = registry.FindClassByProgId("TESSALINE.TessalineCtrl.1");
    ASSERT_TRUE(control.has_value()) << registry.Error();
    EXPECT_EQ(control->clsid, kControlClsid);
    EXPECT_EQ(control->userTypeName, "Tessaline Control");
    EXPECT_EQ(control->libraryPath, LibraryPath());
    EXPECT_EQ(control->threadingModel, "Apartment");
    EXPECT_TRUE(control->control);
    EXPECT_FALSE(control->insertable);
    EXPECT_EQ(control->toolboxBitmap, 1);
    EXPECT_EQ(control->miscStatus, 131473u);
    EXPECT_EQ(control->typeLibId, kTypeLibId);
    EXPECT_EQ(control->typeLibVersion, "1.0");

    const auto page = registry.FindClass(kPropPageClsid);
    ASSERT_TRUE(page.has_value());
    EXPECT_EQ(page->progId, "TESSALINE.TessalinePropPage.1");
    EXPECT_EQ(page->userTypeName, "Tessaline Property Page");
    EXPECT_EQ(page->libraryPath, LibraryPath());
    EXPECT_EQ(page->threadingModel, "Apartment");
    EXPECT_FALSE(page->control);

    const auto lib = registry.FindTypeLib(kTypeLibId, "1.0");
    ASSERT_TRUE(lib.has_value());
    EXPECT_EQ(lib->name, "TESSALINELib");
    EXPECT_EQ(lib->helpString, "Tessaline ActiveX Control module");
    EXPECT_EQ(lib->helpFile, "Tessaline.hlp");
    EXPECT_EQ(lib->libraryPath, LibraryPath());

    // Registering again changes nothing.
    const auto once = RegistryBytes(homes);
    ASSERT_EQ(ControlLibrary::Get().RegisterServer(), TS_S_OK);
    EXPECT_EQ(RegistryBytes(homes), once);
}

TEST(Registration, UnregisteringRemovesExactlyWhatRegisteringAdded) {
    const TempHomes homes;
    ComponentRegistry registry(homes.RegistryFile());
    ClassRegistration other;
    other.clsid = "{11111111-2222-3333-4444-555555555555}";
    other.progId = "OTHER.Control.1";
    other.userTypeName = "Other";
    other.libraryPath = "/opt/other/libother.so";
    ASSERT_TRUE(registry.RegisterClass(other)) << registry.Error();
    const auto before = RegistryBytes(homes);
    ASSERT_TRUE(before.has_value());

    ASSERT_EQ(ControlLibrary::Get().RegisterServer(), TS_S_OK);
    EXPECT_NE(RegistryBytes(homes), before);
    ASSERT_EQ(ControlLibrary::Get().UnregisterServer(), TS_S_OK);
    EXPECT_EQ(RegistryBytes(homes), before);
    EXPECT_FALSE(registry.FindClassByProgId("TESSALINE.TessalineCtrl.1").has_value());
    EXPECT_FALSE(registry.FindClass(kPropPageClsid).has_value());
    EXPECT_FALSE(registry.FindTypeLib(kTypeLibId, "1.0").has_value());
    EXPECT_TRUE(registry.FindClassByProgId("OTHER.Control.1").has_value());

    // Unregistering what is not there is no failure.
    EXPECT_EQ(ControlLibrary::Get().UnregisterServer(), TS_S_OK);
    EXPECT_EQ(RegistryBytes(homes), before);
}

TEST(Registration, AnUnwritableRegistryFailsAtTheTypeLibrary) {
    const TempHomes homes;
    // The registry's folder cannot be made: its parent is a file.
    ASSERT_TRUE(ReplaceFileAtomically(homes.Root() / "config", std::string_view("x")).Ok());
    EXPECT_EQ(ControlLibrary::Get().RegisterServer(), TS_SELFREG_E_TYPELIB);
    EXPECT_EQ(ControlLibrary::Get().UnregisterServer(), TS_SELFREG_E_TYPELIB);
}

TEST(Registration, AHostCreatesTheRegisteredControlByProgId) {
    const TempHomes homes;
    ASSERT_EQ(ControlLibrary::Get().RegisterServer(), TS_S_OK);
    auto created = ControlHost::CreateByProgId("TESSALINE.TessalineCtrl.1");
    ASSERT_TRUE(created) << created.Reason();
    const std::unique_ptr<ControlHost> host = std::move(created).Value();
    int32_t dispid = 0;
    EXPECT_EQ(host->GetIDOfName("Upload", dispid), TS_S_OK);
    EXPECT_EQ(dispid, 4);
    TsVariant args[] = {I4(0), Str("THERMAL #15"), I4(1), I4(0), I4(0)};
    int32_t result = 0;
    EXPECT_EQ(host->InvokeI4(3, args, result), TS_S_OK);
    EXPECT_EQ(result, -5);
    EXPECT_EQ(host->MiscStatus(), 131473u);
}

TEST(ClassObject, IsFoundByClassIdentifierOrProgId) {
    const auto& lib = ControlLibrary::Get();
    for (const char* name :
         {"{D20B7BA2-F718-4DA7-8DE3-7A07C0B383A5}", "{d20b7ba2-f718-4da7-8de3-7a07c0b383a5}",
          "TESSALINE.TessalineCtrl.1"}) {
        TsClassFactory* factory = nullptr;
        ASSERT_EQ(lib.GetClassObject(name, &factory), TS_S_OK) << name;
        ASSERT_NE(factory, nullptr);
        TsControl* control = nullptr;
        EXPECT_EQ(factory->vtbl->CreateInstance(factory, &control), TS_S_OK);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->vtbl->Release(control), 0u);
        factory->vtbl->Release(factory);
    }
    for (const char* name : {kPropPageClsid, "TESSALINE.TessalinePropPage.1", "{D20B7BA2}", "",
                             "tessaline.tessalinectrl.1"}) {
        TsClassFactory* factory = reinterpret_cast<TsClassFactory*>(1);
        EXPECT_EQ(lib.GetClassObject(name, &factory), TS_CLASS_E_CLASSNOTAVAILABLE) << name;
        EXPECT_EQ(factory, nullptr);
    }
    EXPECT_EQ(lib.GetClassObject(nullptr, nullptr), TS_E_POINTER);
}

TEST(ClassObject, TheLibraryMayUnloadOnlyWhenNothingOfItIsAlive) {
    const auto& lib = ControlLibrary::Get();
    ASSERT_EQ(lib.CanUnloadNow(), TS_S_OK);

    TsClassFactory* factory = nullptr;
    ASSERT_EQ(lib.GetClassObject(kControlClsid, &factory), TS_S_OK);
    EXPECT_EQ(lib.CanUnloadNow(), TS_S_FALSE);
    TsControl* control = nullptr;
    ASSERT_EQ(factory->vtbl->CreateInstance(factory, &control), TS_S_OK);
    ASSERT_EQ(factory->vtbl->LockServer(factory, 1), TS_S_OK);
    factory->vtbl->Release(factory);
    EXPECT_EQ(lib.CanUnloadNow(), TS_S_FALSE); // the control and the lock

    EXPECT_EQ(control->vtbl->AddRef(control), 2u);
    EXPECT_EQ(control->vtbl->Release(control), 1u);
    EXPECT_EQ(control->vtbl->Release(control), 0u);
    EXPECT_EQ(lib.CanUnloadNow(), TS_S_FALSE); // the lock

    ASSERT_EQ(lib.GetClassObject(kControlClsid, &factory), TS_S_OK);
    ASSERT_EQ(factory->vtbl->LockServer(factory, 0), TS_S_OK);
    factory->vtbl->Release(factory);
    EXPECT_EQ(lib.CanUnloadNow(), TS_S_OK);
}

TEST(ClassObject, TheLibraryStaysLoadedAfterAHostClosesIt) {
    const TempHomes homes;
    // A host on a thread of its own: it prints (which brings in libcups and
    // its per-thread state), closes the library, and the thread ends.
    bool stillLoaded = false;
    std::thread host([&] {
        void* handle = ::dlopen(TESSALINE_CONTROL_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr);
        auto getClassObject =
            reinterpret_cast<TsDllGetClassObjectFn>(::dlsym(handle, "DllGetClassObject"));
        TsClassFactory* factory = nullptr;
        ASSERT_EQ(getClassObject(kControlClsid, &factory), TS_S_OK);
        TsControl* control = nullptr;
        ASSERT_EQ(factory->vtbl->CreateInstance(factory, &control), TS_S_OK);
        factory->vtbl->Release(factory);
        TsVariant args[] = {I4(0), Str("THERMAL #15"), I4(1), I4(0), I4(0)};
        TsVariant result{};
        EXPECT_EQ(control->vtbl->Invoke(control, 3, args, 5, &result), TS_S_OK);
        EXPECT_EQ(result.u.i4, -5);
        control->vtbl->Release(control);
        ::dlclose(handle);
        stillLoaded = ::dlopen(TESSALINE_CONTROL_LIBRARY, RTLD_NOW | RTLD_NOLOAD) != nullptr;
    });
    host.join();
    EXPECT_TRUE(stillLoaded);
}

} // namespace
} // namespace tessaline
