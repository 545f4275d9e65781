// SPDX-License-Identifier: MIT
// Times the program's window: start-up to the first painted window with 255
// listed logos, one preview refresh of a 576 x 648 logo, and a print-all with
// its progress window against the control's call alone. Runs on the
// offscreen platform with the real control library, registered into a
// temporary configuration folder, and prints the figures.

#include "app/core/DispatchLogoControl.h"
#include "app/gui/PrintersPage.h"
#include "app/gui/frmCorvido.h"
#include "platform/SystemSpooler.h"
#include "platform/component/ControlHost.h"
#include "platform/component/LibraryRegistration.h"
#include "platform/virtual/VirtualPrinterBackend.h"
#include "tests/support/BmpBuilder.h"
#include "tests/support/CliRunner.h"
#include "tests/support/Files.h"
#include "tests/support/ScriptedServices.h"
#include "tests/support/ServedPrinter.h"
#include "tests/support/TempHome.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <algorithm>
#include <cstdio>
#include <stdlib.h>
#include <vector>

using namespace tessaline;

namespace {

// Notes when the watched window first paints.
class PaintWatch : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            painted = true;
        }
        return false;
    }
};

struct Figures {
    double median, min, max;
};

Figures Summarise(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.front(), ms.back()};
}

void Print(const char* what, const Figures& f, double budget) {
    std::printf("%-52s median %7.2f ms  min %7.2f  max %7.2f  (budget %.0f ms, %.1fx under)\n",
                what, f.median, f.min, f.max, budget, budget / f.median);
}

} // namespace

int main(int argc, char* argv[]) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("CUPS_SERVER", "/nonexistent/tessaline-bench.sock", 0);
    // The control writes its preview pictures into the current folder, the work folder.
    const test::TempHome home({.workFolder = true});
    QApplication app(argc, argv);

    if (const Result<void> registered = RegisterLibrary(TESSALINE_CONTROL_LIBRARY, false);
        !registered) {
        std::fprintf(stderr, "cannot register the control: %s\n", registered.Reason().c_str());
        return 1;
    }
    // One added by an earlier run serves as well.
    static_cast<void>(VirtualPrinterStore(TessalineDataHome()).Add("THERMAL #1", PrinterModel{}));
    const std::shared_ptr<const Spooler> spooler = MakeSpooler();

    // 255 logos of a receipt's width, listed in the settings file.
    const std::string logo = (home.Root() / "logo576x648.bmp").string();
    test::WriteBmp(logo, 576, 648, 24, [](int x, int y) {
        return static_cast<uint8_t>((x * 255 / 575 + y / 3) & 0xFF);
    });
    std::string settings = "[LOGO]\n";
    for (int k = 1; k <= 255; ++k) {
        settings +=
            "Logofile" + std::to_string(k) + "=" + logo + "|logo576x648.bmp|46656|648|576\n";
    }
    test::WriteText(home.Root() / "CorvidoFiles.ini", settings);

    auto created = ControlHost::CreateByProgId(kTessalineControlProgId);
    if (!created) {
        std::fprintf(stderr, "%s\n", created.Reason().c_str());
        return 1;
    }
    const std::unique_ptr<ControlHost> host = std::move(created).Value();
    DispatchLogoControl control(*host);

    std::vector<double> startup;
    for (int run = 0; run < 15; ++run) {
        test::ScriptedServices services;
        services.spooler = spooler;
        services.programFolder = home.Root().string();
        services.configHome = (home.Root() / "config-unused").string();
        QElapsedTimer timer;
        timer.start();
        frmCorvido form(services, services, host.get(), &control);
        PaintWatch watch;
        form.installEventFilter(&watch);
        form.Load();
        form.show();
        while (!watch.painted) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        startup.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        if (form.ItemCount() != 255) {
            std::fprintf(stderr, "expected 255 listed logos, got %d\n", form.ItemCount());
            return 1;
        }
        // Save elsewhere, so every run starts from the same settings file.
        services.programFolderWritable = false;
        static_cast<void>(form.Logic().Files()->Release());
        form.hide();
    }

    test::ScriptedServices services;
    services.spooler = spooler;
    services.programFolder = home.Root().string();
    services.configHome = (home.Root() / "config-unused").string();
    frmCorvido form(services, services, host.get(), &control);
    form.Load();
    form.show();
    QCoreApplication::processEvents();
    std::vector<double> none;
    std::vector<double> diffusion;
    for (int run = 0; run < 30; ++run) {
        for (int mode : {0, 1}) {
            QElapsedTimer timer;
            timer.start();
            form.Logic().optImageMode_Click(mode);
            form.repaint();
            (mode == 0 ? none : diffusion)
                .push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        }
    }

    // A print-all through the window: the progress window follows 255
    // reports, each letting the window system's messages through.
    std::vector<double> printAll;
    std::vector<double> printAllControl;
    for (int run = 0; run < 15; ++run) {
        QElapsedTimer timer;
        timer.start();
        form.Logic().cmdPrint_Click();
        printAll.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        timer.restart();
        control.Print(0, "THERMAL #1", 0, 0, 0);
        printAllControl.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    if (services.prompts.empty() || services.prompts.back().text != "Printout success.") {
        std::fprintf(stderr, "the print-all did not succeed\n");
        return 1;
    }
    services.programFolderWritable = false;
    static_cast<void>(form.Logic().Files()->Release());

    // The control's own share of a refresh: the conversion and the preview file.
    std::vector<double> controlNone;
    std::vector<double> controlDiffusion;
    for (int run = 0; run < 30; ++run) {
        for (int16_t mode : {int16_t{0}, int16_t{1}}) {
            QElapsedTimer timer;
            timer.start();
            control.Preview(logo, mode, 5);
            (mode == 0 ? controlNone : controlDiffusion)
                .push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        }
    }

    // The Printers tab: a loopback virtual printer typed in, to its status,
    // identity, NV memory and keys shown (all asked in the background).
    std::vector<double> asked;
    {
        const test::CliRunner cli;
        if (cli.Run("vprinter add Bench --nv-graphics 262144").status != 0) {
            std::fprintf(stderr, "cannot add the virtual printer Bench\n");
            return 1;
        }
        const test::ServedPrinter served(cli, "Bench");
        frmCorvido tab(services, services, host.get(), &control);
        tab.Load();
        tab.show();
        for (int run = 0; run < 15; ++run) {
            QElapsedTimer timer;
            timer.start();
            tab.Printers().Logic().PrinterChosen(served.Address());
            tab.Printers().Settle();
            tab.repaint();
            asked.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            if (!tab.Printers().Logic().Facts() || !tab.Printers().Logic().Facts()->report) {
                const auto& facts = tab.Printers().Logic().Facts();
                std::fprintf(stderr, "%s did not answer: %s\n", served.Address().c_str(),
                             facts ? (facts->failure + facts->whyNot).c_str() : "nothing asked");
                return 1;
            }
        }
    }

    std::printf("Tessaline window, offscreen platform, real control library\n");
    Print("start-up to painted window, 255 listed logos", Summarise(startup), 300);
    Print("preview refresh 576 x 648, \"None\"", Summarise(none), 50);
    Print("preview refresh 576 x 648, \"Error Diffusion\"", Summarise(diffusion), 50);
    Print("  of which the control's Preview call, \"None\"", Summarise(controlNone), 50);
    Print("  of which the control's Preview call, \"Error Diffusion\"", Summarise(controlDiffusion),
          50);
    const Figures window = Summarise(printAll);
    const Figures alone = Summarise(printAllControl);
    Print("print-all through the window, progress window shown", window, 500);
    Print("  the control's Print call alone, no progress window", alone, 500);
    std::printf("  progress window's share: %.2f ms for 255 reports (%.3f ms a report)\n",
                window.median - alone.median, (window.median - alone.median) / 255.0);
    Print("Printers tab: loopback printer chosen to its status shown", Summarise(asked), 500);
    return 0;
}
