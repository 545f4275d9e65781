// SPDX-License-Identifier: MIT
// The "Printers" tab with the real control and a virtual printer served on
// loopback: a printer chosen by its address, its status and keys read, a PNG
// logo stored fitted and dithered, printed and deleted; the keyboard, the
// Korean texts and what the window remembers.
// moc reads this file for the test class alone; the project's headers would
// lead it into the C++20 library headers it cannot read.
#ifndef Q_MOC_RUN
#include "DotsPreview.h"
#include "WindowFixture.h"
#include "app/gui/PrintersPage.h"
#include "app/gui/frmCorvido.h"
#include "platform/PrinterCommandsFile.h"
#include "tests/support/BmpBuilder.h"
#include "tests/support/CliRunner.h"
#include "tests/support/Files.h"
#include "tests/support/PictureBuilder.h"
#include "tests/support/ServedPrinter.h"
#endif

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QtTest>
#include <map>
#include <set>

using namespace tessaline;

class PrintersTabTest : public test::WindowFixture {
    Q_OBJECT

private:
    void Open(int32_t codePage = 1252) {
        m_services->codePage = codePage;
        m_form =
            std::make_unique<frmCorvido>(*m_services, *m_services, m_host.get(), m_control.get());
        m_form->Load();
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }
    PrintersPage& Page() const { return m_form->Printers(); }
    QWidget* W(PCtl control) const { return Page().Control(control); }
    QString Label(PCtl control) const { return qobject_cast<QLabel*>(W(control))->text(); }
    void Click(PCtl control) {
        QVERIFY2(W(control)->isEnabled(), tessaline::PageControlName(control));
        QTest::mouseClick(W(control), Qt::LeftButton);
        Page().Settle();
    }
    // Types the printer into the box and presses Enter, as a user does.
    void ChoosePrinter(const std::string& typed) {
        auto* box = qobject_cast<QComboBox*>(W(PCtl::cboPrinterAddress));
        qobject_cast<QTabWidget*>(m_form->Control(Ctl::SSTab))->setCurrentIndex(1);
        box->lineEdit()->clear();
        QTest::keyClicks(box->lineEdit(), QString::fromStdString(typed));
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        Page().Settle();
    }
    std::string Address() const {
        return "127.0.0.1:" + m_served->Address().substr(m_served->Address().rfind(':') + 1);
    }
    std::string Keys() const {
        const auto listed = m_cli->Run("nv list " + m_served->Address() + " --json");
        return listed.out;
    }
    QStringList Rows() const {
        QStringList rows;
        auto* list = qobject_cast<QTreeWidget*>(W(PCtl::lstKeys));
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            rows << list->topLevelItem(i)->text(0) + " " + list->topLevelItem(i)->text(1);
        }
        return rows;
    }

    std::unique_ptr<test::CliRunner> m_cli;
    std::unique_ptr<test::ServedPrinter> m_served;

private slots:
    void initTestCase() {
        StartTestHome();
        m_cli = std::make_unique<test::CliRunner>();
        QCOMPARE(m_cli->Run("vprinter add Front --nv-graphics 262144").status, 0);
        m_served = std::make_unique<test::ServedPrinter>(*m_cli, "Front");
        QVERIFY(!m_served->Address().empty());
    }
    void cleanupTestCase() { m_served.reset(); }
    void init() { StartWindowParts(); }
    void cleanup() { StopWindowParts(); }

    void aBareAddressIsAskedAndShown() {
        Open();
        ChoosePrinter(Address());
        QCOMPARE(qobject_cast<QComboBox*>(W(PCtl::cboPrinterAddress))->currentText(),
                 QString::fromStdString(m_served->Address() + ""));
        QVERIFY2(Label(PCtl::lblReady).endsWith("ready"), qPrintable(Label(PCtl::lblReady)));
        QCOMPARE(Label(PCtl::lblModel), QString("Model : Virtual"));
        QCOMPARE(Label(PCtl::lblPaper), QString("Paper width : 576 dots, as the printer answers"));
        QCOMPARE(Label(PCtl::lblSerial), QString("Serial number : Front"));
        QVERIFY(Label(PCtl::lblCommandSet).contains("ESC/POS"));
        auto* bar = qobject_cast<QProgressBar*>(W(PCtl::barMemory));
        QCOMPARE(bar->maximum(), 262144);
        QVERIFY2(Label(PCtl::lblMemory).contains("of 262,144 bytes used"),
                 qPrintable(Label(PCtl::lblMemory)));
        QVERIFY(W(PCtl::cmdRefresh)->isEnabled());
        QVERIFY(W(PCtl::cmdFindPrinters)->isEnabled());
        QVERIFY(!W(PCtl::cmdFindPrinters)->toolTip().isEmpty());
        // The address is kept for next time, in the printer box's list.
        auto* box = qobject_cast<QComboBox*>(W(PCtl::cboPrinterAddress));
        QVERIFY(box->findText(QString::fromStdString(m_served->Address())) >= 0);
        QVERIFY(box->findText("THERMAL #1") >= 0);
    }

    // "Find printers..." asks every address of the networks it is given (here
    // loopback alone, at the served printer's port) and offers what answered.
    void findPrintersOffersWhatAnswered() {
        const std::string port = m_served->Address().substr(m_served->Address().rfind(':') + 1);
        m_services->printerPort = static_cast<uint16_t>(std::stoi(port));
        Open();
        Click(PCtl::cmdFindPrinters);
        QCOMPARE(Label(PCtl::lblWork),
                 QString("This computer is on no network of /22 or smaller to look in; type an "
                         "address instead."));
        m_services->networks = {"127.0.0.1", "127.0.0.2/32"};
        Click(PCtl::cmdFindPrinters);
        QCOMPARE(Label(PCtl::lblWork),
                 QString::fromStdString("Found 1: " + m_served->Address() +
                                        " (Tessaline Virtual). Choose one in the printer box."));
        auto* box = qobject_cast<QComboBox*>(W(PCtl::cboPrinterAddress));
        QVERIFY(box->findText(QString::fromStdString(m_served->Address())) >= 0);
        QVERIFY(W(PCtl::cmdFindPrinters)->isEnabled());
        // None answering is said so, with where it looked.
        m_services->printerPort = 1;
        Click(PCtl::cmdFindPrinters);
        QCOMPARE(Label(PCtl::lblWork),
                 QString("No printer answered at the 2 addresses of 127.0.0.1, 127.0.0.2/32."));
    }

    // "Print this logo on every receipt" sets the printer's own top logo to
    // the chosen key, reads it back and shows it; unticked, it clears it.
    void theChosenLogoOnEveryReceipt() {
        Open();
        ChoosePrinter(Address());
        auto* box = qobject_cast<QCheckBox*>(W(PCtl::chkAutoLogo));
        QVERIFY(!box->isEnabled()); // no key chosen yet
        QVERIFY2(box->toolTip().endsWith("Prints by itself: nothing"), qPrintable(box->toolTip()));
        QTest::keyClicks(W(PCtl::txtKey), "A1");
        Page().Settle();
        QVERIFY(box->isEnabled());
        QVERIFY(!box->isChecked());
        QTest::mouseClick(box, Qt::LeftButton);
        Page().Settle();
        QCOMPARE(QString::fromStdString(Page().Logic().WorkText()),
                 QString("Prints by itself: A1,,center"));
        QVERIFY(box->isChecked());
        QVERIFY2(m_cli->Run("nv auto " + m_served->Address()).out.find("A1") != std::string::npos,
                 m_cli->Run("nv auto " + m_served->Address()).out.c_str());
        // Asked again, the printer still says so.
        Click(PCtl::cmdRefresh);
        QVERIFY(box->isChecked());
        QTest::mouseClick(box, Qt::LeftButton);
        Page().Settle();
        QCOMPARE(QString::fromStdString(Page().Logic().WorkText()),
                 QString("Prints by itself: nothing"));
        QVERIFY(!box->isChecked());
    }

    void aMalformedAddressSaysWhy() {
        Open();
        ChoosePrinter("127.0.0.5:0");
        QCOMPARE(m_services->prompts.size(), size_t{1});
        QCOMPARE(QString::fromStdString(m_services->prompts[0].text),
                 QString("socket://127.0.0.5:0: the port must be 1 to 65535, not \"0\""));
        QVERIFY(!W(PCtl::cmdRefresh)->isEnabled());
    }

    void storeFittedFloydSteinbergThenPrintAndDelete() {
        Open();
        ChoosePrinter(Address());
        const std::string logo = m_program->File("wide.png");
        test::PngSpec png;
        png.width = 900;
        png.height = 120;
        png.samples = [](int x, int y) {
            const auto v = static_cast<uint16_t>((x * 255 / 900 + y) % 256);
            return std::array<uint16_t, 4>{v, v, v, 255};
        };
        QVERIFY(test::WriteFile(logo, test::MakePng(png)));
        m_services->choices.push_back({logo, "wide.png"});
        Click(PCtl::cmdBrowse);
        QCOMPARE(m_services->dialogs.size(), size_t{1});
        QVERIFY(m_services->dialogs[0].second.find("*.png;*.jpg;*.jpeg;*.gif") !=
                std::string::npos);
        QVERIFY(qobject_cast<QCheckBox*>(W(PCtl::chkFit))->isChecked());
        qobject_cast<QComboBox*>(W(PCtl::cboDither))->setCurrentIndex(2);
        QTest::keyClicks(W(PCtl::txtKey), "W1");
        Page().Settle();
        QCOMPARE(Page().Logic().Settings().method, DotMethod::FloydSteinberg);
        QVERIFY(Page().Logic().Dots());
        QCOMPARE(Page().Logic().Dots()->graphic.width, 576);
        QCOMPARE(Page().Preview().Paper().width(), 576);
        QVERIFY2(Label(PCtl::lblPreviewInfo).contains("576 x 77 dots"),
                 qPrintable(Label(PCtl::lblPreviewInfo)));
        Click(PCtl::cmdStore);
        QVERIFY2(QString::fromStdString(Page().Logic().WorkText()).startsWith("Stored W1"),
                 Page().Logic().WorkText().c_str());
        QVERIFY2(Keys().find("\"W1\"") != std::string::npos, Keys().c_str());
        QVERIFY2(Rows().contains("W1 576 x 77 dots, 5,544 bytes"), qPrintable(Rows().join('|')));
        // The next logo goes to the folder this one came from.
        m_services->choices.push_back({});
        Click(PCtl::cmdBrowse);
        QCOMPARE(m_services->dialogs[1].first, m_program->Path().string());

        auto* list = qobject_cast<QTreeWidget*>(W(PCtl::lstKeys));
        list->setCurrentItem(list->findItems("W1", Qt::MatchExactly, 0).value(0));
        const std::string before = m_cli->Run("vprinter show Front").out;
        Click(PCtl::cmdPrintGraphic);
        QCOMPARE(QString::fromStdString(Page().Logic().WorkText()), QString("Printed W1."));
        QVERIFY(m_cli->Run("vprinter show Front").out != before);

        list->setCurrentItem(list->findItems("W1", Qt::MatchExactly, 0).value(0));
        Click(PCtl::cmdDeleteGraphic);
        QCOMPARE(QString::fromStdString(Page().Logic().WorkText()), QString("Deleted W1."));
        QVERIFY2(Keys().find("\"W1\"") == std::string::npos, Keys().c_str());
        QVERIFY(!Rows().join('|').contains("W1"));
        QVERIFY(m_services->prompts.empty());
    }

    // A printer kept as StarPRNT is asked Star's questions and stores by key
    // in its own language; one kept as Star Line Mode keeps no graphics by
    // key; neither is sent the ESC/POS test receipt.
    void aStarPrinterIsAskedAndStoredInItsLanguage() {
        QCOMPARE(m_cli->Run("vprinter add StarPrnt --commands star-prnt").status, 0);
        QCOMPARE(m_cli->Run("vprinter add StarLine --commands star-line").status, 0);
        const test::ServedPrinter prnt(*m_cli, "StarPrnt");
        const test::ServedPrinter line(*m_cli, "StarLine");
        QVERIFY(KeepPrinterCommands(PrinterCommandsFile(), prnt.Address(), "star-prnt"));
        QVERIFY(KeepPrinterCommands(PrinterCommandsFile(), line.Address(), "star-line"));
        Open();
        ChoosePrinter(prnt.Address());
        QVERIFY2(Label(PCtl::lblReady).endsWith("ready"), qPrintable(Label(PCtl::lblReady)));
        QCOMPARE(Label(PCtl::lblMaker), QString("Maker : Star"));
        QVERIFY2(Label(PCtl::lblCommandSet).contains("StarPRNT"),
                 qPrintable(Label(PCtl::lblCommandSet)));
        QVERIFY(!W(PCtl::cmdTestReceipt)->isEnabled());
        QVERIFY(W(PCtl::cmdTestReceipt)->toolTip().contains("Star printer"));
        const std::string logo = m_program->File("star.bmp");
        test::WriteBmp(logo, 96, 40, 24,
                       [](int x, int) { return static_cast<uint8_t>(x < 48 ? 0 : 255); });
        m_services->choices.push_back({logo, "star.bmp"});
        Click(PCtl::cmdBrowse);
        QTest::keyClicks(W(PCtl::txtKey), "S1");
        Page().Settle();
        Click(PCtl::cmdStore);
        QVERIFY2(QString::fromStdString(Page().Logic().WorkText()).startsWith("Stored S1"),
                 Page().Logic().WorkText().c_str());
        const auto listed = m_cli->Run("nv list " + prnt.Address() + " --commands star-prnt");
        QVERIFY2(listed.out.find("S1") != std::string::npos, listed.out.c_str());
        QVERIFY(m_services->prompts.empty());

        ChoosePrinter(line.Address());
        QVERIFY2(Label(PCtl::lblCommandSet).contains("Star Line Mode"),
                 qPrintable(Label(PCtl::lblCommandSet)));
        QVERIFY(!W(PCtl::cmdStore)->isEnabled());
        QVERIFY(W(PCtl::cmdStore)->toolTip().contains("by number"));
        QVERIFY(!W(PCtl::cmdDeleteAll)->isEnabled());
        QVERIFY(!W(PCtl::cmdTestReceipt)->isEnabled());
        // An ESC/POS printer chosen next has its actions and no Star tips.
        ChoosePrinter(Address());
        QVERIFY(W(PCtl::cmdTestReceipt)->isEnabled());
        QVERIFY(W(PCtl::cmdTestReceipt)->toolTip().isEmpty());
    }

    void deleteAllAsksFirst() {
        QCOMPARE(m_cli
                     ->Run("nv store " + m_served->Address() + " Z9 " +
                           test::CliRunner::Quote(PROJECT_SAMPLE_LOGO))
                     .status,
                 0);
        Open();
        ChoosePrinter(Address());
        m_services->answers = {MsgAnswer::No};
        Click(PCtl::cmdDeleteAll);
        QCOMPARE(m_services->prompts.size(), size_t{1});
        QVERIFY(Keys().find("\"Z9\"") != std::string::npos);
        Click(PCtl::cmdDeleteAll);
        QVERIFY2(Keys().find("\"keys\": []") != std::string::npos, Keys().c_str());
        QVERIFY(!W(PCtl::cmdDeleteAll)->isEnabled());
    }

    // Every control takes the focus by Tab, and every caption's mnemonic is its own.
    void everyControlIsReachableByKeyboard() {
        Open();
        std::map<QChar, QString> mnemonics;
        const auto take = [&mnemonics](const QString& text, const QString& who) {
            const qsizetype at = text.indexOf('&');
            if (at < 0 || at + 1 >= text.size()) {
                return false;
            }
            const QChar key = text[at + 1].toLower();
            const auto [it, fresh] = mnemonics.emplace(key, who);
            if (!fresh) {
                qWarning("%s and %s share the mnemonic %c", qPrintable(it->second), qPrintable(who),
                         key.toLatin1());
            }
            return fresh;
        };
        QVERIFY(take(qobject_cast<QTabWidget*>(m_form->Control(Ctl::SSTab))->tabText(1), "tab"));
        for (int i = 0; i < kPageControlCount; ++i) {
            const auto id = static_cast<PCtl>(i);
            QWidget* widget = W(id);
            const QString name = PageControlName(id);
            if (qobject_cast<QLabel*>(widget) || widget->inherits("QGroupBox") ||
                widget->inherits("QProgressBar")) {
                auto* label = qobject_cast<QLabel*>(widget);
                if (label != nullptr && label->buddy() != nullptr) {
                    QVERIFY2(take(label->text(), name), qPrintable(name));
                }
                continue;
            }
            QVERIFY2(widget->focusPolicy() & Qt::TabFocus, qPrintable(name));
            if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
                QVERIFY2(take(button->text(), name), qPrintable(name));
            }
        }
        // Every field has a caption that leads to it.
        for (PCtl field :
             {PCtl::cboPrinterAddress, PCtl::lstKeys, PCtl::txtKey, PCtl::cboDither,
              PCtl::sldThreshold, PCtl::sldBrightness, PCtl::cboPaperWidth, PCtl::cboZoom}) {
            bool led = false;
            for (QLabel* label : Page().findChildren<QLabel*>()) {
                led = led || label->buddy() == W(field);
            }
            QVERIFY2(led, PageControlName(field));
        }
    }

    void koreanTextsWithCodePage949() {
        Open(949);
        QCOMPARE(qobject_cast<QTabWidget*>(m_form->Control(Ctl::SSTab))->tabText(1),
                 QString("프린터(&P)"));
        QCOMPARE(qobject_cast<QAbstractButton*>(W(PCtl::cmdStore))->text(), QString("저장(&S)"));
        QCOMPARE(qobject_cast<QTreeWidget*>(W(PCtl::lstKeys))->headerItem()->text(1),
                 QString("크기"));
        QCOMPARE(qobject_cast<QComboBox*>(W(PCtl::cboZoom))->itemText(0), QString("창에 맞춤"));
        // The first tab keeps its own.
        QCOMPARE(qobject_cast<QTabWidget*>(m_form->Control(Ctl::SSTab))->tabText(0),
                 QString("프린터 드라이버를 이용 로고 업로드"));
    }

    void theSizeAndTheTabAreRemembered() {
        Open();
        qobject_cast<QTabWidget*>(m_form->Control(Ctl::SSTab))->setCurrentIndex(1);
        const QSize larger = m_form->size() + QSize(120, 80);
        m_form->resize(larger);
        m_form->close();
        m_form.reset();
        Open();
        QCOMPARE(qobject_cast<QTabWidget*>(m_form->Control(Ctl::SSTab))->currentIndex(), 1);
        QCOMPARE(m_form->size(), larger);
        // The tab grows with the window; Close keeps its distance from the bottom.
        const QWidget* close = m_form->Control(Ctl::cmdClose);
        QCOMPARE(m_form->height() - (close->y() + close->height()),
                 m_form->Pixels(9045) - m_form->Pixels(8460) - m_form->Pixels(375));
    }
};

QTEST_MAIN(PrintersTabTest)
#include "PrintersTabTest.moc"
