// SPDX-License-Identifier: MIT
// The "Printers" tab's state and rules: which printer, what it said, the logo
// to store and its dots, and the actions on the printer's NV graphics. Work
// that waits on a printer or a picture runs through BackgroundWork, so the
// window never waits; its results come back on the window's thread.
#pragma once

#include "app/core/LogoDots.h"
#include "app/core/PrinterChoice.h"
#include "app/core/PrinterWork.h"
#include "app/core/PrintersPageView.h"
#include "app/core/ProgramSettings.h"
#include "app/core/StoredGraphics.h"
#include "printer/AutoLogo.h"
#include "printer/GraphicSteps.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tessaline {

class AppServices;
class Spooler;
class SystemServices;

// What the enabled state of the actions depends on.
struct ActionFacts {
    bool printerChosen = false;
    bool busy = false;          // a printer command runs
    bool askable = false;       // the printer answers questions
    bool keysKnown = false;     // it listed its keys
    bool holdsGraphics = false; // the list it gave is not empty
    bool keyValid = false;      // the key box holds a key
    bool dotsReady = false;     // the logo's dots are made
    bool dotsFitPaper = false;  // and are no wider than the paper
    bool targetKey = false;     // a key is chosen in the list, or typed
    bool autoLogoKnown = false; // it said what it prints by itself
    bool escPos = true;         // it takes ESC/POS (not a Star printer)
    bool graphicsByKey = true;  // it keeps graphics by key (not Star Line Mode)
};
struct PageActions {
    bool refresh = false, store = false, print = false, remove = false, removeAll = false,
         testReceipt = false, findPrinters = false, autoLogo = false;
};
PageActions EnabledActions(const ActionFacts& facts);

// The value of the "Model" line: the model the printer answered with and the
// profile it matched; `unknown` when it named none.
std::string ModelText(const PrinterReport* report, const std::string& unknown, bool korean);
// The value of the "Paper width" line and where it comes from: the roll the
// printer says it is set for, else its model's profile, else the width
// chosen on the page (`chosenDots`).
std::string PaperWidthText(const PrinterReport* report, int32_t chosenDots, bool korean);

class PrintersPageLogic {
public:
    // `title` gives the message boxes' title (the program's, as the first tab shows it).
    PrintersPageLogic(PrintersPageView& view, AppServices& services, SystemServices& system,
                      BackgroundWork& work, std::function<std::string()> title);
    ~PrintersPageLogic();
    PrintersPageLogic(const PrintersPageLogic&) = delete;
    PrintersPageLogic& operator=(const PrintersPageLogic&) = delete;

    // Sets the texts (Korean exactly for code page 949) and the printer box's entries.
    void Load(int32_t codePage);
    // The tab's caption in the page's language.
    std::string TabCaption() const;

    // The printer box: what was typed or picked, once confirmed. A valid
    // choice is asked at once; a malformed one is refused with the reason.
    void PrinterChosen(const std::string& typed);
    void cmdRefresh_Click();
    void cmdFindPrinters_Click();
    void cmdBrowse_Click();
    // A logo file, from the dialog or given by hand.
    void LogoFileChosen(const std::string& path);
    void txtKey_Change(const std::string& text);
    void cboDither_Click(int32_t index);
    void sldThreshold_Change(int32_t value);
    void sldBrightness_Change(int32_t value);
    void chkFit_Click(bool checked);
    // "Print this logo on every receipt": the chosen key as the printer's own
    // top logo, or no top logo.
    void chkAutoLogo_Click(bool checked);
    void cboPaperWidth_Click(int32_t index);
    // The row chosen in the key list; -1 for none.
    void lstKeys_Click(int32_t row);
    void cmdStore_Click();
    void cmdPrintGraphic_Click();
    void cmdDeleteGraphic_Click();
    void cmdDeleteAll_Click();
    void cmdTestReceipt_Click();

    // State, for the window and the tests.
    const std::optional<PrinterChoice>& Printer() const { return m_printer; }
    const std::optional<PrinterFacts>& Facts() const { return m_facts; }
    const std::optional<LogoDots>& Dots() const { return m_dots; }
    const DotSettings& Settings() const { return m_settings; }
    PageActions Actions() const;
    // True while a printer command or the dots are being made.
    bool Busy() const { return m_busy || m_making; }
    // The last outcome the work line shows.
    const std::string& WorkText() const { return m_workText; }

private:
    bool Korean() const { return m_korean; }
    // The language the chosen printer's logos take, as its facts say.
    LogoLanguage Commands() const { return m_facts ? m_facts->commands : LogoLanguage::EscPos; }
    void ShowEntries();
    void ShowFacts();
    void ShowKeys();
    void ShowKeyCheck();
    void ShowActions();
    void ShowAutoLogo();
    void SetWork(const std::string& text, bool busy);
    void Fail(const std::string& why);
    void AskPrinter();
    void RemakeDots();
    // The key Print and Delete act on: the chosen row's, else the typed one.
    std::optional<GraphicKey> TargetKey() const;
    // Runs a printer command; `finish` gets its outcome on the window's thread.
    void RunGraphicStep(const std::string& doing,
                        std::function<GraphicOutcome(const Spooler&, const std::string&)> step,
                        std::function<void(const GraphicOutcome&)> finish);
    void TakeOutcome(const GraphicOutcome& outcome);

    PrintersPageView& m_view;
    AppServices& m_services;
    SystemServices& m_system;
    BackgroundWork& m_work;
    std::function<std::string()> m_title;
    ProgramSettings m_programSettings;
    StoredGraphics m_stored;
    std::shared_ptr<const Spooler> m_spooler;
    bool m_korean = false;

    std::optional<PrinterChoice> m_printer;
    std::optional<PrinterFacts> m_facts;
    // What the printer prints by itself, when it said.
    std::optional<AutoLogoSettings> m_autoLogo;
    uint64_t m_printerGeneration = 0;
    bool m_busy = false;
    std::string m_workText;
    int32_t m_keyRow = -1;
    std::vector<GraphicKey> m_rowKeys;

    std::string m_logoFile;
    std::shared_ptr<const LogoSource> m_source;
    std::string m_keyText;
    std::optional<GraphicKey> m_key;
    DotSettings m_settings;
    int32_t m_paperIndex = 1;
    std::optional<LogoDots> m_dots;
    bool m_fitDecided = false;
    bool m_making = false;
    bool m_remake = false;
};

} // namespace tessaline
