// SPDX-License-Identifier: MIT
// Drives Tessaline.exe from outside, as a user would through its windows:
// only window messages, the system's own dialogs and message boxes, and
// reading the program's controls. The program holds nothing for tests.
//
//   ProgramDriver run EXE LOGO1 LOGO2 SHOWN2  the whole round: title, two logos
//                                           through the file-open dialog, the
//                                           rows, a preview click, options,
//                                           Upload, Printout (all), Erase, Close;
//                                           LOGO2's image panel shows what the
//                                           bitmap SHOWN2 shows
//   ProgramDriver show EXE MARKER           starts the program, checks its title,
//                                           clicks the first row, writes
//                                           MARKER.ready and closes
//                                           the program once MARKER.done exists
//   ProgramDriver startup EXE RUNS          start-up to a painted window, RUNS times
//   ProgramDriver twice EXE                 a second copy started beside the first
//                                           brings the first forward and ends; the
//                                           first removes row 2 and closes
//   ProgramDriver nodriver EXE              the start with no THERMAL printer
//   ProgramDriver limit EXE                 a list of 255: Open file... refused
//   ProgramDriver printers EXE ADDRESS LOGO the "Printers" tab opened on ADDRESS
//                                           (--printer): its state and keys, LOGO
//                                           (wider than the paper) stored with Fit
//                                           and Floyd-Steinberg as L1, printed and
//                                           deleted, Delete all declined, then
//                                           stored as L2 and printed on every
//                                           receipt; the tab remembered
//   ProgramDriver printershow EXE ADDRESS LOGO MARKER
//                                           the tab on ADDRESS with LOGO's dots
//                                           shown, for a picture; MARKER as show
//
// The texts it expects follow the ANSI code page it runs under (949: Korean).
// Lines "ok"/"FAIL" per check; the last line is "RESULT: PASS" or "RESULT: FAIL".
#include "HostChecks.h"
#include "ProgramWindows.h"
#include "app/win32/MainWindowLayout.h"
#include "app/win32/PrintersPageLayout.h"

#include <algorithm>
#include <chrono>
#include <commctrl.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>
#include <windows.h>

using tessaline::Ctl;
using tessaline::PCtl;
using tessaline::hostcheck::Checks;
using namespace tessaline::driver;

namespace {

struct Texts {
    std::wstring title;
    std::wstring search;
    std::wstring height;
    std::wstring width;
};

Texts ExpectedTexts() {
    if (::GetACP() == 949) {
        return {Wide("오스트랜더 로고 유틸리티 Version 2.00"), Wide("파일 추가"),
                Wide("이미지 높이 : "), Wide("이미지 폭 : ")};
    }
    return {L"Ostrander Version 2.00", L"Open file...", L"Height : ", L"Width : "};
}

const std::wstring kUploadConfirm =
    L"Logo file is written in the NV image area of the device. Continue it?";
const std::wstring kUploadDone = L"Upload finished, and Writing of bit image completed.\r\n"
                                 L"Logo becomes available after the reset of a device.";
const std::wstring kEraseConfirm = L"NV image all Delete. Continue it?";
const std::wstring kEraseDone = L"Upload finished, and Cleaning of NV Image completed.\r\n"
                                L"Logo becomes available after the reset of a device.";
const std::wstring kPrintoutDone = L"Printout success.";
const std::wstring kRemoveConfirm = L"Do you want to remove all of the selection?";
const std::wstring kListFull = L"Don't read files any more.";

std::wstring FileTitle(const std::wstring& path) {
    return path.substr(path.find_last_of(L"\\/") + 1);
}

// Adds one file through the program's own file-open dialog, whose file
// types it hands back.
bool AddThroughDialog(Program& program, const std::wstring& path,
                      std::vector<std::wstring>* types = nullptr) {
    const int before = program.ListRowCount();
    program.Click(Ctl::cmdSearch);
    HWND dialog = program.WaitForDialog(L"#32770", 30000);
    if (dialog == nullptr || !TypeFileName(dialog, path)) {
        return false;
    }
    if (types != nullptr) {
        *types = FileTypes(dialog);
    }
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return WaitUntil(30000, [&] { return program.ListRowCount() == before + 1; });
}

// Answers the next message box after checking it; false when none came or it differed.
bool Answer(Checks& checks, Program& program, const std::wstring& title, const std::wstring& text,
            BoxIcon icon, int button, const std::string& name) {
    const std::optional<MessageBoxSeen> box = program.WaitForMessageBox(60000);
    if (!checks.Check(box.has_value(), name + ": message box shown")) {
        return false;
    }
    checks.Check(box->title == title, name + ": title \"" + Utf8(box->title) + "\"");
    checks.Check(box->text == text, name + ": text \"" + Utf8(box->text) + "\"");
    checks.Check(box->icon == icon, name + ": icon " + IconName(box->icon));
    ::PostMessageW(box->window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    return WaitUntil(30000, [&] { return !::IsWindow(box->window); });
}

// The progress window while a long call runs: its caption, and the bar's
// last maximum and value before it goes.
struct ProgressSeen {
    bool shown = false;
    std::wstring caption;
    int maximum = 0;
    int value = 0;
};

ProgressSeen WatchProgress(Program& program) {
    ProgressSeen seen;
    HWND window = nullptr;
    WaitUntil(60000, [&] {
        window = program.FindTopLevel(kProgressClass, false);
        return window != nullptr && ::IsWindowVisible(window);
    });
    if (window == nullptr) {
        return seen;
    }
    seen.shown = true;
    seen.caption = WindowText(window);
    HWND bar = ::GetDlgItem(window, kProBarId);
    while (::IsWindow(window)) {
        DWORD_PTR value = 0;
        if (::SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 1000, &value) != 0) {
            seen.value = static_cast<int>(value);
        }
        DWORD_PTR maximum = 0;
        if (::SendMessageTimeoutW(bar, PBM_GETRANGE, FALSE, 0, SMTO_ABORTIFHUNG, 1000, &maximum) !=
            0) {
            seen.maximum = static_cast<int>(maximum);
        }
        ::Sleep(20);
    }
    return seen;
}

int Run(const std::wstring& exe, const std::wstring& logo1, const std::wstring& logo2,
        const std::wstring& shown2) {
    Checks checks;
    const Texts texts = ExpectedTexts();
    Program program;
    if (!checks.Check(program.Start(exe), "the program starts and shows its window")) {
        return checks.Finish();
    }
    checks.Check(WindowText(program.Main()) == texts.title,
                 "title \"" + Utf8(WindowText(program.Main())) + "\"");
    checks.Check(program.Text(Ctl::cmdSearch) == texts.search,
                 "cmdSearch reads \"" + Utf8(program.Text(Ctl::cmdSearch)) + "\"");
    checks.Check(program.ControlShown(),
                 "the Tessaline control is in place with a window of its own");
    checks.Check(program.ListRowCount() == 0, "the list starts empty");
    checks.Check(!program.Enabled(Ctl::cmdUpload), "Upload starts disabled");

    std::vector<std::wstring> types;
    checks.Check(AddThroughDialog(program, logo1, &types), "first logo added through the dialog");
    checks.Check(types == std::vector<std::wstring>{L"Logo File (*.bmp)",
                                                    L"Images (*.bmp;*.png;*.jpg;*.jpeg;*.gif)"},
                 "the dialog's file types: " + Utf8(Join(types)));
    checks.Check(AddThroughDialog(program, logo2), "second logo added through the dialog");
    // The dialog's file titles; a 384 x 160 and a 100 x 50 logo.
    const std::vector<std::wstring> rows = program.ListRows();
    checks.Check(rows == std::vector<std::wstring>{L"1|" + FileTitle(logo1) + L"|7680",
                                                   L"2|" + FileTitle(logo2) + L"|728"},
                 "rows: " + Utf8(Join(rows)));
    checks.Check(program.Text(Ctl::lblFiles_0) == L"Logo files : 2 / 255",
                 "lblFiles reads \"" + Utf8(program.Text(Ctl::lblFiles_0)) + "\"");
    checks.Check(program.Text(Ctl::lblSize_0) == L"Logo size totoal : 8 / 250 KBytes",
                 "lblSize reads \"" + Utf8(program.Text(Ctl::lblSize_0)) + "\"");
    checks.Check(program.Enabled(Ctl::cmdUpload) && program.Enabled(Ctl::Slider1),
                 "Upload and the slider enabled with logos listed");

    program.ClickRow(1);
    checks.Check(
        WaitUntil(10000, [&] { return program.Text(Ctl::lblHeight) == texts.height + L"160"; }),
        "a click on row 1 shows its height: \"" + Utf8(program.Text(Ctl::lblHeight)) + "\"");
    checks.Check(program.Text(Ctl::lblWidth) == texts.width + L"384",
                 "and its width: \"" + Utf8(program.Text(Ctl::lblWidth)) + "\"");
    checks.Check(program.ImageSize(Ctl::imgLogo) == program.Pixels(3840, 1600),
                 "imgLogo is 10 twips a pixel of the logo");

    // Row 2 shows its picture, whatever its format, as the bitmap SHOWN2 would show.
    program.ClickRow(2);
    checks.Check(
        WaitUntil(10000, [&] { return program.Text(Ctl::lblHeight) == texts.height + L"50"; }) &&
            program.Text(Ctl::lblWidth) == texts.width + L"100",
        "a click on row 2 shows its size: \"" + Utf8(program.Text(Ctl::lblHeight)) + "\", \"" +
            Utf8(program.Text(Ctl::lblWidth)) + "\"");
    program.WaitUntilPainted(30000);
    const auto [width2, height2] = program.ImageSize(Ctl::imgLogo);
    const std::vector<uint32_t> expected2 = StretchedBitmapFile(shown2, width2, height2);
    const std::vector<uint32_t> shownPixels = ClientPixels(program.Control(Ctl::imgLogo));
    std::size_t same = 0;
    for (std::size_t i = 0; i < expected2.size() && i < shownPixels.size(); ++i) {
        same += (expected2[i] & 0xFFFFFF) == (shownPixels[i] & 0xFFFFFF) ? 1U : 0U;
    }
    checks.Check(!expected2.empty() && shownPixels.size() == expected2.size() &&
                     same == expected2.size(),
                 "imgLogo shows row 2's picture: " + std::to_string(same) + " of " +
                     std::to_string(expected2.size()) + " pixels as " + Utf8(FileTitle(shown2)));

    program.Click(Ctl::optImageMode_1);
    checks.Check(WaitUntil(10000, [&] { return program.Checked(Ctl::optImageMode_1); }) &&
                     !program.Checked(Ctl::optImageMode_0),
                 "Error Diffusion chosen");

    // The slider dragged from 5 to 9: the upload sends what it shows.
    checks.Check(program.SliderPosition() == 5, "the slider starts at 5");
    const bool dragged = program.DragSlider(9);
    checks.Check(dragged, "the slider dragged to " + std::to_string(program.SliderPosition()));

    // Upload: two files, so the progress window runs 0 .. 2 of 2.
    program.Click(Ctl::cmdUpload);
    if (Answer(checks, program, texts.title, kUploadConfirm, BoxIcon::None, IDYES,
               "upload confirmation")) {
        const ProgressSeen progress = WatchProgress(program);
        checks.Check(progress.shown && progress.caption == texts.title,
                     "upload: progress window captioned with the title");
        checks.Check(progress.maximum == 2 && progress.value == 2,
                     "upload: the bar ends at " + std::to_string(progress.value) + " of " +
                         std::to_string(progress.maximum));
        Answer(checks, program, texts.title, kUploadDone, BoxIcon::Information, IDOK,
               "upload finished");
    }

    // A selection that is no number is refused, and the box gets the keyboard again.
    program.Click(Ctl::optRange_1);
    program.SetText(Ctl::txtRange, L"1-2-3");
    program.Click(Ctl::cmdPrint);
    Answer(checks, program, texts.title, L"Type mismatch", BoxIcon::Exclamation, IDOK,
           "printout of 1-2-3");
    checks.Check(WaitUntil(5000, [&] { return program.Focus() == program.Control(Ctl::txtRange); }),
                 "printout of 1-2-3: the focus is in txtRange");

    // A selection the control refuses (a range that runs backwards) is the
    // window's own refusal, not a failure of the printer; nothing is sent.
    program.SetText(Ctl::txtRange, L"5-3");
    program.Click(Ctl::cmdPrint);
    Answer(checks, program, texts.title, L"Type mismatch", BoxIcon::Exclamation, IDOK,
           "printout of 5-3");
    checks.Check(WaitUntil(5000, [&] { return program.Focus() == program.Control(Ctl::txtRange); }),
                 "printout of 5-3: the focus is in txtRange");

    // Printout of every stored image, asked for as the selection 0.
    program.SetText(Ctl::txtRange, L" 0 ");
    program.Click(Ctl::cmdPrint);
    const ProgressSeen printing = WatchProgress(program);
    // The window goes as soon as the call returns: the last value seen is the driver's luck.
    checks.Check(printing.shown && printing.caption == texts.title && printing.maximum == 255 &&
                     printing.value > 0,
                 "printout: progress window captioned with the title, the bar moving in 255");
    Answer(checks, program, texts.title, kPrintoutDone, BoxIcon::Information, IDOK,
           "printout finished");

    program.Click(Ctl::Cmd_Erase);
    if (Answer(checks, program, L"Delete", kEraseConfirm, BoxIcon::None, IDYES,
               "erase confirmation")) {
        Answer(checks, program, texts.title, kEraseDone, BoxIcon::Information, IDOK,
               "erase finished");
    }

    checks.Check(program.ListRows() == rows, "the rows are unchanged after the printer commands");
    program.Click(Ctl::cmdClose);
    const std::optional<DWORD> exitCode = program.WaitForExit(30000);
    checks.Check(exitCode && *exitCode == 0, "Close ends the program with status 0");

    // The list is saved beside the program, in the ANSI code page with CR LF.
    const std::wstring folder = exe.substr(0, exe.find_last_of(L"\\/"));
    std::ifstream ini(std::filesystem::path(folder + L"\\CorvidoFiles.ini"), std::ios::binary);
    const std::string saved((std::istreambuf_iterator<char>(ini)),
                            std::istreambuf_iterator<char>());
    const std::string expected = "[LOGO]\r\nLogofile1=" + Ansi(logo1) + "|" +
                                 Ansi(FileTitle(logo1)) +
                                 "|7680|160|384\r\nLogofile2=" + Ansi(logo2) + "|" +
                                 Ansi(FileTitle(logo2)) + "|728|50|100\r\n";
    if (!checks.Check(saved == expected,
                      "CorvidoFiles.ini beside the program holds the two logos")) {
        std::printf("     expected %zu bytes:\n%s     found %zu bytes:\n%s", expected.size(),
                    expected.c_str(), saved.size(), saved.c_str());
    }
    return checks.Finish();
}

// Says MARKER.ready once the window is still, waits for MARKER.done (the
// picture taken), then closes the program by its Close button.
int HoldForPicture(Checks& checks, Program& program, const std::wstring& marker) {
    ::Sleep(500);
    std::ofstream(std::filesystem::path(marker + L".ready")).put('\n');
    WaitUntil(60000, [&] {
        return ::GetFileAttributesW((marker + L".done").c_str()) != INVALID_FILE_ATTRIBUTES;
    });
    program.Click(Ctl::cmdClose);
    const std::optional<DWORD> exitCode = program.WaitForExit(30000);
    checks.Check(exitCode && *exitCode == 0, "Close ends the program with status 0");
    return checks.Finish();
}

int Show(const std::wstring& exe, const std::wstring& marker) {
    Checks checks;
    Program program;
    if (!checks.Check(program.Start(exe), "the program starts and shows its window")) {
        return checks.Finish();
    }
    checks.Check(WindowText(program.Main()) == ExpectedTexts().title,
                 "title \"" + Utf8(WindowText(program.Main())) + "\"");
    if (program.ListRowCount() > 0) {
        program.WaitUntilPainted(30000);
        program.ClickRow(1);
        checks.Check(WaitUntil(10000, [&] { return program.Text(Ctl::lblHeight).size() > 10; }),
                     "a click on row 1 shows its size: \"" + Utf8(program.Text(Ctl::lblHeight)) +
                         "\"");
    }
    return HoldForPicture(checks, program, marker);
}

int Startup(const std::wstring& exe, int runs) {
    Checks checks;
    for (int run = 1; run <= runs; ++run) {
        Program program;
        const auto start = std::chrono::steady_clock::now();
        const bool started = program.Start(exe);
        const auto shown = std::chrono::steady_clock::now();
        const bool painted = started && program.WaitUntilPainted(60000);
        const auto done = std::chrono::steady_clock::now();
        const auto ms = [&](auto t) {
            return std::chrono::duration_cast<std::chrono::milliseconds>(t - start).count();
        };
        std::printf("run %d: %d rows, window shown after %lld ms, painted after %lld ms\n", run,
                    started ? program.ListRowCount() : 0, static_cast<long long>(ms(shown)),
                    static_cast<long long>(ms(done)));
        checks.Check(painted, "run " + std::to_string(run) + ": the window painted");
        program.Click(Ctl::cmdClose);
        program.WaitForExit(30000);
    }
    return checks.Finish();
}

// Two copies at once: the second brings the first's window forward and ends
// without touching the list; the first removes row 2 and saves what it shows.
int Twice(const std::wstring& exe) {
    Checks checks;
    Program program;
    if (!checks.Check(program.Start(exe), "the first copy starts and shows its window") ||
        !checks.Check(program.WaitUntilPainted(30000), "the first copy's window painted")) {
        return checks.Finish();
    }
    const std::vector<std::wstring> rows = program.ListRows();
    checks.Check(rows.size() == 2, "the first copy lists two logos: " + Utf8(Join(rows)));
    const std::optional<DWORD> second = RunToEnd(exe, 30000);
    checks.Check(second && *second == 0, "the second copy ends with status 0");
    DWORD foreground = 0;
    checks.Check(WaitUntil(5000,
                           [&] {
                               ::GetWindowThreadProcessId(::GetForegroundWindow(), &foreground);
                               return foreground == program.ProcessId();
                           }),
                 "the first copy's window is brought forward");
    checks.Check(!program.WaitForExit(0).has_value(), "the first copy still runs");

    program.ClickRow(2);
    program.Click(Ctl::cmdRemove);
    Answer(checks, program, ExpectedTexts().title, kRemoveConfirm, BoxIcon::None, IDYES, "remove");
    checks.Check(WaitUntil(10000, [&] { return program.ListRowCount() == 1; }),
                 "Remove leaves one row");
    program.Click(Ctl::cmdClose);
    const std::optional<DWORD> exitCode = program.WaitForExit(30000);
    checks.Check(exitCode && *exitCode == 0, "Close ends the first copy with status 0");
    return checks.Finish();
}

// No THERMAL printer installed: the message, the window's commands off but
// Close, and the list neither read nor written.
int NoDriver(const std::wstring& exe) {
    Checks checks;
    Program program;
    // The message comes before the window shows.
    if (!checks.Check(program.Start(exe, false), "the program starts")) {
        return checks.Finish();
    }
    const bool korean = ::GetACP() == 949;
    const std::wstring text =
        korean ? Wide("설치된 프린터 드라이버가 없습니다.\r\n프린터 드라이버를 먼저 설치해 "
                      "주십시오. !!!")
               : L"Installed Printer Driver not Exist\r\nPlease install Printer Driver !!!";
    Answer(checks, program, L"Tessaline", text, BoxIcon::None, IDOK, "no printer");
    if (!checks.Check(program.WaitForMain(30000), "the window shows after the message")) {
        return checks.Finish();
    }
    for (Ctl control : {Ctl::cmdSearch, Ctl::cmdRemove, Ctl::cmdUpload, Ctl::cmdPrint,
                        Ctl::Cmd_Erase, Ctl::ListView_0}) {
        checks.Check(!program.Enabled(control), "a command is off without a printer");
    }
    checks.Check(program.Enabled(Ctl::cmdClose), "Close stays on");
    checks.Check(program.ListRowCount() == 0, "no list is shown");
    program.Click(Ctl::cmdClose);
    const std::optional<DWORD> exitCode = program.WaitForExit(30000);
    checks.Check(exitCode && *exitCode == 0, "Close ends the program with status 0");
    return checks.Finish();
}

// A list at its 255 logos: Open file... says so and opens no dialog.
int Limit(const std::wstring& exe) {
    Checks checks;
    Program program;
    if (!checks.Check(program.Start(exe), "the program starts and shows its window")) {
        return checks.Finish();
    }
    const Texts texts = ExpectedTexts();
    checks.Check(program.ListRowCount() == 255,
                 "the list holds " + std::to_string(program.ListRowCount()) + " logos");
    checks.Check(program.Text(Ctl::lblFiles_0) == L"Logo files : 255 / 255",
                 "lblFiles reads \"" + Utf8(program.Text(Ctl::lblFiles_0)) + "\"");
    program.Click(Ctl::cmdSearch);
    Answer(checks, program, texts.title, kListFull, BoxIcon::Exclamation, IDOK, "the 256th logo");
    checks.Check(program.WaitForDialog(L"#32770", 2000) == nullptr, "no file dialog opens");
    checks.Check(program.ListRowCount() == 255, "the list still holds 255 logos");
    program.Click(Ctl::cmdClose);
    const std::optional<DWORD> exitCode = program.WaitForExit(30000);
    checks.Check(exitCode && *exitCode == 0, "Close ends the program with status 0");
    return checks.Finish();
}

// The state line of a printer that is ready, in the page's language.
std::wstring ReadyText() {
    return ::GetACP() == 949 ? Wide("상태 : 준비됨") : std::wstring(L"State : ready");
}

// Waits until the page's work line reads `text`; says what it read.
bool WorkSays(Checks& checks, Program& program, const std::wstring& text, DWORD milliseconds,
              const std::string& name) {
    const bool said = WaitUntil(milliseconds, [&] { return program.Text(PCtl::lblWork) == text; });
    return checks.Check(said, name + ": \"" + Utf8(program.Text(PCtl::lblWork)) + "\"");
}

// Chooses LOGO through the page's own file dialog, whose file types it checks.
bool OpenLogo(Checks& checks, Program& program, const std::wstring& logo) {
    program.Click(PCtl::cmdBrowse);
    HWND dialog = program.WaitForDialog(L"#32770", 30000);
    if (!checks.Check(dialog != nullptr && TypeFileName(dialog, logo),
                      "Open logo... shows the file dialog")) {
        return false;
    }
    const std::vector<std::wstring> types = FileTypes(dialog);
    checks.Check(types ==
                     std::vector<std::wstring>{L"Logo pictures (*.bmp;*.png;*.jpg;*.jpeg;*.gif)",
                                               L"All files (*.*)"},
                 "the dialog's file types: " + Utf8(Join(types)));
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return checks.Check(WaitUntil(30000, [&] { return program.Text(PCtl::txtLogoFile) == logo; }),
                        "the logo file shown: \"" + Utf8(program.Text(PCtl::txtLogoFile)) + "\"");
}

// Started on ADDRESS: the tab shows, the printer answers, its keys are listed.
bool StartOnPrinter(Checks& checks, Program& program, const std::wstring& exe,
                    const std::wstring& address) {
    const auto started = std::chrono::steady_clock::now();
    if (!checks.Check(program.Start(exe, true, L"--printer " + address),
                      "the program starts with --printer and shows its window")) {
        return false;
    }
    checks.Check(program.CurrentTab() == 1 && program.Visible(PCtl::lstKeys) &&
                     !program.Visible(Ctl::ListView_0),
                 "the window opens on the Printers tab, the first page hidden");
    checks.Check(program.Text(PCtl::cboPrinterAddress) == address,
                 "the printer box holds " + Utf8(program.Text(PCtl::cboPrinterAddress)));
    // From the start to the printer's answer shown: a figure, not a limit.
    const bool answered =
        WaitUntil(30000, [&] { return program.Text(PCtl::lblReady) == ReadyText(); });
    std::printf("the printer's state shown %lld ms after the program was started\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - started)
                                           .count()));
    return checks.Check(answered, "the printer's state is shown: \"" +
                                      Utf8(program.Text(PCtl::lblReady)) + "\"");
}

int Printers(const std::wstring& exe, const std::wstring& address, const std::wstring& logo) {
    Checks checks;
    Program program;
    if (!StartOnPrinter(checks, program, exe, address)) {
        return checks.Finish();
    }
    checks.Check(program.Text(PCtl::lblMaker) == L"Maker : Tessaline" &&
                     program.Text(PCtl::lblModel).rfind(L"Model : Virtual", 0) == 0 &&
                     program.Text(PCtl::lblSerial) == L"Serial number : SHOP",
                 "what it is: " + Utf8(program.Text(PCtl::lblMaker)) + ", " +
                     Utf8(program.Text(PCtl::lblModel)) + ", " +
                     Utf8(program.Text(PCtl::lblSerial)));
    checks.Check(program.Text(PCtl::lblMemory).find(L" bytes used, ") != std::wstring::npos,
                 "the memory: \"" + Utf8(program.Text(PCtl::lblMemory)) + "\"");
    checks.Check(program.Text(PCtl::lblKeysCaption) ==
                         L"Stored &graphics : The printer holds no NV graphics." &&
                     program.KeyRows().empty(),
                 "its keys: \"" + Utf8(program.Text(PCtl::lblKeysCaption)) + "\"");
    checks.Check(!program.Enabled(PCtl::cmdStore) && !program.Enabled(PCtl::cmdDeleteAll) &&
                     program.Enabled(PCtl::cmdTestReceipt) && program.Enabled(PCtl::cmdRefresh),
                 "Store and Delete all off, Refresh and the test receipt on");
    // Enter in the printer box: a malformed address is refused with its reason,
    // the address typed again is asked again.
    HWND typing = ::GetWindow(program.Control(PCtl::cboPrinterAddress), GW_CHILD);
    const auto typeAndEnter = [&](const std::wstring& text) {
        program.SetText(PCtl::cboPrinterAddress, text);
        // The window comes forward again after a message box before a click reaches it.
        WaitUntil(5000, [&] { return ::GetForegroundWindow() == program.Main(); });
        for (int tries = 0; tries < 5 && program.Focus() != typing; ++tries) {
            program.ClickOn(typing);
            WaitUntil(1000, [&] { return program.Focus() == typing; });
        }
        ::PostMessageW(typing, WM_KEYDOWN, VK_RETURN, 0);
    };
    typeAndEnter(L"127.0.0.1:99999");
    if (const std::optional<MessageBoxSeen> box = program.WaitForMessageBox(30000);
        checks.Check(box.has_value(), "a malformed address typed: refused in a message box")) {
        checks.Check(box->title == ExpectedTexts().title &&
                         box->text.find(L"99999") != std::wstring::npos &&
                         box->text == program.Text(PCtl::lblWork),
                     "with its reason, on the work line too: \"" + Utf8(box->text) + "\"");
        ::PostMessageW(box->window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        WaitUntil(30000, [&] { return !::IsWindow(box->window); });
    }
    typeAndEnter(address);
    checks.Check(WaitUntil(30000, [&] { return program.Text(PCtl::lblWork) == L"ready"; }),
                 "the address typed and Enter: asked again, \"" +
                     Utf8(program.Text(PCtl::lblWork)) + "\"");
    // "Find printers..." looks where the check's settings say (loopback, at
    // the served printer's port) and offers what answered.
    program.Click(PCtl::cmdFindPrinters);
    const bool found = WaitUntil(
        30000, [&] { return program.Text(PCtl::lblWork).rfind(L"Found 1: " + address, 0) == 0; });
    checks.Check(found, "Find printers... offers the served printer: \"" +
                            Utf8(program.Text(PCtl::lblWork)) + "\"");

    // The keyboard: Tab goes through every control that is on, in the page's
    // order, and the mnemonics reach the controls their captions name.
    const auto pageControlOf = [&](HWND window) -> std::optional<PCtl> {
        for (HWND up = window; up != nullptr; up = ::GetParent(up)) {
            const int id = ::GetDlgCtrlID(up);
            if (id >= PrintersPageControlId(PCtl::fraPrinter) &&
                id <= PrintersPageControlId(PCtl::barWork)) {
                return static_cast<PCtl>(id - PrintersPageControlId(PCtl::fraPrinter));
            }
        }
        return std::nullopt;
    };
    std::vector<PCtl> visited;
    for (int presses = 0; presses < 30; ++presses) {
        HWND focus = program.Focus();
        const std::optional<PCtl> on = pageControlOf(focus);
        if (on && (visited.empty() || visited.back() != *on)) {
            if (!visited.empty() && *on == visited.front()) {
                break; // round once
            }
            visited.push_back(*on);
        }
        ::PostMessageW(focus, WM_KEYDOWN, VK_TAB, 0);
        WaitUntil(1000, [&] { return program.Focus() != focus; });
    }
    const std::vector<PCtl> onNow{PCtl::cboPrinterAddress,
                                  PCtl::cmdRefresh,
                                  PCtl::cmdFindPrinters,
                                  PCtl::lstKeys,
                                  PCtl::txtLogoFile,
                                  PCtl::cmdBrowse,
                                  PCtl::txtKey,
                                  PCtl::cboDither,
                                  PCtl::chkFit,
                                  PCtl::sldThreshold,
                                  PCtl::cboPaperWidth,
                                  PCtl::cboZoom,
                                  PCtl::picPreview,
                                  PCtl::cmdTestReceipt};
    // Wherever it began, once round.
    const auto first = std::find(visited.begin(), visited.end(), onNow.front());
    if (first != visited.end()) {
        std::rotate(visited.begin(), first, visited.end());
    }
    std::string names;
    for (PCtl c : visited) {
        names += std::string(names.empty() ? "" : ", ") + tessaline::PageControlName(c);
    }
    checks.Check(visited == onNow, "Tab goes through: " + names);
    for (const auto& [key, control] : {std::pair<wchar_t, PCtl>{L'k', PCtl::txtKey},
                                       {L'g', PCtl::lstKeys},
                                       {L'z', PCtl::cboZoom},
                                       {L'r', PCtl::cboPrinterAddress}}) {
        ::PostMessageW(program.Focus(), WM_SYSCHAR, key, 1 << 29);
        checks.Check(WaitUntil(5000, [&] { return pageControlOf(program.Focus()) == control; }),
                     std::string("Alt+") + static_cast<char>(key) + " reaches " +
                         tessaline::PageControlName(control));
    }

    // Refresh: from the click to the state shown, a figure, not a limit.
    program.SetText(PCtl::lblWork, L"");
    const auto asked = std::chrono::steady_clock::now();
    program.Click(PCtl::cmdRefresh);
    const bool refreshed =
        WaitUntil(30000, [&] { return program.Text(PCtl::lblWork) == L"ready"; });
    checks.Check(refreshed, "Refresh asks again: \"" + Utf8(program.Text(PCtl::lblWork)) + "\"");
    std::printf("Refresh: the printer's state shown %lld ms after the click\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - asked)
                                           .count()));

    // The logo: wider than the paper, so Fit starts on; Floyd-Steinberg.
    if (!OpenLogo(checks, program, logo)) {
        return checks.Finish();
    }
    program.Choose(PCtl::cboDither, 2);
    program.SetText(PCtl::txtKey, L"L1");
    const bool free =
        WaitUntil(5000, [&] { return program.Text(PCtl::lblKeyCheck) == L"Key L1 is free."; });
    checks.Check(free,
                 "the key checked as typed: \"" + Utf8(program.Text(PCtl::lblKeyCheck)) + "\"");
    const std::wstring fitted = L"576 x 115 dots, 8,280 bytes; fitted from 800 x 160";
    const bool fit = WaitUntil(30000, [&] {
        return program.Text(PCtl::lblPreviewInfo) == fitted && program.Checked(PCtl::chkFit);
    });
    checks.Check(fit, "Fit on by itself, the dots fitted: \"" +
                          Utf8(program.Text(PCtl::lblPreviewInfo)) + "\"");
    // Fit off: too wide for the paper, Store refused; on again.
    program.Click(PCtl::chkFit);
    const std::wstring tooWide = L"800 x 160 dots, 16,000 bytes\nThe logo is 800 dots wide and the "
                                 L"paper 576: turn on \"Fit to paper\".";
    const bool refused = WaitUntil(30000, [&] {
        return program.Text(PCtl::lblPreviewInfo) == tooWide && !program.Enabled(PCtl::cmdStore);
    });
    checks.Check(refused,
                 "Fit off: \"" + Utf8(program.Text(PCtl::lblPreviewInfo)) + "\", Store off");
    program.Click(PCtl::chkFit);
    checks.Check(WaitUntil(30000,
                           [&] {
                               return program.Text(PCtl::lblPreviewInfo) == fitted &&
                                      program.Enabled(PCtl::cmdStore);
                           }),
                 "Fit on again: Store on");

    // The zoom: at its fit the whole width shows; at 1:1 and 2:1 the preview scrolls.
    const auto scrollsAcross = [&] {
        return (::GetWindowLongW(program.Control(PCtl::picPreview), GWL_STYLE) & WS_HSCROLL) != 0;
    };
    checks.Check(!scrollsAcross(), "Fit: the preview shows the paper's whole width");
    for (const int zoom : {1, 2}) {
        program.Choose(PCtl::cboZoom, zoom);
        checks.Check(WaitUntil(5000, scrollsAcross),
                     "zoom " + std::to_string(zoom) + ":1: the preview scrolls across");
    }
    program.Choose(PCtl::cboZoom, 0);
    checks.Check(WaitUntil(5000, [&] { return !scrollsAcross(); }), "Fit again: no scrolling");

    program.Click(PCtl::cmdStore);
    WorkSays(checks, program, L"Stored L1 on " + address + L": the printer's key list has it.",
             60000, "Store");
    const std::vector<std::wstring> rows = program.KeyRows();
    checks.Check(rows == std::vector<std::wstring>{L"L1|576 x 115 dots, 8,280 bytes"},
                 "the key list: " + Utf8(Join(rows)));
    program.Click(PCtl::cmdPrintGraphic);
    WorkSays(checks, program, L"Printed L1.", 60000, "Print");
    program.Click(PCtl::cmdTestReceipt);
    WorkSays(checks, program, L"The test receipt was sent, not verified.", 60000, "Test receipt");

    // Delete all asks first; No keeps everything.
    program.Click(PCtl::cmdDeleteAll);
    Answer(checks, program, ExpectedTexts().title,
           L"Delete every NV graphic stored on " + address + L"? This cannot be undone.",
           BoxIcon::Exclamation, IDNO, "Delete all");
    ::Sleep(300);
    checks.Check(program.KeyRows() == rows, "Delete all declined: the key list unchanged");

    program.Click(PCtl::cmdDeleteGraphic);
    WorkSays(checks, program, L"Deleted L1.", 60000, "Delete");
    checks.Check(program.KeyRows().empty(), "the key list is empty again");

    // Stored again as L2, and printed on every receipt by the printer itself.
    program.SetText(PCtl::txtKey, L"L2");
    checks.Check(WaitUntil(5000, [&] { return program.Enabled(PCtl::cmdStore); }),
                 "Store on for L2");
    program.Click(PCtl::cmdStore);
    WorkSays(checks, program, L"Stored L2 on " + address + L": the printer's key list has it.",
             60000, "Store L2");
    checks.Check(WaitUntil(5000, [&] { return program.Enabled(PCtl::chkAutoLogo); }) &&
                     !program.Checked(PCtl::chkAutoLogo),
                 "Print this logo on every receipt: on, not ticked");
    program.Click(PCtl::chkAutoLogo);
    WorkSays(checks, program, L"Prints by itself: L2,,center", 60000, "every receipt");
    checks.Check(program.Checked(PCtl::chkAutoLogo), "the box is ticked");

    // A larger window gives the preview the room, and is kept.
    const auto clientSize = [](HWND window) {
        RECT client{};
        ::GetClientRect(window, &client);
        return std::pair<int, int>{client.right, client.bottom};
    };
    const auto [previewWidth, previewHeight] = clientSize(program.Control(PCtl::picPreview));
    RECT frame{};
    ::GetWindowRect(program.Main(), &frame);
    ::SetWindowPos(program.Main(), nullptr, 0, 0, frame.right - frame.left + 120,
                   frame.bottom - frame.top + 90, SWP_NOMOVE | SWP_NOZORDER);
    checks.Check(WaitUntil(5000,
                           [&] {
                               return clientSize(program.Control(PCtl::picPreview)) ==
                                      std::pair<int, int>{previewWidth + 120, previewHeight + 90};
                           }),
                 "a larger window: the preview takes the room");
    const std::pair<int, int> larger = clientSize(program.Main());

    program.Click(Ctl::cmdClose);
    const std::optional<DWORD> exitCode = program.WaitForExit(30000);
    checks.Check(exitCode && *exitCode == 0, "Close ends the program with status 0");

    // Started again without a printer, the window comes back on its last tab.
    Program again;
    if (checks.Check(again.Start(exe), "the program starts again")) {
        checks.Check(again.CurrentTab() == 1 && again.Visible(PCtl::lstKeys),
                     "it opens on the Printers tab it was closed on");
        checks.Check(clientSize(again.Main()) == larger, "and at the size it was closed at");
        // The left arrow on the tabs goes back to the first page, which shows again.
        ::PostMessageW(again.Control(Ctl::SSTab), WM_KEYDOWN, VK_LEFT, 0);
        checks.Check(WaitUntil(10000,
                               [&] {
                                   return again.CurrentTab() == 0 &&
                                          again.Visible(Ctl::ListView_0) &&
                                          !again.Visible(PCtl::lstKeys);
                               }),
                     "the left arrow shows the first page again");
        // Alt+P, the tab's mnemonic, chooses it again; the left arrow goes back.
        ::PostMessageW(again.Main(), WM_SYSCHAR, L'p', 1 << 29);
        checks.Check(
            WaitUntil(10000,
                      [&] { return again.CurrentTab() == 1 && again.Visible(PCtl::lstKeys); }),
            "Alt+P chooses the Printers tab");
        ::PostMessageW(again.Control(Ctl::SSTab), WM_KEYDOWN, VK_LEFT, 0);
        WaitUntil(10000, [&] { return again.CurrentTab() == 0; });
        again.Click(Ctl::cmdClose);
        checks.Check(again.WaitForExit(30000).has_value(), "and closes");
    }
    return checks.Finish();
}

int ShowPrinters(const std::wstring& exe, const std::wstring& address, const std::wstring& logo,
                 const std::wstring& marker) {
    Checks checks;
    Program program;
    if (StartOnPrinter(checks, program, exe, address) && OpenLogo(checks, program, logo)) {
        program.SetText(PCtl::txtKey, L"L3");
        checks.Check(WaitUntil(30000, [&] { return program.Enabled(PCtl::cmdStore); }),
                     "the logo's dots shown, Store on");
    }
    program.WaitUntilPainted(30000);
    return HoldForPicture(checks, program, marker);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"run" && argc == 6) {
        return Run(argv[2], argv[3], argv[4], argv[5]);
    }
    if (mode == L"show" && argc == 4) {
        return Show(argv[2], argv[3]);
    }
    if (mode == L"startup" && argc == 4) {
        return Startup(argv[2], _wtoi(argv[3]));
    }
    if (argc == 3 && mode == L"twice") {
        return Twice(argv[2]);
    }
    if (argc == 3 && mode == L"nodriver") {
        return NoDriver(argv[2]);
    }
    if (argc == 3 && mode == L"limit") {
        return Limit(argv[2]);
    }
    if (argc == 5 && mode == L"printers") {
        return Printers(argv[2], argv[3], argv[4]);
    }
    if (argc == 6 && mode == L"printershow") {
        return ShowPrinters(argv[2], argv[3], argv[4], argv[5]);
    }
    std::fprintf(stderr, "usage: ProgramDriver run EXE LOGO1 LOGO2 SHOWN2 | show EXE MARKER | "
                         "startup EXE RUNS | twice EXE | nodriver EXE | limit EXE | "
                         "printers EXE ADDRESS LOGO | printershow EXE ADDRESS LOGO MARKER\n");
    return 2;
}
