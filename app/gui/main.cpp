// SPDX-License-Identifier: MIT
#include "QtServices.h"
#include "app/core/DispatchLogoControl.h"
#include "app/core/SystemServices.h"
#include "app/core/clsFiles.h"
#include "app/gui/PrintersPage.h"
#include "app/gui/frmCorvido.h"
#include "base/BuildVersion.h"
#include "platform/SystemSpooler.h"
#include "platform/UserFolders.h"
#include "platform/component/ControlHost.h"
#include "platform/component/FirstRunRegistration.h"

#include <QApplication>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPixmap>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

// Saves a picture of the window once it has painted, then closes it. The
// first listed logo is clicked first, so both pictures show.
void ScheduleScreenshot(frmCorvido& form, const QString& file) {
    QTimer::singleShot(300, &form, [&form, file] {
        if (form.ItemCount() > 0) {
            form.Logic().ListView_ItemClick(1);
        }
        QTimer::singleShot(300, &form, [&form, file] {
            // A printer being asked shows what it answered.
            form.Printers().Settle();
            if (!form.grab().save(file, "PNG")) {
                std::fprintf(stderr, "tessaline: cannot save %s\n", file.toLocal8Bit().constData());
            }
            form.close();
        });
    });
}

// True when Qt has somewhere to show the window: an X11 or Wayland session,
// or a platform chosen by hand (QT_QPA_PLATFORM or -platform).
bool DisplayReachable(int argc, char* argv[]) {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0') {
            return true;
        }
    }
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0) {
            return true;
        }
    }
    return false;
}

// The installed program works in a folder of its own whichever way it is
// started, as a Windows shortcut starts a program in the program's folder:
// the control writes its preview pictures (Temp.bmp, TempTe.bmp) into the
// current folder, which from the desktop's menu is the user's home. Run from
// its build tree, the program stays where it was started (scripts/run.sh
// starts it in the same folder).
void EnterWorkFolder(const tessaline::ControlLibraries& libraries) {
    if (libraries.RunFromBuildTree()) {
        return;
    }
    const std::filesystem::path work = tessaline::TessalineDataHome() / "work";
    std::error_code ec;
    std::filesystem::create_directories(work, ec);
    if (ec || ::chdir(work.c_str()) != 0) {
        const std::string reason = ec ? ec.message() : std::strerror(errno);
        std::fprintf(stderr,
                     "tessaline: cannot work in %s (%s); the preview pictures go to the "
                     "current folder\n",
                     work.c_str(), reason.c_str());
    }
}

// Asks the copy of the program that holds the list to bring its window
// forward; that copy listens under the claim's name (ListenForOtherCopies).
void BringHolderForward(const tessaline::SettingsClaim& claim) {
    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(claim.Name()));
    if (socket.waitForConnected(5000)) {
        socket.write("show\n");
        socket.waitForBytesWritten(5000);
        socket.disconnectFromServer();
    }
}

// Brings the window forward whenever another copy, started while this one
// holds the list, asks for it.
void ListenForOtherCopies(QLocalServer& server, const tessaline::SettingsClaim& claim,
                          frmCorvido& form) {
    const QString name = QString::fromStdString(claim.Name());
    // This copy holds the claim: a socket of that name is a crashed copy's.
    QLocalServer::removeServer(name);
    server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server.listen(name)) {
        std::fprintf(stderr, "tessaline: other copies cannot bring this window forward: %s\n",
                     server.errorString().toLocal8Bit().constData());
        return;
    }
    QObject::connect(&server, &QLocalServer::newConnection, &form, [&server, &form] {
        while (QLocalSocket* other = server.nextPendingConnection()) {
            QObject::connect(other, &QLocalSocket::disconnected, other, &QObject::deleteLater);
            form.setWindowState((form.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
            form.show();
            form.raise();
            form.activateWindow();
        }
    });
}

} // namespace

int main(int argc, char* argv[]) {
    // Asked without a display: the version needs no window.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s\n", tessaline::VersionLine("tessaline").c_str());
        return 0;
    }
    if (!DisplayReachable(argc, argv)) {
        std::fprintf(stderr,
                     "tessaline: this program shows a window and needs a display, but neither "
                     "DISPLAY nor WAYLAND_DISPLAY is set.\n"
                     "Start it inside a desktop session, or give it a virtual display:\n"
                     "    xvfb-run -a ./scripts/run.sh\n");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(tessaline::kApplicationTitle));
    // Every window and message box carries the program's icon; the desktop
    // matches the windows to the menu entry by its name.
    QApplication::setWindowIcon(frmCorvido::ProgramIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.tessaline.Tessaline"));

    QString screenshot;
    std::string printer;
    const QStringList args = QApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--screenshot") && i + 1 < args.size()) {
            // Named from the folder the program was started in.
            screenshot = QFileInfo(args[++i]).absoluteFilePath();
        } else if (args[i] == QLatin1String("--printer") && i + 1 < args.size()) {
            printer = args[++i].toStdString();
        } else {
            std::fprintf(stderr,
                         "Usage: tessaline [--printer ADDRESS] [--screenshot FILE.png | --version]\n");
            return 2;
        }
    }

    tessaline::QtServices services;
    tessaline::HostServices system(tessaline::MakeSpooler());

    // One copy of the program per logo list: a second one would write its
    // own list over the first's when it closes. It brings the first one's
    // window forward instead, and ends.
    tessaline::Result<tessaline::SettingsClaim> claim = tessaline::ClaimLogoList(system);
    if (claim && !claim.Value().Held()) {
        BringHolderForward(claim.Value());
        return 0;
    }
    if (!claim) {
        std::fprintf(stderr,
                     "tessaline: %s; a second copy of the program could not be kept off the list\n",
                     claim.Reason().c_str());
    }

    // An installed program registers its control for this user on the first run.
    const tessaline::ControlLibraries libraries{TESSALINE_BUILD_TREE,
                                                TESSALINE_BUILT_CONTROL,
                                                TESSALINE_INSTALLED_CONTROL,
                                                TESSALINE_INSTALLED_CONTROL_RELATIVE,
                                                {}};
    if (const std::string note =
            tessaline::RegisterOnFirstRun(tessaline::kTessalineControlProgId, libraries);
        !note.empty()) {
        std::fprintf(stderr, "tessaline: %s\n", note.c_str());
    }
    EnterWorkFolder(libraries);

    auto created = tessaline::ControlHost::CreateByProgId(tessaline::kTessalineControlProgId);
    const std::string error = created.Reason();
    std::unique_ptr<tessaline::ControlHost> host = std::move(created).ValueOr(nullptr);
    std::unique_ptr<tessaline::DispatchLogoControl> control;
    if (host) {
        control = std::make_unique<tessaline::DispatchLogoControl>(*host);
    }

    frmCorvido form(services, system, host.get(), control.get(), error);
    services.SetDialogParent(&form);
    if (host) {
        // The control's own messages come up as the program's message boxes.
        host->SetMessageBox(
            [&services](const std::string& text, const std::string& caption, uint32_t) {
                services.ShowMessage(text, caption, tessaline::MsgButtons::Ok,
                                     tessaline::MsgIcon::Exclamation);
                return TS_IDOK;
            });
    }
    QLocalServer otherCopies;
    if (claim) {
        ListenForOtherCopies(otherCopies, claim.Value(), form);
    }
    form.Load();
    if (!printer.empty()) {
        // A shortcut per printer: the window opens on it, asked.
        form.OpenOnPrinter(printer);
    }
    form.show();
    if (!screenshot.isEmpty()) {
        ScheduleScreenshot(form, screenshot);
    }
    return QApplication::exec();
}
