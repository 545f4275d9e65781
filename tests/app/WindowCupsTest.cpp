// SPDX-License-Identifier: MIT
// The main window's upload, printout and erase against a real CUPS scheduler
// (the test run's private server): what the queue's device receives is
// checked byte for byte.
#include "QtServices.h"
#include "RecordingControl.h"
#include "app/core/DispatchLogoControl.h"
#include "app/gui/frmCorvido.h"
#include "platform/SystemSpooler.h"
#include "platform/component/ControlHost.h"
#include "platform/component/LibraryRegistration.h"
#include "tests/support/BmpBuilder.h"
#include "tests/support/PrivateCups.h"
#include "tests/support/ScriptedServices.h"
#include "tests/support/TempHome.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace tessaline {
namespace {

using Bytes = std::vector<uint8_t>;

const std::string kQueue = "THERMAL_1";
const Bytes kEraseStream{0x1C, 0x65, 0x1C, 0x70, 0xE8, 0x30, 0x1D, 0x56, 0x42, 0x01};

// One application for the whole run, on the offscreen platform, made before
// the first case and destroyed after the last, while Qt's globals still stand.
class QtApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        m_app = std::make_unique<QApplication>(m_argc, m_argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[25] = "tessaline_app_cups_tests";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QApplication> m_app;
};

[[maybe_unused]] ::testing::Environment* const kQtApplication =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

Bytes BlackImage(int width, int height) {
    // Sized first and the header written in: g++ 12 at -O3 warns (-Warray-bounds)
    // about inserting behind a four-byte initializer list.
    Bytes out(4 + static_cast<size_t>(width * height / 8), 0xFF);
    out[0] = static_cast<uint8_t>(width / 8);
    out[1] = 0;
    out[2] = static_cast<uint8_t>(height / 8);
    out[3] = 0;
    return out;
}

class WindowOnCups : public test::PrivateCupsTest {
protected:
    void SetUp() override {
        PrivateCupsTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        m_home.emplace(test::TempHomeOptions{.workFolder = true});
        m_program = m_home->Root() / "program";
        std::filesystem::create_directories(m_program);
        const Result<void> registered = RegisterLibrary(TESSALINE_CONTROL_LIBRARY, false);
        ASSERT_TRUE(registered) << registered.Reason();

        services.spooler = MakeSpooler();
        services.programFolder = m_program.string();
        services.configHome = m_home->XdgConfigHome().string();
        auto created = ControlHost::CreateByProgId(kTessalineControlProgId);
        ASSERT_TRUE(created) << created.Reason();
        m_host = std::move(created).Value();
        m_real = std::make_unique<DispatchLogoControl>(*m_host);
        control = std::make_unique<test::RecordingControl>(*m_real);
        form = std::make_unique<frmCorvido>(services, services, m_host.get(), control.get());
        form->Load();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    void TearDown() override {
        if (form) {
            form->close();
        }
        form.reset();
        control.reset();
        m_real.reset();
        m_host.reset();
        m_home.reset();
        PrivateCupsTest::TearDown();
    }

    // An option button takes clicks on its circle and caption only: aim at the circle.
    void Click(Ctl which) {
        QWidget* widget = form->Control(which);
        const QPoint at = qobject_cast<QRadioButton*>(widget) != nullptr
                              ? QPoint(8, widget->height() / 2)
                              : widget->rect().center();
        QTest::mouseClick(widget, Qt::LeftButton, {}, at);
    }
    void ChoosePrinter(const QString& name) {
        auto* combo = qobject_cast<QComboBox*>(form->Control(Ctl::cboPrinter));
        const int index = combo->findText(name);
        ASSERT_GE(index, 0) << name.toStdString();
        combo->setCurrentIndex(index);
    }
    std::string AddLogo(const std::string& name, int width, int height) {
        const std::string path = (m_program / name).string();
        EXPECT_TRUE(test::WriteFile(path, test::Make24(width, height, [](int, int) {
                                        return test::Bgr{0, 0, 0};
                                    })));
        services.choices.push_back({path, name});
        Click(Ctl::cmdSearch);
        return path;
    }
    // Clicks the command and returns what the queue's device received for it.
    Bytes Spooled(Ctl command) {
        return NextJob(
                   kQueue, [&] { Click(command); }, ControlName(command))
            .bytes;
    }
    std::string Title() const { return form->Logic().Title(); }

    test::ScriptedServices services;
    std::unique_ptr<test::RecordingControl> control;
    std::unique_ptr<frmCorvido> form;

private:
    std::optional<test::TempHome> m_home;
    std::filesystem::path m_program;
    std::unique_ptr<ControlHost> m_host;
    std::unique_ptr<DispatchLogoControl> m_real;
};

TEST_F(WindowOnCups, UploadPrintAllAndEraseReachTheQueue) {
    auto* combo = qobject_cast<QComboBox*>(form->Control(Ctl::cboPrinter));
    QStringList offered;
    for (int i = 0; i < combo->count(); ++i) {
        offered << combo->itemText(i);
    }
    ASSERT_TRUE(offered.contains("THERMAL #1")) << offered.join(", ").toStdString();
    EXPECT_TRUE(offered.contains("THERMAL #12"));
    ChoosePrinter("THERMAL #1");
    AddLogo("a.bmp", 16, 8);
    AddLogo("b.bmp", 8, 16);
    ASSERT_EQ(form->Logic().Files()->xCount(), 2);

    Bytes expected{0x1B, 0x40, 0x1C, 0x71, 0x02};
    for (const Bytes& image : {BlackImage(16, 8), BlackImage(8, 16)}) {
        expected.insert(expected.end(), image.begin(), image.end());
    }
    EXPECT_EQ(Spooled(Ctl::cmdUpload), expected);
    EXPECT_EQ(services.sleeps, (std::vector<int32_t>{2000, 5000}));
    ASSERT_EQ(services.prompts.size(), 2u);
    EXPECT_EQ(services.prompts[1].text.substr(0, 52),
              "Upload finished, and Writing of bit image completed.");

    Click(Ctl::optMode_1);
    const Bytes all = Spooled(Ctl::cmdPrint);
    ASSERT_EQ(all.size(), 255u * 4 + 4);
    EXPECT_EQ(Bytes(all.begin(), all.begin() + 8),
              (Bytes{0x1C, 0x70, 0x01, 0x31, 0x1C, 0x70, 0x02, 0x31}));
    EXPECT_EQ(Bytes(all.end() - 4, all.end()), (Bytes{0x1D, 0x56, 0x42, 0x01}));
    ASSERT_EQ(services.prompts.size(), 3u);
    EXPECT_EQ(services.prompts[2].text, "Printout success.");

    EXPECT_EQ(Spooled(Ctl::Cmd_Erase), kEraseStream);
    ASSERT_EQ(services.prompts.size(), 5u);
    EXPECT_EQ(services.prompts[3].title.value_or(""), "Delete");
    EXPECT_EQ(services.prompts[4].text.substr(0, 52),
              "Upload finished, and Cleaning of NV Image completed.");
    EXPECT_EQ(form->Logic().PrinterName(), "THERMAL #1");
}

// The design's message comes first; CUPS's own words for what became of
// the job follow on a line of their own.
TEST_F(WindowOnCups, FailedJobsShowTheCodeAndCupsReason) {
    const struct {
        const char* printer;
        std::string code;  // in the printout's title
        std::string words; // below the message
    } cases[] = {
        {"THERMAL #3", "-2", "CUPS refused the job"},
        {"THERMAL #4", "-3", "the queue \"THERMAL_STOPPED\" is stopped, job "},
    };
    AddLogo("a.bmp", 16, 8);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.printer);
        services.prompts.clear();
        ChoosePrinter(c.printer);
        Click(Ctl::optRange_1);
        qobject_cast<QLineEdit*>(form->Control(Ctl::txtRange))->setText("7");
        Click(Ctl::cmdPrint);
        ASSERT_EQ(services.prompts.size(), 1u);
        const test::Prompt& prompt = services.prompts[0];
        const std::string first = "Communication error. Can not be transmitted.\r\n";
        EXPECT_EQ(prompt.text.substr(0, first.size()), first) << prompt.text;
        EXPECT_NE(prompt.text.find(c.words, first.size()), std::string::npos) << prompt.text;
        EXPECT_EQ(prompt.title.value_or(""), Title() + c.code);
    }
}

} // namespace
} // namespace tessaline
