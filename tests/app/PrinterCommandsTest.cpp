// SPDX-License-Identifier: MIT
// The upload, erase and printout commands of the main window, with the real
// control library printing on a virtual printer: every case checks the bytes
// the printer received and what the user was told.
#include "MainWindowTexts.h"
#include "QtServices.h"
#include "RecordingControl.h"
#include "WindowFixture.h"
#include "app/core/DispatchLogoControl.h"
#include "app/gui/frmCorvido.h"
#include "platform/UserFolders.h"
#include "platform/component/ControlHost.h"
#include "platform/component/LibraryRegistration.h"
#include "platform/virtual/VirtualPrinterStore.h"
#include "tests/support/BmpBuilder.h"
#include "tests/support/Files.h"
#include "tests/support/ScriptedServices.h"
#include "tests/support/TempFolder.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTreeWidget>
#include <QtTest>
#include <filesystem>
#include <memory>
#include <unistd.h>

using namespace tessaline;
using tessaline::test::PrintCall;
using tessaline::test::ReadText;
using tessaline::test::ScriptedServices;
using tessaline::test::TempFolder;
using tessaline::test::UploadCall;
using tessaline::test::WriteBmp;
using Bytes = std::vector<uint8_t>;

namespace {

const std::string kPrinter = "THERMAL #1";
const std::string kUploadDone = "Upload finished, and Writing of bit image completed.\r\n"
                                "Logo becomes available after the reset of a device.";
const std::string kEraseDone = "Upload finished, and Cleaning of NV Image completed.\r\n"
                               "Logo becomes available after the reset of a device.";
const std::string kCommunication = "Communication error. Can not be transmitted.";
const Bytes kCut{0x1D, 0x56, 0x42, 0x01};
const Bytes kEraseStream{0x1C, 0x65, 0x1C, 0x70, 0xE8, 0x30, 0x1D, 0x56, 0x42, 0x01};

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// FS p n m for each number, then the cut.
Bytes PrintStream(std::initializer_list<int> numbers, int mode) {
    Bytes out;
    for (int n : numbers) {
        out = out +
              Bytes{0x1C, 0x70, static_cast<uint8_t>(n & 0xFF), static_cast<uint8_t>(0x30 + mode)};
    }
    return out + kCut;
}

Bytes PrintAllStream(int mode) {
    Bytes out;
    for (int n = 1; n <= 255; ++n) {
        out = out + Bytes{0x1C, 0x70, static_cast<uint8_t>(n), static_cast<uint8_t>(0x30 + mode)};
    }
    return out + kCut;
}

// The NV header and raster of an all-black logo whose sides are multiples of 8.
Bytes BlackImage(int width, int height) {
    // Sized first and the header written in: g++ 12 at -O3 warns (-Warray-bounds)
    // about inserting behind a four-byte initializer list.
    Bytes out(4 + static_cast<size_t>(width * height / 8), 0xFF);
    out[0] = static_cast<uint8_t>(width / 8);
    out[1] = static_cast<uint8_t>(width / 8 >> 8);
    out[2] = static_cast<uint8_t>(height / 8);
    out[3] = static_cast<uint8_t>(height / 8 >> 8);
    return out;
}

QString Show(const Bytes& bytes) {
    QString out;
    for (size_t i = 0; i < bytes.size() && i < 48; ++i) {
        out += QString::asprintf("%02X ", bytes[i]);
    }
    return out + QString::asprintf("(%zu bytes)", bytes.size());
}

} // namespace

Q_DECLARE_METATYPE(Bytes)

class PrinterCommandsTest : public tessaline::test::WindowFixture {
    Q_OBJECT

private:
    void Open() {
        m_form =
            std::make_unique<frmCorvido>(*m_services, *m_services, m_host.get(), m_control.get());
        m_form->Load();
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }
    // A black logo in the program's folder, added through the file dialog.
    std::string AddLogo(const std::string& name, int width, int height) {
        const std::string path = m_program->File(name);
        WriteBmp(path, width, height, 24, [](int, int) { return uint8_t{0}; });
        m_services->choices.push_back({path, name});
        QTest::mouseClick(W(Ctl::cmdSearch), Qt::LeftButton);
        return path;
    }
    QWidget* W(Ctl control) const { return m_form->Control(control); }
    std::string T(Ctl control) const { return m_form->Text(control); }
    // An option button takes clicks on its circle and caption only: aim at the circle.
    void Click(Ctl control) {
        QWidget* widget = W(control);
        const QPoint at = qobject_cast<QRadioButton*>(widget) != nullptr
                              ? QPoint(8, widget->height() / 2)
                              : widget->rect().center();
        QTest::mouseClick(widget, Qt::LeftButton, {}, at);
    }
    void TypeRange(const QString& text) {
        qobject_cast<QLineEdit*>(W(Ctl::txtRange))->setText(text);
    }
    std::filesystem::path PrinterFolder() const {
        return VirtualPrinterStore(TessalineDataHome()).PrinterFolder(kPrinter);
    }
    // Every job the virtual printer received, oldest first.
    std::vector<Bytes> Jobs() const {
        std::vector<std::filesystem::path> files;
        std::error_code ec;
        for (const auto& entry :
             std::filesystem::directory_iterator(PrinterFolder() / "jobs", ec)) {
            if (entry.path().extension() == ".bin") {
                files.push_back(entry.path());
            }
        }
        std::sort(files.begin(), files.end());
        std::vector<Bytes> jobs;
        for (const auto& file : files) {
            const std::string text = ReadText(file.string());
            jobs.emplace_back(text.begin(), text.end());
        }
        return jobs;
    }
    const std::string& Title() const { return m_form->Logic().Title(); }
    void ExpectPrompt(size_t index, const std::string& text, const std::string& title,
                      MsgButtons buttons, MsgIcon icon) {
        QVERIFY2(m_services->prompts.size() > index, "too few messages");
        const test::Prompt& prompt = m_services->prompts[index];
        QCOMPARE(QString::fromStdString(prompt.text), QString::fromStdString(text));
        QCOMPARE(QString::fromStdString(prompt.title.value_or("(none)")),
                 QString::fromStdString(title));
        QVERIFY(prompt.buttons == buttons);
        QVERIFY(prompt.icon == icon);
    }
    QProgressBar* Bar() const {
        return m_form->ProgressWindow() ? m_form->ProgressWindow()->ProBar() : nullptr;
    }

private slots:
    void initTestCase() { StartTestHome(); }

    void init() {
        // A fresh virtual printer with a fresh driver record for every case.
        std::filesystem::remove_all(TessalineDataHome());
        QVERIFY(VirtualPrinterStore(TessalineDataHome()).Add(kPrinter, PrinterModel{}).Ok());
        StartWindowParts();
    }

    void cleanup() { StopWindowParts(); }

    void uploadOneFileWaitsWithoutProgressWindow() {
        Open();
        const std::string logo = AddLogo("shop.bmp", 16, 8);
        bool windowDuringCall = true;
        m_control->during = [&] {
            windowDuringCall = m_form->ProgressWindow() != nullptr;
            QVERIFY(m_form->Logic().Busy());
        };
        Click(Ctl::cmdUpload);

        QVERIFY(!windowDuringCall);
        QVERIFY(!m_form->Logic().Progress().mblnShow);
        QCOMPARE(m_control->uploads, (std::vector<UploadCall>{{0, kPrinter, logo + "|", 0, 5}}));
        QCOMPARE(m_services->sleeps, (std::vector<int32_t>{500, 5000}));
        QCOMPARE(m_services->prompts.size(), size_t{2});
        ExpectPrompt(0, "Logo file is written in the NV image area of the device. Continue it?",
                     Title(), MsgButtons::YesNo, MsgIcon::None);
        ExpectPrompt(1, kUploadDone, Title(), MsgButtons::Ok, MsgIcon::Information);
        const std::vector<Bytes> jobs = Jobs();
        QCOMPARE(jobs.size(), size_t{1});
        QCOMPARE(Show(jobs[0]), Show(Bytes{0x1B, 0x40, 0x1C, 0x71, 0x01} + BlackImage(16, 8)));
        QCOMPARE(m_form->Logic().Printer(), 0);
        QCOMPARE(m_form->Logic().PrinterName(), kPrinter);
    }

    void uploadThreeFilesFollowsTheProgress() {
        Open();
        const std::string a = AddLogo("a.bmp", 16, 8);
        const std::string b = AddLogo("b.bmp", 8, 16);
        const std::string c = AddLogo("c.bmp", 24, 8);
        QTest::mouseClick(W(Ctl::optImageMode_1), Qt::LeftButton);

        QStringList seen;
        const auto note = [&](const QString& when) {
            QProgressBar* bar = Bar();
            seen << (bar == nullptr ? when + ": none"
                                    : QStringLiteral("%1: %2 of %3")
                                          .arg(when)
                                          .arg(bar->value())
                                          .arg(bar->maximum()));
        };
        QString caption;
        m_control->during = [&] {
            note("call");
            caption = m_form->ProgressWindow()->windowTitle();
            QVERIFY(m_form->ProgressWindow()->isVisible());
        };
        m_control->afterProgress = [&](int32_t data) { note(QString("progress %1").arg(data)); };
        m_services->onSleep = [&](int32_t ms) { note(QString("sleep %1").arg(ms)); };
        const int pumpsBefore = m_services->doEvents;
        Click(Ctl::cmdUpload);

        QCOMPARE(seen,
                 (QStringList{"call: 0 of 3", "progress 1: 1 of 3", "progress 2: 2 of 3",
                              "progress 3: 3 of 3", "sleep 2000: 3 of 3", "sleep 5000: none"}));
        QCOMPARE(caption.toStdString(), Title());
        // The bar painted before the call and at each of the three reports.
        QCOMPARE(m_services->doEvents - pumpsBefore, 4);
        const ProgressLogic& progress = m_form->Logic().Progress();
        QVERIFY(!progress.mblnShow);
        QCOMPARE(progress.mlngMax, 3);
        QCOMPARE(progress.mlngValue, 3);
        QCOMPARE(m_control->uploads,
                 (std::vector<UploadCall>{{0, kPrinter, a + "|" + b + "|" + c + "|", 1, 5}}));
        QCOMPARE(m_services->prompts.size(), size_t{2});
        ExpectPrompt(1, kUploadDone, Title(), MsgButtons::Ok, MsgIcon::Information);
        const std::vector<Bytes> jobs = Jobs();
        QCOMPARE(jobs.size(), size_t{1});
        QCOMPARE(Show(jobs[0]), Show(Bytes{0x1B, 0x40, 0x1C, 0x71, 0x03} + BlackImage(16, 8) +
                                     BlackImage(8, 16) + BlackImage(24, 8)));

        // Unloaded, the window ignores late reports.
        m_form->Logic().Tessaline_Progress(2);
        QCOMPARE(progress.mlngValue, 3);
        QVERIFY(m_form->ProgressWindow() == nullptr);
    }

    void uploadToARemovedPrinterSaysNothing() {
        Open();
        AddLogo("a.bmp", 16, 8);
        AddLogo("b.bmp", 16, 8);
        QVERIFY(VirtualPrinterStore(TessalineDataHome()).Remove(kPrinter).Ok());
        Click(Ctl::cmdUpload);
        QCOMPARE(m_control->uploads.size(), size_t{1});
        QCOMPARE(m_services->prompts.size(), size_t{1}); // the confirmation only
        QCOMPARE(m_services->sleeps, (std::vector<int32_t>{2000}));
        QVERIFY(m_form->ProgressWindow() == nullptr);
        QVERIFY(Jobs().empty());
    }

    void eraseSendsTheEraseStreamWhateverTheRange() {
        Open();
        Click(Ctl::optRange_1);
        TypeRange("12");
        Click(Ctl::optMode_2);
        Click(Ctl::Cmd_Erase);
        QCOMPARE(m_control->prints, (std::vector<PrintCall>{{3, kPrinter, 12, 2, 0}}));
        QCOMPARE(m_form->Logic().Range(), 12);
        QCOMPARE(m_form->Logic().Mode(), 2);
        QCOMPARE(m_services->prompts.size(), size_t{2});
        ExpectPrompt(0, "NV image all Delete. Continue it?", "Delete", MsgButtons::YesNo,
                     MsgIcon::None);
        ExpectPrompt(1, kEraseDone, Title(), MsgButtons::Ok, MsgIcon::Information);
        QVERIFY(m_services->sleeps.empty());
        QVERIFY(m_form->ProgressWindow() == nullptr);
        const std::vector<Bytes> jobs = Jobs();
        QCOMPARE(jobs.size(), size_t{1});
        QCOMPARE(Show(jobs[0]), Show(kEraseStream));
    }

    void eraseTakesAnyRangeText_data() {
        QTest::addColumn<bool>("selection");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("range");
        QTest::newRow("All ignores the text") << false << "12" << 0;
        QTest::newRow("leading number") << true << " 7abc" << 7;
        QTest::newRow("no number") << true << "abc" << 0;
        QTest::newRow("a range") << true << "3-5" << 3;
        QTest::newRow("half to even") << true << "2.5" << 2;
        QTest::newRow("past 32 bits") << true << "99999999999" << 0;
        QTest::newRow("past a double") << true << QString(400, '9') << 0;
    }
    void eraseTakesAnyRangeText() {
        QFETCH(bool, selection);
        QFETCH(QString, text);
        QFETCH(int, range);
        Open();
        Click(selection ? Ctl::optRange_1 : Ctl::optRange_0);
        TypeRange(text);
        Click(Ctl::Cmd_Erase);
        QCOMPARE(m_control->prints, (std::vector<PrintCall>{{3, kPrinter, range, 0, 0}}));
        QCOMPARE(Show(Jobs().at(0)), Show(kEraseStream));
        ExpectPrompt(1, kEraseDone, Title(), MsgButtons::Ok, MsgIcon::Information);
    }

    void answeringNoSendsNothing() {
        Open();
        AddLogo("a.bmp", 16, 8);
        m_services->answers = {MsgAnswer::No, MsgAnswer::No};
        Click(Ctl::cmdUpload);
        QVERIFY(m_control->uploads.empty());
        QCOMPARE(m_form->Logic().PrinterName(), std::string());
        Click(Ctl::optRange_1);
        TypeRange("12");
        Click(Ctl::Cmd_Erase);
        QVERIFY(m_control->prints.empty());
        // The erase takes the printer's name before it asks.
        QCOMPARE(m_form->Logic().PrinterName(), kPrinter);
        QCOMPARE(m_form->Logic().Range(), 0);
        QCOMPARE(m_services->prompts.size(), size_t{2});
        QVERIFY(m_services->sleeps.empty());
        QVERIFY(Jobs().empty());
    }

    void printout_data() {
        QTest::addColumn<bool>("selection");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("called");
        QTest::addColumn<int>("range");
        QTest::addColumn<int>("end");
        QTest::addColumn<bool>("window");
        QTest::addColumn<QString>("message");
        QTest::addColumn<Bytes>("bytes");
        const QString ok = "Printout success.";
        const QString mismatch = "Type mismatch";
        // The control refuses (-4) numbers the printer would print as other
        // images: the window says so as it says of a selection it refuses.
        const QString refused = "refused: " + mismatch;
        QTest::newRow("All, empty")
            << false << "" << 0 << true << 0 << 0 << true << ok << PrintAllStream(0);
        QTest::newRow("All, invalid text")
            << false << "abc" << 3 << true << 0 << 0 << true << ok << PrintAllStream(3);
        QTest::newRow("7") << true << "7" << 1 << true << 7 << 0 << false << ok
                           << PrintStream({7}, 1);
        QTest::newRow("7 in blanks")
            << true << "  7  " << 0 << true << 7 << 0 << false << ok << PrintStream({7}, 0);
        QTest::newRow("0") << true << "0" << 2 << true << 0 << 0 << true << ok << PrintAllStream(2);
        QTest::newRow("3-5") << true << "3-5" << 3 << true << 3 << 5 << true << ok
                             << PrintStream({3, 4, 5}, 3);
        QTest::newRow("5-3") << true << "5-3" << 0 << true << 5 << 3 << true << refused << Bytes{};
        QTest::newRow("-3") << true << "-3" << 0 << true << -3 << 0 << false << refused << Bytes{};
        QTest::newRow("2.5") << true << "2.5" << 0 << true << 2 << 0 << false << ok
                             << PrintStream({2}, 0);
        QTest::newRow("3.5") << true << "3.5" << 0 << true << 4 << 0 << false << ok
                             << PrintStream({4}, 0);
        QTest::newRow("lone dash")
            << true << "-" << 0 << false << 0 << 0 << false << mismatch << Bytes{};
        QTest::newRow("abc") << true << "abc" << 0 << false << 0 << 0 << false << mismatch
                             << Bytes{};
        QTest::newRow("1-2-3") << true << "1-2-3" << 0 << false << 0 << 0 << false << mismatch
                               << Bytes{};
        QTest::newRow("empty") << true << "  " << 0 << false << 0 << 0 << false
                               << "Input the number of the NVImage" << Bytes{};
        QTest::newRow("past 32 bits")
            << true << "2147483648" << 0 << false << 0 << 0 << false << mismatch << Bytes{};
        QTest::newRow("range past 32 bits")
            << true << "1-99999999999" << 0 << false << 0 << 0 << false << mismatch << Bytes{};
    }
    void printout() {
        QFETCH(bool, selection);
        QFETCH(QString, text);
        QFETCH(int, mode);
        QFETCH(bool, called);
        QFETCH(int, range);
        QFETCH(int, end);
        QFETCH(bool, window);
        QFETCH(QString, message);
        QFETCH(Bytes, bytes);
        Open();
        AddLogo("a.bmp", 16, 8); // the button follows the file list
        Click(selection ? Ctl::optRange_1 : Ctl::optRange_0);
        TypeRange(text);
        const Ctl modes[] = {Ctl::optMode_0, Ctl::optMode_1, Ctl::optMode_2, Ctl::optMode_3};
        Click(modes[mode]);

        QStringList during;
        m_control->during = [&] {
            during << (Bar() ? QStringLiteral("%1 of %2").arg(Bar()->value()).arg(Bar()->maximum())
                             : QStringLiteral("none"));
            QVERIFY(m_form->Logic().Busy());
        };
        std::vector<int32_t> reports;
        m_control->afterProgress = [&](int32_t data) {
            reports.push_back(data);
            QCOMPARE(Bar()->value(), data);
        };
        Click(Ctl::cmdPrint);

        if (called) {
            QCOMPARE(m_control->prints, (std::vector<PrintCall>{{0, kPrinter, range, mode, end}}));
            QCOMPARE(during, QStringList{window ? "0 of 255" : "none"});
            QCOMPARE(m_services->prompts.size(), size_t{1});
            if (message == QStringLiteral("refused: Type mismatch")) {
                ExpectPrompt(0, "Type mismatch", Title(), MsgButtons::Ok, MsgIcon::Exclamation);
                QCOMPARE(m_form->focusWidget(), W(Ctl::txtRange));
            } else {
                ExpectPrompt(0, message.toStdString(), Title(), MsgButtons::Ok,
                             MsgIcon::Information);
            }
            QCOMPARE(m_form->Logic().Mode(), mode);
            if (end == 0) {
                QCOMPARE(m_form->Logic().Range(), range);
            } else {
                QCOMPARE(m_form->Logic().Range(), 0); // a range leaves it as it was
            }
            // Only a print-all reports progress, from 1 to 255.
            QCOMPARE(reports.size(), size_t(range == 0 && end == 0 ? 255 : 0));
        } else {
            QVERIFY(m_control->prints.empty());
            QCOMPARE(m_services->prompts.size(), size_t{1});
            ExpectPrompt(0, message.toStdString(), Title(), MsgButtons::Ok, MsgIcon::Exclamation);
            QCOMPARE(m_form->focusWidget(), W(Ctl::txtRange));
            QCOMPARE(qobject_cast<QLineEdit*>(W(Ctl::txtRange))->text(), text);
            QVERIFY(m_form->Value(Ctl::optRange_1));
        }
        QVERIFY(m_form->ProgressWindow() == nullptr);
        QVERIFY(!m_form->Logic().Progress().mblnShow);
        const std::vector<Bytes> jobs = Jobs();
        QCOMPARE(jobs.size(), size_t(bytes.empty() ? 0 : 1));
        if (!bytes.empty()) {
            QCOMPARE(Show(jobs[0]), Show(bytes));
            QCOMPARE(jobs[0], bytes);
        }
    }

    void printoutNamesTheFailureCodeInTheTitle_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("-1") << -1 << "-1";
        QTest::newRow("-2") << -2 << "-2";
        QTest::newRow("-3") << -3 << "-3";
        QTest::newRow("-4") << -4 << "-4";
        QTest::newRow("-5") << -5 << "";
        QTest::newRow("1") << 1 << "";
    }
    void printoutNamesTheFailureCodeInTheTitle() {
        QFETCH(int, code);
        QFETCH(QString, suffix);
        Open();
        AddLogo("a.bmp", 16, 8);
        m_control->results = {code};
        Click(Ctl::cmdPrint);
        QCOMPARE(m_control->prints.size(), size_t{1});
        if (suffix.isEmpty()) {
            QVERIFY(m_services->prompts.empty());
        } else {
            QCOMPARE(m_services->prompts.size(), size_t{1});
            ExpectPrompt(0, kCommunication, Title() + suffix.toStdString(), MsgButtons::Ok,
                         MsgIcon::Exclamation);
        }
    }

    void uploadAndEraseFailuresKeepThePlainTitle_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("reported");
        for (int code : {-1, -2, -3, -4}) {
            QTest::addRow("%d", code) << code << true;
        }
        QTest::newRow("-5") << -5 << false;
        QTest::newRow("2") << 2 << false;
    }
    void uploadAndEraseFailuresKeepThePlainTitle() {
        QFETCH(int, code);
        QFETCH(bool, reported);
        Open();
        AddLogo("a.bmp", 16, 8);
        m_control->results = {code, code};
        Click(Ctl::cmdUpload);
        QCOMPARE(m_services->sleeps, (std::vector<int32_t>{500})); // no 5000 after a failure
        Click(Ctl::Cmd_Erase);
        QCOMPARE(m_services->prompts.size(), size_t(reported ? 4 : 2));
        if (reported) {
            ExpectPrompt(1, kCommunication, Title(), MsgButtons::Ok, MsgIcon::Exclamation);
            ExpectPrompt(3, kCommunication, Title(), MsgButtons::Ok, MsgIcon::Exclamation);
        }
    }

    void realControlRefusesAnOversizedRange() {
        Open();
        AddLogo("a.bmp", 16, 8);
        Click(Ctl::optRange_1);
        TypeRange("1-300");
        Click(Ctl::cmdPrint);
        QCOMPARE(m_control->prints, (std::vector<PrintCall>{{0, kPrinter, 1, 0, 300}}));
        ExpectPrompt(0, "Type mismatch", Title(), MsgButtons::Ok, MsgIcon::Exclamation);
        QCOMPARE(m_form->focusWidget(), W(Ctl::txtRange));
        QVERIFY(Jobs().empty());
    }

    void printoutToARemovedPrinterSaysNothing() {
        Open();
        AddLogo("a.bmp", 16, 8);
        QVERIFY(VirtualPrinterStore(TessalineDataHome()).Remove(kPrinter).Ok());
        Click(Ctl::cmdPrint);
        Click(Ctl::Cmd_Erase);
        QCOMPARE(m_control->prints.size(), size_t{2});
        QCOMPARE(m_services->prompts.size(), size_t{1}); // the erase's question only
        QVERIFY(m_form->ProgressWindow() == nullptr);
    }

    void commandsAreHeldOffWhileTheControlWorks() {
        Open();
        AddLogo("a.bmp", 16, 8);
        AddLogo("b.bmp", 16, 8);
        auto* slider = qobject_cast<QSlider*>(W(Ctl::Slider1));
        auto* list = qobject_cast<QTreeWidget*>(W(Ctl::ListView_0));
        // What the user's input could change, as the window shows it and as
        // its rules hold it.
        const auto state = [&] {
            return QStringList{
                QStringLiteral("options %1%2 %3 %4")
                    .arg(m_form->Value(Ctl::optImageMode_0))
                    .arg(m_form->Value(Ctl::optImageMode_1))
                    .arg(m_form->Value(Ctl::optRange_0))
                    .arg(m_form->Value(Ctl::optMode_0)),
                QStringLiteral("image mode %1").arg(m_form->Logic().ImageMode()),
                QStringLiteral("slider %1").arg(slider->value()),
                QStringLiteral("row %1").arg(m_form->SelectedIndex()),
                QStringLiteral("range text '%1'").arg(QString::fromStdString(T(Ctl::txtRange))),
                QStringLiteral("previews %1").arg(m_control->previews.size())}
                .join(QStringLiteral("; "));
        };
        const QString before = state();
        // Every click and key during the flow, the options', the slider's, the
        // list's and the range text's too, changes nothing at all.
        const auto tryEverything = [&] {
            QVERIFY(m_form->Logic().Busy());
            QVERIFY(!m_form->close());
            QVERIFY(!m_form->ProgressWindow() || !m_form->ProgressWindow()->close());
            Click(Ctl::cmdUpload);
            Click(Ctl::Cmd_Erase);
            Click(Ctl::cmdPrint);
            Click(Ctl::cmdReset);
            Click(Ctl::cmdClose);
            Click(Ctl::optImageMode_1);
            Click(Ctl::optRange_1);
            Click(Ctl::optMode_3);
            QTest::mouseClick(slider, Qt::LeftButton, {},
                              QPoint(slider->width() - 2, slider->height() / 2));
            QTest::keyClick(slider, Qt::Key_End);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualItemRect(list->topLevelItem(1)).center());
            QTest::keyClicks(W(Ctl::txtRange), "12");
        };
        int tries = 0;
        m_control->during = [&] {
            tryEverything();
            ++tries;
        };
        m_control->afterProgress = [&](int32_t) {
            tryEverything();
            ++tries;
        };
        m_services->onSleep = [&](int32_t) {
            tryEverything();
            ++tries;
        };
        Click(Ctl::cmdUpload);
        QCOMPARE(tries, 1 + 2 + 2); // the call, two reports, two waits
        QCOMPARE(m_control->uploads.size(), size_t{1});
        QVERIFY(m_control->prints.empty());
        QCOMPARE(m_form->Logic().Files()->xCount(), 2);
        QCOMPARE(state(), before);
        QCOMPARE(m_services->prompts.size(), size_t{2});
        QVERIFY(m_form->isVisible());
        QVERIFY(!m_form->Logic().Busy());
        QCOMPARE(Jobs().size(), size_t{1});
    }

    void koreanWindowKeepsTheEnglishMessages() {
        m_services->codePage = 949;
        Open();
        QCOMPARE(m_form->Text(Ctl::cmdPrint), std::string("저장 로고 인쇄"));
        QCOMPARE(m_form->Text(Ctl::optMode_2), std::string("세로 두배 확대"));
        AddLogo("a.bmp", 16, 8);
        Click(Ctl::cmdUpload);
        Click(Ctl::Cmd_Erase);
        Click(Ctl::optRange_1);
        TypeRange("abc");
        Click(Ctl::cmdPrint);
        QCOMPARE(m_services->prompts.size(), size_t{5});
        ExpectPrompt(0, "Logo file is written in the NV image area of the device. Continue it?",
                     Title(), MsgButtons::YesNo, MsgIcon::None);
        ExpectPrompt(1, kUploadDone, Title(), MsgButtons::Ok, MsgIcon::Information);
        ExpectPrompt(2, "NV image all Delete. Continue it?", "Delete", MsgButtons::YesNo,
                     MsgIcon::None);
        ExpectPrompt(3, kEraseDone, Title(), MsgButtons::Ok, MsgIcon::Information);
        ExpectPrompt(4, "Type mismatch", Title(), MsgButtons::Ok, MsgIcon::Exclamation);
        QCOMPARE(Title(), std::string(kTitleKorean));
    }

    void programSleepKeepsTheWindowsWorking() {
        // The program's own services: the wait lets timers and painting
        // through, but no click of the user's, neither then nor afterwards.
        QtServices services;
        QPushButton button;
        button.show();
        QVERIFY(QTest::qWaitForWindowExposed(&button));
        int clicks = 0;
        connect(&button, &QPushButton::clicked, this, [&clicks] { ++clicks; });
        bool fired = false;
        QTimer::singleShot(20, this, [&] {
            fired = true;
            QTest::mouseClick(&button, Qt::LeftButton);
        });
        QElapsedTimer timer;
        timer.start();
        services.Sleep(150);
        QVERIFY(fired);
        QVERIFY(timer.elapsed() >= 149);
        QCoreApplication::processEvents();
        QCOMPARE(clicks, 0);
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(clicks, 1);
    }

    void progressWindowIsCentredAndBuiltAfresh() {
        Open();
        AddLogo("a.bmp", 16, 8);
        AddLogo("b.bmp", 16, 8);
        QRect geometry;
        QSize size;
        QPointer<frmProgress> first;
        m_control->during = [&] {
            first = m_form->ProgressWindow();
            geometry = first->frameGeometry();
            size = first->size();
        };
        Click(Ctl::cmdPrint);
        QCOMPARE(size, QSize(m_form->Pixels(4680), m_form->Pixels(780)));
        const QRect screen = m_form->screen()->geometry();
        QVERIFY(std::abs(geometry.center().x() - screen.center().x()) <= 1);
        QVERIFY(std::abs(geometry.center().y() - screen.center().y()) <= 1);
        QVERIFY(first.isNull()); // unloading destroyed it

        QString second;
        m_control->during = [&] {
            second = QStringLiteral("%1 of %2").arg(Bar()->value()).arg(Bar()->maximum());
        };
        Click(Ctl::cmdUpload);
        QCOMPARE(second, QStringLiteral("0 of 2"));
        QCOMPARE(m_form->Logic().Progress().mlngMax, 2);
    }
};

QTEST_MAIN(PrinterCommandsTest)
#include "PrinterCommandsTest.moc"
