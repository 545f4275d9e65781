// SPDX-License-Identifier: MIT
#include "app/core/MainWindowLogic.h"

#include "LogoMath.h"
#include "MainWindowTexts.h"
#include "app/core/AppServices.h"
#include "app/core/LogoControl.h"
#include "app/core/SystemServices.h"

#include <utility>

namespace tessaline {

namespace {

// The controls that need the Tessaline control: adding (it measures the
// bitmap), the preview settings and the printer commands.
constexpr std::array kControlCommands{Ctl::cmdSearch, Ctl::optImageMode_0, Ctl::optImageMode_1,
                                      Ctl::Slider1,   Ctl::cmdPrint,       Ctl::cmdUpload,
                                      Ctl::Cmd_Erase};

// The five controls that follow the file list.
constexpr std::array kListCommands{Ctl::optImageMode_0, Ctl::optImageMode_1, Ctl::Slider1,
                                   Ctl::cmdPrint, Ctl::cmdUpload};

// Every control that takes the user's input, Close aside.
constexpr std::array kInputControls{
    Ctl::ListView_0,     Ctl::cmdSearch, Ctl::cmdRemove,  Ctl::cmdReset,   Ctl::optImageMode_0,
    Ctl::optImageMode_1, Ctl::Slider1,   Ctl::optRange_0, Ctl::optRange_1, Ctl::txtRange,
    Ctl::optMode_0,      Ctl::optMode_1, Ctl::optMode_2,  Ctl::optMode_3,  Ctl::cmdPrint,
    Ctl::cboPrinter,     Ctl::cmdUpload, Ctl::Cmd_Erase};

} // namespace

MainWindowLogic::MainWindowLogic(MainWindowView& view, AppServices& services,
                                 SystemServices& system, LogoControl* control,
                                 std::string controlError)
    : m_view(view), m_services(services), m_system(system), m_control(control),
      m_controlError(std::move(controlError)), m_progress(view.ProgressForm(), services) {
    if (m_control != nullptr) {
        m_control->OnProgress([this](int32_t Data) { Tessaline_Progress(Data); });
    }
}

MainWindowLogic::~MainWindowLogic() {
    if (m_control != nullptr) {
        m_control->OnProgress(nullptr);
    }
}

void MainWindowLogic::Form_Load() {
    mlngCodePage = m_system.CodePage();

    if (m_control == nullptr) {
        m_services.ShowMessage(m_controlError.empty()
                                   ? std::string("The Tessaline control cannot be created.")
                                   : m_controlError,
                               std::nullopt, MsgButtons::Ok, MsgIcon::Exclamation);
    }

    if (FindPrinters() == 0) {
        // A print server that is not there is not a missing driver: say which.
        const std::string unreached = m_system.UnreachedSpooler();
        m_services.ShowMessage(
            unreached.empty() ? (Korean() ? kNoDriverKorean : kNoDriverEnglish) : unreached,
            std::nullopt, MsgButtons::Ok, unreached.empty() ? MsgIcon::None : MsgIcon::Exclamation);
        StopStartup();
        return;
    }
    m_view.SelectPrinter(0);

    if (Korean()) {
        gstrTitle = kTitleKorean;
        m_view.SetVisible(Ctl::Frame1_4, true);
    } else {
        gstrTitle = kTitleEnglish;
        m_view.SetVisible(Ctl::Frame1_4, false);
    }

    m_view.CentreOnScreen();
    m_view.SetText(Ctl::Form, gstrTitle);
    m_view.SetPictureRect(Ctl::imgLogo, 0, 0, 975, 795);

    mobjFiles = std::make_unique<clsFiles>(m_system);

    for (const ListColumn& column : kListColumns) {
        m_view.AddColumn(Korean() ? column.korean : column.english,
                         Korean() ? column.koreanWidthTwips : column.widthTwips,
                         column.rightAligned);
    }

    RefreshFileList();

    m_view.SetValue(Ctl::optRange_0, true);
    m_view.SetValue(Ctl::optMode_0, true);
    m_view.SetValue(Ctl::optImageMode_0, true);
    optImageMode_Click(0);

    const bool any = m_view.ItemCount() > 0;
    for (Ctl control : kListCommands) {
        m_view.SetEnabled(control, any);
    }

    mlngBrightness = SliderBrightness(m_view.SliderValue(), m_view.SliderMax());

    if (Korean()) {
        for (const ControlText& entry : kKoreanTexts) {
            m_view.SetText(entry.control, entry.text);
        }
    }
    ApplyControlAvailability();
    m_startupComplete = true;
}

int32_t MainWindowLogic::FindPrinters() {
    int32_t found = 0;
    for (const std::string& printer : m_system.InstalledPrinters()) {
        for (const char* name : kThermalQueueNames) {
            if (printer == name) {
                m_view.AddPrinterName(printer);
                ++found;
            }
        }
    }
    return found;
}

void MainWindowLogic::StopStartup() {
    // Without a printer there is no list to work on: only Close stays.
    for (Ctl control : kInputControls) {
        m_view.SetEnabled(control, false);
    }
}

void MainWindowLogic::ApplyControlAvailability() {
    if (m_control != nullptr) {
        return;
    }
    for (Ctl control : kControlCommands) {
        m_view.SetEnabled(control, false);
    }
}

void MainWindowLogic::RefreshFileList() {
    if (!mobjFiles) {
        return;
    }
    mobjFiles->xDisplay(m_view);
    // The list view keeps an item selected whenever it holds any, as the
    // common list view does once it is refilled.
    if (m_view.ItemCount() > 0 && m_view.SelectedIndex() == 0) {
        m_view.SelectItem(1);
    }
    const bool any = m_view.ItemCount() > 0;
    for (Ctl control : kListCommands) {
        m_view.SetEnabled(control, any);
    }
    m_view.SetText(Ctl::lblFiles_0,
                   "Logo files : " + std::to_string(mobjFiles->xCount()) + " / 255");
    m_view.SetText(
        Ctl::lblSize_0,
        "Logo size totoal : " + std::to_string(KilobytesHalfEven(mobjFiles->xGetSizeTotal())) +
            " / 250 KBytes");
    ApplyControlAvailability();
}

void MainWindowLogic::SSTab_Click() {
    if (!m_startupComplete) {
        return;
    }
    if (m_view.ItemCount() > 0) {
        m_view.SetVisible(Ctl::imgLogo, true);
    } else {
        m_view.SetVisible(Ctl::imgLogo, false);
        m_view.SetText(Ctl::lblHeight, "Height : ");
        m_view.SetText(Ctl::lblWidth, "Width : ");
    }
}

void MainWindowLogic::cmdClose_Click() {
    if (Busy()) {
        return;
    }
    m_view.Unload();
}

bool MainWindowLogic::Form_QueryUnload() const {
    return !Busy();
}

void MainWindowLogic::Form_Unload() {
    if (m_unloaded) {
        return;
    }
    m_unloaded = true;
    if (!mobjFiles) {
        return;
    }
    const Result<void> saved = mobjFiles->Release();
    mobjFiles.reset();
    if (!saved) {
        m_services.ShowMessage("The logo file list could not be saved; the list saved before is "
                               "kept.\r\n" +
                                   saved.Reason(),
                               gstrTitle, MsgButtons::Ok, MsgIcon::Exclamation);
    }
}

} // namespace tessaline
