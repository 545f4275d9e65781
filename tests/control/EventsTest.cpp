// SPDX-License-Identifier: MIT
// Progress events, calls made from inside them, and the control's one message.

#include "VirtualPrinterFixture.h"

#include <filesystem>
#include <string>
#include <utility>

namespace tessaline {
namespace {

namespace fs = std::filesystem;
using namespace test;

class Events : public WithVirtualPrinter {
protected:
    std::string TwoLogos() { return Logo("a.bmp", 8, 8) + "|" + Logo("b.bmp", 16, 8) + "|"; }

    int32_t Upload(const Control& on, const std::string& list) {
        return on.InvokeI4(4, {I4(0), Str(kQueue), Str(list.c_str()), I4(0), I4(5)});
    }

    Control control;
};

TEST_F(Events, ProgressReachesEverySinkInTurnOncePerImage) {
    std::vector<std::pair<char, int32_t>> seen;
    Sink first{[&](int32_t dispid, const TsVariant* args, uint32_t argc) {
        ASSERT_EQ(dispid, 1);
        ASSERT_EQ(argc, 1u);
        ASSERT_EQ(args[0].vt, TS_VT_I4);
        seen.emplace_back('a', args[0].u.i4);
    }};
    Sink second{
        [&](int32_t, const TsVariant* args, uint32_t) { seen.emplace_back('b', args[0].u.i4); }};
    TsEventSink a = first.Abi();
    TsEventSink b = second.Abi();
    uint32_t cookieA = 0;
    uint32_t cookieB = 0;
    ASSERT_EQ(control->Advise(control.get(), &a, &cookieA), TS_S_OK);
    ASSERT_EQ(control->Advise(control.get(), &b, &cookieB), TS_S_OK);
    EXPECT_EQ(cookieA, 1u);
    EXPECT_EQ(cookieB, 2u);

    EXPECT_EQ(Upload(control, TwoLogos()), 0);
    EXPECT_EQ(seen,
              (std::vector<std::pair<char, int32_t>>{{'a', 1}, {'b', 1}, {'a', 2}, {'b', 2}}));

    // Disconnected sinks hear nothing more; a cookie works once.
    EXPECT_EQ(control->Unadvise(control.get(), cookieA), TS_S_OK);
    EXPECT_EQ(control->Unadvise(control.get(), cookieA), TS_CONNECT_E_NOCONNECTION);
    EXPECT_EQ(control->Unadvise(control.get(), 99), TS_CONNECT_E_NOCONNECTION);
    seen.clear();
    EXPECT_EQ(Upload(control, TwoLogos()), 0);
    EXPECT_EQ(seen, (std::vector<std::pair<char, int32_t>>{{'b', 1}, {'b', 2}}));
}

TEST_F(Events, PrintAllRaisesProgressForEveryNumberAndARangeNone) {
    std::vector<int32_t> seen;
    Sink sink{[&](int32_t, const TsVariant* args, uint32_t) { seen.push_back(args[0].u.i4); }};
    TsEventSink abi = sink.Abi();
    uint32_t cookie = 0;
    ASSERT_EQ(control->Advise(control.get(), &abi, &cookie), TS_S_OK);

    EXPECT_EQ(control.InvokeI4(3, {I4(0), Str(kQueue), I4(0), I4(0), I4(0)}), 0);
    ASSERT_EQ(seen.size(), 255u);
    for (int32_t j = 1; j <= 255; ++j) {
        EXPECT_EQ(seen[static_cast<size_t>(j - 1)], j);
    }
    seen.clear();
    EXPECT_EQ(control.InvokeI4(3, {I4(0), Str(kQueue), I4(1), I4(0), I4(3)}), 0);
    EXPECT_TRUE(seen.empty());
}

TEST_F(Events, UploadOrPrintFromInsideAProgressHandlerIsRefusedAndSendsNothing) {
    const std::string list = TwoLogos();
    // The job a plain upload produces, for comparison.
    EXPECT_EQ(Upload(control, list), 0);
    const std::vector<uint8_t> plain = Job(1);

    std::vector<int32_t> nested;
    int32_t bits = 0;
    int32_t height = 0;
    int32_t width = 0;
    const std::string logo = list.substr(0, list.find('|'));
    Sink sink{[&](int32_t, const TsVariant*, uint32_t) {
        nested.push_back(Upload(control, list));
        nested.push_back(control.InvokeI4(3, {I4(0), Str(kQueue), I4(1), I4(0), I4(0)}));
        nested.push_back(control.InvokeI4(3, {I4(3), Str(kQueue), I4(0), I4(0), I4(0)}));
        nested.push_back(
            control.InvokeI4(6, {Str(kQueue), Str("A1"), Str(logo.c_str()), I4(0), I4(5)}));
        // What does not use the printer still works.
        nested.push_back(
            control.InvokeI4(1, {Str(logo.c_str()), RefI4(&bits), RefI4(&height), RefI4(&width)}));
    }};
    TsEventSink abi = sink.Abi();
    uint32_t cookie = 0;
    ASSERT_EQ(control->Advise(control.get(), &abi, &cookie), TS_S_OK);

    EXPECT_EQ(Upload(control, list), 0);
    EXPECT_EQ(nested, (std::vector<int32_t>{-2, -2, -2, -2, 0, -2, -2, -2, -2, 0}));
    EXPECT_EQ(width, 8);
    // One more job, identical to the plain one: the nested calls neither cut
    // into it nor spooled anything of their own.
    EXPECT_EQ(Jobs(), (std::vector<uint32_t>{1, 2}));
    EXPECT_EQ(Job(2), plain);

    // Once the upload is over, the channel is free again.
    EXPECT_EQ(control->Unadvise(control.get(), cookie), TS_S_OK);
    EXPECT_EQ(control.InvokeI4(3, {I4(0), Str(kQueue), I4(1), I4(0), I4(0)}), 0);
}

TEST_F(Events, AnotherControlMayPrintFromInsideAHandler) {
    const Control other;
    std::vector<int32_t> nested;
    Sink sink{[&](int32_t, const TsVariant*, uint32_t) {
        nested.push_back(other.InvokeI4(3, {I4(0), Str(kQueue), I4(7), I4(0), I4(0)}));
    }};
    TsEventSink abi = sink.Abi();
    uint32_t cookie = 0;
    ASSERT_EQ(control->Advise(control.get(), &abi, &cookie), TS_S_OK);
    EXPECT_EQ(Upload(control, Logo("a.bmp", 8, 8) + "|"), 0);
    EXPECT_EQ(nested, (std::vector<int32_t>{0}));
    EXPECT_EQ(Jobs().size(), 2u);
}

TEST_F(Events, AHandlerThatReleasesTheControlDoesNotPullItAwayMidCall) {
    TsClassFactory* factory = nullptr;
    ASSERT_EQ(ControlLibrary::Get().GetClassObject(kControlClsid, &factory), TS_S_OK);
    TsControl* own = nullptr;
    ASSERT_EQ(factory->vtbl->CreateInstance(factory, &own), TS_S_OK);
    factory->vtbl->Release(factory);

    int events = 0;
    Sink sink{[&](int32_t, const TsVariant*, uint32_t) {
        if (events++ == 0) {
            own->vtbl->Release(own);
        }
    }};
    TsEventSink abi = sink.Abi();
    uint32_t cookie = 0;
    ASSERT_EQ(own->vtbl->Advise(own, &abi, &cookie), TS_S_OK);
    const std::string list = TwoLogos();
    TsVariant args[5] = {I4(0), Str(kQueue), Str(list.c_str()), I4(0), I4(5)};
    TsVariant result{};
    EXPECT_EQ(own->vtbl->Invoke(own, 4, args, 5, &result), TS_S_OK);
    EXPECT_EQ(result.u.i4, 0);
    EXPECT_EQ(events, 2);
}

struct Box {
    std::string text;
    std::string caption;
    uint32_t flags = 99;
    int shown = 0;
};

int32_t RecordBox(void* context, const char* text, const char* caption, uint32_t flags) {
    auto* box = static_cast<Box*>(context);
    box->text = text;
    box->caption = caption;
    box->flags = flags;
    ++box->shown;
    return TS_IDOK;
}

TEST_F(Events, AFailedPrinterEnumerationGoesToTheHostsMessageBox) {
    // The virtual printers' folder is a file: their enumeration fails.
    fs::remove_all(homes.DataHome() / "printers");
    ASSERT_TRUE(WriteFile((homes.DataHome() / "printers").string(), {'x'}));

    Box box;
    const TsHostSite site{&box, RecordBox};
    ASSERT_EQ(control->SetHostSite(control.get(), &site), TS_S_OK);
    EXPECT_EQ(control.InvokeI4(3, {I4(0), Str(kQueue), I4(1), I4(0), I4(0)}), -5);
    EXPECT_EQ(box.shown, 1);
    EXPECT_EQ(box.text, "EnumPrinters() failed");
    EXPECT_EQ(box.caption, "EnumPrinters() Error");
    EXPECT_EQ(box.flags, TS_MB_OK);

    // Without a site, or with one that has no message box, it goes to standard error.
    const TsHostSite noBox{&box, nullptr};
    for (const TsHostSite* without : {static_cast<const TsHostSite*>(nullptr), &noBox}) {
        ASSERT_EQ(control->SetHostSite(control.get(), without), TS_S_OK);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(control.InvokeI4(4, {I4(0), Str(kQueue), Str("a|"), I4(0), I4(5)}), -5);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(),
                  "EnumPrinters() Error: EnumPrinters() failed\n");
    }
    EXPECT_EQ(box.shown, 1);
}

} // namespace
} // namespace tessaline
