// SPDX-License-Identifier: MIT
#include "app/core/PrintersPageLogic.h"

#include "PrintersPageTexts.h"
#include "app/core/AppServices.h"
#include "app/core/SystemServices.h"
#include "fleet/Discovery.h"
#include "platform/NetworkRange.h"
#include "platform/PrinterNvRecords.h"
#include "platform/Spooler.h"
#include "printer/AutoLogoSteps.h"

#include <array>
#include <initializer_list>

namespace tessaline {

namespace {

// The pattern with each %s or %d replaced by the next value.
std::string Fill(const char* pattern, std::initializer_list<std::string> values) {
    std::string out;
    auto next = values.begin();
    for (const char* p = pattern; *p != '\0'; ++p) {
        if (p[0] == '%' && (p[1] == 's' || p[1] == 'd') && next != values.end()) {
            out += *next++;
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

std::string N(int64_t value) {
    return std::to_string(value);
}

std::string SizeText(const RasterGraphic& graphic, bool korean) {
    return Fill(Say(kKeySize, korean), {N(graphic.width), N(graphic.height),
                                        GroupedDigits(GraphicRowBytes(graphic.width) *
                                                      static_cast<uint64_t>(graphic.height))});
}

std::string Today() {
    return LocalTimeText("%Y-%m-%d %H:%M");
}

} // namespace

std::string ModelText(const PrinterReport* report, const std::string& unknown, bool korean) {
    if (report == nullptr || !report->model || report->model->empty()) {
        return unknown;
    }
    const PrinterProfile* profile = ProfileOf(*report);
    if (profile == nullptr) {
        return *report->model;
    }
    std::string text = *report->model;
    text += Fill(Say(kProfileMatched, korean), {profile->Name()});
    return text;
}

std::string PaperWidthText(const PrinterReport* report, int32_t chosenDots, bool korean) {
    const KnownPaper paper = report != nullptr
                                 ? KnownPaperOf(report->paperMillimetres, ProfileOf(*report))
                                 : KnownPaper{};
    if (!paper.dots) {
        return Fill(Say(kPaperChosen, korean), {N(chosenDots)});
    }
    const bool answered = std::string_view(paper.from) == "answered";
    return Fill(Say(answered ? kPaperAnswered : kPaperFromProfile, korean), {N(*paper.dots)});
}

namespace {

// The printer a step of the page goes to, in its language; the NV writes
// counted in the printer's shared record, as every tool counts them.
GraphicsPrinter StepPrinter(const Spooler& spooler, const std::string& printer,
                            LogoLanguage commands) {
    return GraphicsPrinter{spooler, printer, {}, {}, CountInUsersPrinterRecords(), commands};
}

} // namespace

PageActions EnabledActions(const ActionFacts& f) {
    PageActions a;
    const bool idle = f.printerChosen && !f.busy;
    a.refresh = idle;
    // A Star Line Mode printer keeps numbered logos, none by key.
    const bool byKey = idle && f.graphicsByKey;
    a.store = byKey && f.keyValid && f.dotsReady && f.dotsFitPaper;
    a.print = byKey && f.targetKey;
    a.remove = byKey && f.targetKey;
    // An asked printer that holds nothing has nothing to delete.
    a.removeAll = byKey && (!f.askable || !f.keysKnown || f.holdsGraphics);
    // The test receipt is ESC/POS: a Star printer does not get it.
    a.testReceipt = idle && f.escPos;
    // Finding printers needs none chosen; the automatic logo comes with its own work.
    a.findPrinters = !f.busy;
    a.autoLogo = idle && f.askable && f.autoLogoKnown && f.targetKey;
    return a;
}

PrintersPageLogic::PrintersPageLogic(PrintersPageView& view, AppServices& services,
                                     SystemServices& system, BackgroundWork& work,
                                     std::function<std::string()> title)
    : m_view(view), m_services(services), m_system(system), m_work(work), m_title(std::move(title)),
      m_programSettings(system), m_stored(system.SettingsFolder() + "/graphics"),
      m_spooler(system.PrinterSpooler()) {
    if (!m_spooler) {
        m_spooler = std::make_shared<const Spooler>();
    }
    m_settings.paperDots = kPaperDots[m_paperIndex];
}

PrintersPageLogic::~PrintersPageLogic() = default;

void PrintersPageLogic::Load(int32_t codePage) {
    m_korean = codePage == 949;
    m_view.SetText(PCtl::lstKeys, tessaline::Say(kKeyColumns, m_korean));
    for (const PageCaption& caption : kPageCaptions) {
        m_view.SetText(caption.control, tessaline::Say(caption.words, m_korean));
    }
    std::vector<std::string> dithers, zooms, papers;
    for (const Words& w : kDitherChoices) {
        dithers.emplace_back(tessaline::Say(w, m_korean));
    }
    for (const Words& w : kZoomChoices) {
        zooms.emplace_back(tessaline::Say(w, m_korean));
    }
    for (const Words& w : kPaperChoices) {
        papers.emplace_back(tessaline::Say(w, m_korean));
    }
    m_view.SetChoices(PCtl::cboDither, dithers, static_cast<int32_t>(m_settings.method));
    m_view.SetChoices(PCtl::cboZoom, zooms, 0);
    m_view.SetChoices(PCtl::cboPaperWidth, papers, m_paperIndex);
    m_view.SetSlider(PCtl::sldThreshold, 1, 255, m_settings.threshold);
    m_view.SetSlider(PCtl::sldBrightness, 0, 10, m_settings.brightness);
    m_view.SetChecked(PCtl::chkFit, m_settings.fit);
    m_view.SetChecked(PCtl::chkAutoLogo, false);
    m_view.SetToolTip(PCtl::cmdFindPrinters, tessaline::Say(kFindTip, m_korean));
    m_view.SetToolTip(PCtl::chkAutoLogo, tessaline::Say(kAutoLogoTip, m_korean));
    m_view.SetBar(PCtl::barWork, 0, 1);
    ShowEntries();
    ShowFacts();
    ShowKeys();
    ShowKeyCheck();
    m_view.ShowPreview(std::nullopt, m_settings.paperDots);
    ShowActions();
}

std::string PrintersPageLogic::TabCaption() const {
    return tessaline::Say(kPrintersTab, m_korean);
}

void PrintersPageLogic::ShowEntries() {
    m_view.SetPrinterEntries(
        PrinterEntries(m_system.InstalledPrinters(), m_programSettings.Addresses()));
}

void PrintersPageLogic::PrinterChosen(const std::string& typed) {
    if (m_busy) {
        return;
    }
    auto choice = ReadPrinterChoice(typed, m_system.InstalledPrinters());
    if (!choice) {
        Fail(choice.Reason());
        return;
    }
    m_printer = choice.Value();
    m_view.SetText(PCtl::cboPrinterAddress, m_printer->name);
    if (!m_printer->queue) {
        if (auto kept = m_programSettings.RememberAddress(m_printer->name); !kept) {
            SetWork(kept.Reason(), false);
        }
        ShowEntries();
        m_view.SetText(PCtl::cboPrinterAddress, m_printer->name);
    }
    m_facts.reset();
    m_keyRow = -1;
    ShowFacts();
    ShowKeys();
    AskPrinter();
}

void PrintersPageLogic::cmdRefresh_Click() {
    if (m_printer && !m_busy) {
        AskPrinter();
    }
}

void PrintersPageLogic::AskPrinter() {
    const PrinterChoice choice = *m_printer;
    const uint64_t generation = ++m_printerGeneration;
    SetWork(Fill(tessaline::Say(kAsking, m_korean), {choice.name}), true);
    m_work.Start([this, choice, generation, spooler = m_spooler]() -> std::function<void()> {
        auto facts = std::make_shared<PrinterFacts>(AskPrinterFacts(choice, spooler.get()));
        return [this, facts, generation] {
            if (generation != m_printerGeneration) {
                return;
            }
            m_facts = *facts;
            m_autoLogo = facts->autoLogo;
            m_keyRow = -1;
            SetWork(facts->failure.empty() ? ReadinessText(*facts, m_korean) : facts->failure,
                    false);
            ShowFacts();
            ShowKeys();
            ShowKeyCheck();
        };
    });
    ShowActions();
}

namespace {

// "1C 70 01 30".
std::string HexBytes(const std::vector<uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (const uint8_t byte : bytes) {
        if (!text.empty()) {
            text.push_back(' ');
        }
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0F]);
    }
    return text;
}

// "A (1C 70 01 30), B (1C 70 02 30)": the commands switched on, as their bytes.
std::string DriverLogosText(const DriverLogoCommands& logos) {
    std::string text;
    for (const auto& [name, bytes] : {std::pair{"A", &logos.a}, std::pair{"B", &logos.b}}) {
        if (!*bytes) {
            continue;
        }
        if (!text.empty()) {
            text += ", ";
        }
        text += name;
        text += " (";
        text += HexBytes(**bytes);
        text += ")";
    }
    return text;
}

} // namespace

void PrintersPageLogic::ShowAutoLogo() {
    const std::optional<GraphicKey> key = TargetKey();
    const bool queue = m_printer && m_printer->queue;
    const std::optional<DriverLogoCommands>* driver =
        queue && m_facts && m_facts->driverLogos ? &m_facts->driverLogos : nullptr;
    // A queue shows what its driver record switches on; it is changed by an
    // upload or an erase on the first tab.
    m_view.SetChecked(PCtl::chkAutoLogo, driver != nullptr ? (*driver)->Any()
                                                           : m_autoLogo && m_autoLogo->top && key &&
                                                                 m_autoLogo->top->key == *key);
    std::string tip;
    if (queue) {
        tip = tessaline::Say(kAutoLogoQueue, m_korean);
        if (driver != nullptr) {
            tip += "\n";
            tip += (*driver)->Any()
                       ? Fill(tessaline::Say(kDriverLogosOn, m_korean), {DriverLogosText(**driver)})
                       : std::string(tessaline::Say(kDriverLogosOff, m_korean));
        }
    } else if (m_facts && m_facts->report && m_facts->report->nvGraphicsTotal && !m_autoLogo) {
        tip = tessaline::Say(kAutoLogoUnanswered, m_korean);
    } else if (m_autoLogo) {
        const std::string now = AutoLogoText(*m_autoLogo);
        tip = tessaline::Say(kAutoLogoTip, m_korean);
        tip += "\n";
        tip += Fill(tessaline::Say(kAutoLogoNow, m_korean),
                    {now.empty() ? std::string(tessaline::Say(kAutoLogoNone, m_korean)) : now});
    } else {
        tip = tessaline::Say(kAutoLogoTip, m_korean);
    }
    m_view.SetToolTip(PCtl::chkAutoLogo, tip);
}

void PrintersPageLogic::chkAutoLogo_Click(bool checked) {
    if (!Actions().autoLogo) {
        ShowAutoLogo();
        return;
    }
    AutoLogoSettings wanted = *m_autoLogo;
    if (checked) {
        LogoSetting top;
        top.key = *TargetKey();
        top.align = m_autoLogo->top ? m_autoLogo->top->align : LogoAlign::Center;
        wanted.top = top;
    } else {
        wanted.top.reset();
    }
    const std::string printer = m_printer->name;
    const uint64_t generation = m_printerGeneration;
    SetWork(Fill(tessaline::Say(kAutoLogoSetting, m_korean), {printer}), true);
    m_work.Start([this, printer, generation, wanted,
                  spooler = m_spooler]() -> std::function<void()> {
        auto outcome = std::make_shared<AutoLogoOutcome>(
            SetAutoLogoStep(StepPrinter(*spooler, printer, LogoLanguage::EscPos), wanted));
        return [this, outcome, generation] {
            SetWork({}, false);
            if (generation != m_printerGeneration) {
                return;
            }
            if (outcome->after) {
                m_autoLogo = outcome->after;
            }
            if (outcome->result != kPrinterOk) {
                ShowActions();
                Fail(outcome->why);
                return;
            }
            const std::string now = m_autoLogo ? AutoLogoText(*m_autoLogo) : std::string();
            SetWork(outcome->check == AutoLogoCheck::Verified
                        ? Fill(tessaline::Say(kAutoLogoNow, m_korean),
                               {now.empty() ? std::string(tessaline::Say(kAutoLogoNone, m_korean))
                                            : now})
                        : Fill(tessaline::Say(kNotVerified, m_korean), {outcome->why}),
                    false);
        };
    });
    ShowActions();
}

void PrintersPageLogic::cmdFindPrinters_Click() {
    if (m_busy) {
        return;
    }
    const std::vector<std::string> networks = m_system.OwnNetworks();
    std::vector<IpAddress> addresses;
    std::string named;
    for (const std::string& network : networks) {
        const Result<NetworkRange> range = ParseNetwork(network);
        if (!range) {
            // Only a network named by hand can be malformed: say which, look nowhere.
            Fail(network + ": " + range.Reason());
            return;
        }
        const std::vector<IpAddress> more = RangeAddresses(range.Value());
        addresses.insert(addresses.end(), more.begin(), more.end());
        named += named.empty() ? "" : ", ";
        named += network;
    }
    if (addresses.empty()) {
        SetWork(tessaline::Say(kFindNoNetwork, m_korean), false);
        return;
    }
    const std::string count = N(static_cast<int64_t>(addresses.size()));
    const uint64_t generation = ++m_printerGeneration;
    SetWork(Fill(tessaline::Say(kFinding, m_korean), {count, named}), true);
    DiscoveryOptions options;
    options.port = m_system.PrinterPort();
    m_work.Start([this, addresses, options, generation, count, named]() -> std::function<void()> {
        auto found =
            std::make_shared<std::vector<DiscoveredPrinter>>(DiscoverNetwork(addresses, options));
        return [this, found, generation, count, named] {
            if (generation != m_printerGeneration) {
                return;
            }
            std::string list;
            size_t printers = 0;
            for (const DiscoveredPrinter& p : *found) {
                if (p.found != Found::Printer) {
                    continue;
                }
                ++printers;
                // Kept like an address typed by hand, so it is offered next time too.
                if (auto kept = m_programSettings.RememberAddress(p.address); !kept) {
                    SetWork(kept.Reason(), false);
                    return;
                }
                list += list.empty() ? "" : ", ";
                list += p.address;
                if (p.model) {
                    list += " (";
                    list += p.maker ? *p.maker + " " + *p.model : *p.model;
                    list += ")";
                }
            }
            ShowEntries();
            SetWork(printers == 0 ? Fill(tessaline::Say(kFoundNone, m_korean), {count, named})
                                  : Fill(tessaline::Say(kFoundSome, m_korean),
                                         {N(static_cast<int64_t>(printers)), list}),
                    false);
        };
    });
    ShowActions();
}

void PrintersPageLogic::ShowFacts() {
    const bool ko = m_korean;
    const auto say = [ko](const Words& w) { return std::string(tessaline::Say(w, ko)); };
    const PrinterReport* r = m_facts && m_facts->report ? &*m_facts->report : nullptr;
    const auto value = [&](const std::optional<std::string>& v) {
        return v && !v->empty() ? *v : say(r != nullptr ? kUnknown : kNotAsked);
    };
    m_view.SetText(PCtl::lblReady,
                   say(kReadyLabel) + (m_facts ? ReadinessText(*m_facts, ko) : say(kNotAsked)));
    m_view.SetText(PCtl::lblMaker, say(kMakerLabel) + value(r ? r->maker : std::nullopt));
    m_view.SetText(PCtl::lblModel, say(kModelLabel) + ModelText(r, value(std::nullopt), ko));
    m_view.SetText(PCtl::lblSerial, say(kSerialLabel) + value(r ? r->serialNumber : std::nullopt));
    m_view.SetText(PCtl::lblFirmware, say(kFirmwareLabel) + value(r ? r->firmware : std::nullopt));
    std::string commandSet = value(std::nullopt);
    if (m_facts && m_facts->commands == LogoLanguage::StarPrnt && m_facts->starStatus) {
        commandSet = say(kCommandSetStarPrnt);
    } else if (m_facts && m_facts->commands == LogoLanguage::StarLine && m_facts->starStatus) {
        commandSet = say(kCommandSetStarLine);
    } else if (r != nullptr && r->nvGraphicsTotal) {
        commandSet = say(kCommandSetEscPos);
    }
    m_view.SetText(PCtl::lblCommandSet, say(kCommandSetLabel) + commandSet);
    m_view.SetText(PCtl::lblPaper, say(kPaperLabel) + PaperWidthText(r, m_settings.paperDots, ko));
    if (r != nullptr && r->nvGraphicsTotal) {
        const uint64_t total = *r->nvGraphicsTotal;
        const uint64_t free = std::min(r->nvGraphicsFree.value_or(total), total);
        m_view.SetBar(PCtl::barMemory, static_cast<int64_t>(total - free),
                      static_cast<int64_t>(total));
        m_view.SetText(PCtl::lblMemory,
                       say(kMemoryLabel) + Fill(say(kMemoryFigures).c_str(),
                                                {GroupedDigits(total - free), GroupedDigits(total),
                                                 GroupedDigits(free)}));
    } else {
        m_view.SetBar(PCtl::barMemory, 0, 0);
        m_view.SetText(PCtl::lblMemory, say(kMemoryLabel) + value(std::nullopt));
    }
}

void PrintersPageLogic::ShowKeys() {
    std::vector<KeyRow> rows;
    m_rowKeys.clear();
    if (m_facts && m_facts->keys) {
        for (const GraphicKey key : *m_facts->keys) {
            KeyRow row{key, ShownKey(key), {}, m_stored.Recall(m_printer->name, key)};
            row.sizeText = row.thumbnail ? SizeText(*row.thumbnail, m_korean)
                                         : tessaline::Say(kSizeNotKnown, m_korean);
            rows.push_back(std::move(row));
            m_rowKeys.push_back(key);
        }
    }
    m_view.SetKeyRows(rows);
    std::string caption = tessaline::Say(kPageCaptions[6].words, m_korean);
    if (m_facts && m_facts->keys && m_facts->keys->empty()) {
        caption += " " + std::string(tessaline::Say(kNoKeys, m_korean));
    } else if (m_facts && !m_facts->keys) {
        const std::string why = !m_facts->whyNot.empty() ? m_facts->whyNot : m_facts->failure;
        caption += " " + Fill(tessaline::Say(kKeysNotAsked, m_korean), {why});
    }
    m_view.SetText(PCtl::lblKeysCaption, caption);
    ShowActions();
}

void PrintersPageLogic::lstKeys_Click(int32_t row) {
    m_keyRow = row >= 0 && static_cast<size_t>(row) < m_rowKeys.size() ? row : -1;
    ShowActions();
}

std::optional<GraphicKey> PrintersPageLogic::TargetKey() const {
    if (m_keyRow >= 0) {
        return m_rowKeys[static_cast<size_t>(m_keyRow)];
    }
    return m_key;
}

void PrintersPageLogic::txtKey_Change(const std::string& text) {
    m_keyText = text;
    auto key = ParseGraphicKey(text);
    m_key = key ? std::optional<GraphicKey>(key.Value()) : std::nullopt;
    ShowKeyCheck();
    ShowActions();
}

void PrintersPageLogic::ShowKeyCheck() {
    std::string text;
    if (m_keyText.empty()) {
        text = tessaline::Say(kChooseKey, m_korean);
    } else if (!m_key) {
        text = ParseGraphicKey(m_keyText).Reason();
    } else {
        const bool taken =
            m_facts && m_facts->keys &&
            std::find(m_facts->keys->begin(), m_facts->keys->end(), *m_key) != m_facts->keys->end();
        text = Fill(tessaline::Say(taken ? kKeyTaken : kKeyFine, m_korean), {ShownKey(*m_key)});
    }
    m_view.SetText(PCtl::lblKeyCheck, text);
}

void PrintersPageLogic::cmdBrowse_Click() {
    std::string folder = m_programSettings.Value("LogoFolder");
    if (folder.empty()) {
        folder = m_system.ProgramFolder();
    }
    const FileChoice choice = m_services.OpenFileDialog(
        folder, "Logo pictures (*.bmp;*.png;*.jpg;*.jpeg;*.gif)|*.bmp;*.png;*.jpg;*.jpeg;*.gif|"
                "All files (*.*)|*.*");
    if (choice.fileName.empty()) {
        return;
    }
    const std::string& path = choice.fileName;
    const size_t slash = path.find_last_of("/\\");
    if (slash != std::string::npos) {
        static_cast<void>(m_programSettings.SetValue("LogoFolder", path.substr(0, slash)));
    }
    LogoFileChosen(path);
}

void PrintersPageLogic::LogoFileChosen(const std::string& path) {
    m_logoFile = path;
    m_view.SetText(PCtl::txtLogoFile, path);
    m_source.reset();
    m_dots.reset();
    m_view.ShowPreview(std::nullopt, m_settings.paperDots);
    m_fitDecided = false;
    RemakeDots();
}

void PrintersPageLogic::cboDither_Click(int32_t index) {
    if (index >= 0 && index < kDotMethodCount) {
        m_settings.method = static_cast<DotMethod>(index);
        RemakeDots();
    }
}

void PrintersPageLogic::sldThreshold_Change(int32_t value) {
    m_settings.threshold = std::clamp(value, 1, 255);
    RemakeDots();
}

void PrintersPageLogic::sldBrightness_Change(int32_t value) {
    m_settings.brightness = std::clamp(value, 0, 10);
    RemakeDots();
}

void PrintersPageLogic::chkFit_Click(bool checked) {
    m_settings.fit = checked;
    m_fitDecided = true;
    RemakeDots();
}

void PrintersPageLogic::cboPaperWidth_Click(int32_t index) {
    if (index >= 0 && static_cast<size_t>(index) < std::size(kPaperDots)) {
        m_paperIndex = index;
        m_settings.paperDots = kPaperDots[static_cast<size_t>(index)];
        ShowFacts();
        RemakeDots();
    }
}

void PrintersPageLogic::RemakeDots() {
    ShowActions();
    if (m_logoFile.empty()) {
        return;
    }
    if (m_making) {
        m_remake = true; // the latest settings are made once this run ends
        return;
    }
    m_making = true;
    m_remake = false;
    const std::string path = m_logoFile;
    std::shared_ptr<const LogoSource> source = m_source;
    const DotSettings settings = m_settings;
    const bool decideFit = !m_fitDecided;
    m_view.SetText(PCtl::lblPreviewInfo, tessaline::Say(kMaking, m_korean));
    m_work.Start([this, path, source, settings, decideFit]() mutable -> std::function<void()> {
        std::string failure;
        if (!source) {
            auto read = ReadLogoSource(path);
            if (read) {
                source = std::make_shared<const LogoSource>(std::move(read).Value());
            } else {
                failure = read.Reason();
            }
        }
        // "Fit to paper" starts on when the logo is wider than the paper.
        DotSettings used = settings;
        if (source && decideFit) {
            used.fit = source->bitmap.description.bmWidth > used.paperDots;
        }
        std::optional<LogoDots> dots;
        if (source) {
            auto made = MakeLogoDots(*source, used);
            if (made) {
                dots = std::move(made).Value();
            } else {
                failure = made.Reason();
            }
        }
        return [this, path, source, used, decideFit, dots = std::move(dots), failure] {
            m_making = false;
            if (path != m_logoFile) {
                RemakeDots(); // another file was chosen meanwhile
                return;
            }
            m_source = source;
            if (decideFit && source) {
                m_fitDecided = true;
                m_settings.fit = used.fit;
                m_view.SetChecked(PCtl::chkFit, used.fit);
            }
            if (m_remake || (source && used.fit != m_settings.fit)) {
                RemakeDots();
                return;
            }
            m_dots = dots;
            if (!dots) {
                m_view.ShowPreview(std::nullopt, m_settings.paperDots);
                m_view.SetText(PCtl::lblPreviewInfo, failure);
            } else {
                const RasterGraphic& g = dots->graphic;
                const std::string fitted = dots->fitted
                                               ? Fill(tessaline::Say(kFittedFrom, m_korean),
                                                      {N(dots->sourceWidth), N(dots->sourceHeight)})
                                               : std::string();
                std::string info =
                    Fill(tessaline::Say(kPreviewInfo, m_korean),
                         {N(g.width), N(g.height),
                          GroupedDigits(GraphicRowBytes(g.width) * static_cast<uint64_t>(g.height)),
                          fitted});
                if (g.width > m_settings.paperDots) {
                    info += "\n" + Fill(tessaline::Say(kTooWide, m_korean),
                                        {N(g.width), N(m_settings.paperDots)});
                }
                m_view.ShowPreview(g, m_settings.paperDots);
                m_view.SetText(PCtl::lblPreviewInfo, info);
            }
            ShowActions();
        };
    });
}

PageActions PrintersPageLogic::Actions() const {
    ActionFacts f;
    f.printerChosen = m_printer.has_value();
    f.busy = m_busy;
    f.askable = m_facts && m_facts->askable;
    f.keysKnown = m_facts && m_facts->keys;
    f.holdsGraphics = f.keysKnown && !m_facts->keys->empty();
    f.keyValid = m_key.has_value();
    f.dotsReady = m_dots.has_value() && !m_making;
    f.dotsFitPaper = f.dotsReady && m_dots->graphic.width <= m_settings.paperDots;
    f.targetKey = TargetKey().has_value();
    f.autoLogoKnown = m_autoLogo.has_value();
    f.escPos = Commands() == LogoLanguage::EscPos;
    f.graphicsByKey = Commands() != LogoLanguage::StarLine;
    return EnabledActions(f);
}

void PrintersPageLogic::ShowActions() {
    const PageActions a = Actions();
    m_view.SetEnabled(PCtl::cmdRefresh, a.refresh);
    m_view.SetEnabled(PCtl::cmdFindPrinters, a.findPrinters);
    m_view.SetEnabled(PCtl::cmdStore, a.store);
    m_view.SetEnabled(PCtl::cmdPrintGraphic, a.print);
    m_view.SetEnabled(PCtl::cmdDeleteGraphic, a.remove);
    m_view.SetEnabled(PCtl::cmdDeleteAll, a.removeAll);
    m_view.SetEnabled(PCtl::cmdTestReceipt, a.testReceipt);
    // Why a Star printer's actions are off.
    m_view.SetToolTip(PCtl::cmdStore, Commands() == LogoLanguage::StarLine
                                          ? tessaline::Say(kStarLineByNumber, m_korean)
                                          : "");
    m_view.SetToolTip(PCtl::cmdTestReceipt, Commands() != LogoLanguage::EscPos
                                                ? tessaline::Say(kStarNoTestReceipt, m_korean)
                                                : "");
    m_view.SetEnabled(PCtl::chkAutoLogo, a.autoLogo);
    ShowAutoLogo();
    m_view.SetEnabled(PCtl::cboPrinterAddress, !m_busy);
    const bool plain = m_settings.method == DotMethod::Threshold;
    m_view.SetEnabled(PCtl::sldThreshold, plain);
    m_view.SetEnabled(PCtl::lblThresholdCaption, plain);
    m_view.SetEnabled(PCtl::sldBrightness, !plain);
    m_view.SetEnabled(PCtl::lblBrightnessCaption, !plain);
}

void PrintersPageLogic::SetWork(const std::string& text, bool busy) {
    m_busy = busy;
    m_workText = text;
    m_view.SetText(PCtl::lblWork, text);
    m_view.SetBar(PCtl::barWork, 0, busy ? 0 : 1);
    ShowActions();
}

void PrintersPageLogic::Fail(const std::string& why) {
    SetWork(why, false);
    m_services.ShowMessage(why, m_title(), MsgButtons::Ok, MsgIcon::Exclamation);
}

void PrintersPageLogic::RunGraphicStep(
    const std::string& doing,
    std::function<GraphicOutcome(const Spooler&, const std::string&)> step,
    std::function<void(const GraphicOutcome&)> finish) {
    const std::string printer = m_printer->name;
    const uint64_t generation = m_printerGeneration;
    SetWork(doing, true);
    m_work.Start([this, printer, generation, spooler = m_spooler, step = std::move(step),
                  finish = std::move(finish)]() -> std::function<void()> {
        auto outcome = std::make_shared<GraphicOutcome>(step(*spooler, printer));
        return [this, outcome, generation, finish] {
            SetWork({}, false);
            if (generation != m_printerGeneration) {
                return;
            }
            if (outcome->result != kPrinterOk) {
                Fail(outcome->why);
                return;
            }
            TakeOutcome(*outcome);
            finish(*outcome);
            if (outcome->check != GraphicCheck::Verified) {
                SetWork(Fill(tessaline::Say(kNotVerified, m_korean), {outcome->why}), false);
            }
        };
    });
}

void PrintersPageLogic::TakeOutcome(const GraphicOutcome& outcome) {
    if (outcome.check != GraphicCheck::Verified || !m_facts) {
        return;
    }
    m_facts->keys = outcome.keys;
    if (m_facts->report) {
        if (outcome.totalBytes) {
            m_facts->report->nvGraphicsTotal = outcome.totalBytes;
        }
        if (outcome.freeBytes) {
            m_facts->report->nvGraphicsFree = outcome.freeBytes;
        }
    }
    m_keyRow = -1;
    ShowFacts();
    ShowKeys();
    ShowKeyCheck();
}

void PrintersPageLogic::cmdStore_Click() {
    if (!Actions().store) {
        return;
    }
    const GraphicKey key = *m_key;
    const RasterGraphic graphic = m_dots->graphic;
    const std::string file = m_logoFile;
    RunGraphicStep(
        Fill(tessaline::Say(kStoring, m_korean), {ShownKey(key)}),
        [key, graphic, file, commands = Commands()](const Spooler& spooler,
                                                    const std::string& printer) {
            return StoreGraphicStep(StepPrinter(spooler, printer, commands), key, graphic, file,
                                    {});
        },
        [this, key, graphic](const GraphicOutcome& outcome) {
            if (outcome.check == GraphicCheck::Verified) {
                static_cast<void>(m_stored.Remember(m_printer->name, key, graphic));
                ShowKeys();
                SetWork(Fill(tessaline::Say(kStored, m_korean), {ShownKey(key), m_printer->name}),
                        false);
            } else {
                // Kept all the same: the printer most likely holds it.
                static_cast<void>(m_stored.Remember(m_printer->name, key, graphic));
            }
        });
}

void PrintersPageLogic::cmdPrintGraphic_Click() {
    if (!Actions().print) {
        return;
    }
    const GraphicKey key = *TargetKey();
    RunGraphicStep(
        Fill(tessaline::Say(kPrinting, m_korean), {ShownKey(key)}),
        [key, commands = Commands()](const Spooler& spooler, const std::string& printer) {
            return PrintGraphicStep(StepPrinter(spooler, printer, commands), key, 1, 1);
        },
        [this, key](const GraphicOutcome&) {
            SetWork(Fill(tessaline::Say(kPrinted, m_korean), {ShownKey(key)}), false);
        });
}

void PrintersPageLogic::cmdDeleteGraphic_Click() {
    if (!Actions().remove) {
        return;
    }
    const GraphicKey key = *TargetKey();
    RunGraphicStep(
        Fill(tessaline::Say(kDeleting, m_korean), {ShownKey(key)}),
        [key, commands = Commands()](const Spooler& spooler, const std::string& printer) {
            return DeleteGraphicStep(StepPrinter(spooler, printer, commands), key);
        },
        [this, key](const GraphicOutcome&) {
            m_stored.Forget(m_printer->name, key);
            ShowKeys();
            SetWork(Fill(tessaline::Say(kDeleted, m_korean), {ShownKey(key)}), false);
        });
}

void PrintersPageLogic::cmdDeleteAll_Click() {
    if (!Actions().removeAll) {
        return;
    }
    if (m_services.ShowMessage(Fill(tessaline::Say(kDeleteAllConfirm, m_korean), {m_printer->name}),
                               m_title(), MsgButtons::YesNo,
                               MsgIcon::Exclamation) != MsgAnswer::Yes) {
        return;
    }
    RunGraphicStep(
        Fill(tessaline::Say(kDeleting, m_korean), {"*"}),
        [commands = Commands()](const Spooler& spooler, const std::string& printer) {
            return DeleteGraphicStep(StepPrinter(spooler, printer, commands), std::nullopt);
        },
        [this](const GraphicOutcome&) {
            m_stored.Forget(m_printer->name, std::nullopt);
            ShowKeys();
            SetWork(tessaline::Say(kDeletedAll, m_korean), false);
        });
}

void PrintersPageLogic::cmdTestReceipt_Click() {
    if (!Actions().testReceipt) {
        return;
    }
    TestReceipt receipt;
    receipt.printer = m_printer->name;
    if (m_facts && m_facts->report && m_facts->report->model) {
        receipt.model = *m_facts->report->model;
    }
    receipt.date = Today();
    receipt.logo = TargetKey();
    const PrinterChoice choice = *m_printer;
    SetWork(tessaline::Say(kSending, m_korean), true);
    m_work.Start([this, receipt, choice, spooler = m_spooler]() -> std::function<void()> {
        auto sent = std::make_shared<Result<void>>(
            SendToPrinter(*spooler, choice, TestReceiptBytes(receipt)));
        return [this, sent] {
            if (!*sent) {
                Fail(sent->Reason());
                return;
            }
            SetWork(tessaline::Say(kReceiptSent, m_korean), false);
        };
    });
}

} // namespace tessaline
