// SPDX-License-Identifier: MIT
#include "MainWindowTexts.h"
#include "RecordingControl.h"
#include "TessalineHostWidget.h"
#include "WindowFixture.h"
#include "app/core/DispatchLogoControl.h"
#include "app/gui/frmCorvido.h"
#include "base/BuildVersion.h"
#include "platform/component/ControlHost.h"
#include "platform/component/LibraryRegistration.h"
#include "platform/virtual/VirtualPrinterBackend.h"
#include "tests/support/BmpBuilder.h"
#include "tests/support/Files.h"
#include "tests/support/PictureBuilder.h"
#include "tests/support/ScriptedServices.h"
#include "tests/support/TempFolder.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <filesystem>
#include <memory>
#include <unistd.h>

using namespace tessaline;
using tessaline::test::ReadText;
using tessaline::test::ScriptedServices;
using tessaline::test::TempFolder;
using tessaline::test::WriteBmp;
using tessaline::test::WriteText;

Q_DECLARE_METATYPE(tessaline::Ctl)

class MainWindowTest : public tessaline::test::WindowFixture {
    Q_OBJECT

private:
    // Starts the window as the program does: created, loaded, shown.
    void Open(bool withControl = true, const std::string& controlError = {}) {
        m_form =
            std::make_unique<frmCorvido>(*m_services, *m_services, m_host.get(),
                                         withControl ? m_control.get() : nullptr, controlError);
        m_form->Load();
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }
    std::string Settings() const { return m_program->File("CorvidoFiles.ini"); }
    // A 24-bit logo of width x height in the program's folder.
    std::string Logo(const std::string& name, int width, int height, uint16_t bits = 24) {
        const std::string path = m_program->File(name);
        WriteBmp(path, width, height, bits);
        return path;
    }
    void SaveList(const std::vector<clsFile>& files) {
        std::string text = "[LOGO]\n";
        int k = 0;
        for (const clsFile& file : files) {
            text += "Logofile" + std::to_string(++k) + "=" + file.mstrFileName + "|" +
                    file.mstrFileTitle + "|" + std::to_string(file.mlngSize) + "|" +
                    std::to_string(file.mlngHeight) + "|" + std::to_string(file.mlngWidth) + "\n";
        }
        WriteText(Settings(), text);
    }
    QWidget* W(Ctl control) const { return m_form->Control(control); }
    QTreeWidget* List() const { return qobject_cast<QTreeWidget*>(W(Ctl::ListView_0)); }
    std::string T(Ctl control) const { return m_form->Text(control); }
    std::vector<std::string> Column(int column) const {
        std::vector<std::string> out;
        for (int i = 0; i < List()->topLevelItemCount(); ++i) {
            out.push_back(List()->topLevelItem(i)->text(column).toStdString());
        }
        return out;
    }
    void ClickItem(int index) {
        QTreeWidgetItem* item = List()->topLevelItem(index - 1);
        QVERIFY(item != nullptr);
        const QRect rect = List()->visualItemRect(item);
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, rect.center());
    }
    void Add(const std::string& path) {
        m_services->choices.push_back({path, std::filesystem::path(path).filename().string()});
        QTest::mouseClick(W(Ctl::cmdSearch), Qt::LeftButton);
    }
    // A press on the slider's right end, as the user makes it.
    void PressSlider() {
        QWidget* slider = W(Ctl::Slider1);
        const QPoint end(slider->width() - 2, slider->height() / 2);
        QTest::mousePress(slider, Qt::LeftButton, {}, end);
        QTest::mouseRelease(slider, Qt::LeftButton, {}, end);
    }
    bool PictureShown(Ctl image) const {
        const auto* label = qobject_cast<QLabel*>(W(image));
        return !label->pixmap().isNull();
    }

private slots:
    void initTestCase() { StartTestHome(); }

    void init() { StartWindowParts(); }

    void cleanup() { StopWindowParts(); }

    void everyControlAtItsPlaceWithItsKindAndText() {
        // Not loaded: the form as designed.
        m_form =
            std::make_unique<frmCorvido>(*m_services, *m_services, m_host.get(), m_control.get());
        struct Row {
            const char* name;
            const char* kind;
            int x, y, w, h;
            const char* text;
        };
        const Row rows[] = {
            {"SSTab", "QTabWidget", 120, 90, 12480, 8235, nullptr},
            {"cmdClose", "QPushButton", 5700, 8460, 1635, 375, "Close"},
            {"Tessaline", "TessalineHostWidget", 1080, 8520, 2295, 375, nullptr},
            {"ListView_0", "QTreeWidget", 180, 680, 4215, 2895, nullptr},
            {"cmdSearch", "QPushButton", 240, 3680, 1275, 375, "Open file..."},
            {"cmdRemove", "QPushButton", 1680, 3680, 1275, 375, "Remove"},
            {"cmdReset", "QPushButton", 3120, 3680, 1275, 375, "Reset"},
            {"Frame1_5", "QGroupBox", 180, 4160, 4215, 975, ""},
            {"lblFiles_0", "QLabel", 180, 240, 3735, 315, "Logo files : "},
            {"lblSize_0", "QLabel", 180, 600, 3735, 315, "Logo size total : "},
            {"Frame1_9", "QGroupBox", 180, 5235, 4215, 975, ""},
            {"lblHeight", "QLabel", 180, 240, 3615, 315, "Height : "},
            {"lblWidth", "QLabel", 180, 600, 3735, 315, "Width : "},
            {"Frame1_4", "QGroupBox", 180, 6435, 4215, 1455, "About"},
            {"Image1", "QLabel", 120, 180, 2280, 690, nullptr},
            {"lblCopyright_1", "QLabel", 180, 810, 3075, 255, nullptr},
            {"lblCopyright_0", "QLabel", 180, 1080, 3075, 255, nullptr},
            {"lblOrigin", "QLabel", 4560, 440, 2055, 255, "Original  Image"},
            {"Picture1", "QFrame", 4560, 680, 3375, 2535, nullptr},
            {"imgLogo", "QLabel", 0, 0, 975, 795, nullptr},
            {"Frame4", "QGroupBox", 4560, 3315, 3375, 1695, "HalfTone"},
            {"Label14", "QLabel", 120, 360, 615, 255, "Method"},
            {"optImageMode_0", "QRadioButton", 840, 300, 855, 375, "None"},
            {"optImageMode_1", "QRadioButton", 1680, 360, 1575, 255, "Error Diffusion"},
            {"Label13", "QLabel", 120, 660, 1095, 255, "Brightness"},
            {"Label12", "QLabel", 480, 1020, 735, 255, "Bright"},
            {"Label11", "QLabel", 2400, 1020, 735, 255, "Dark"},
            {"Slider1", "QSlider", 405, 1320, 2775, 150, nullptr},
            {"lblPrint", "QLabel", 4560, 5115, 2175, 255, "Printed  Image"},
            {"Picture2", "QFrame", 4560, 5355, 3375, 2535, nullptr},
            {"imgLogo1", "QLabel", 0, 0, 975, 795, nullptr},
            {"Frame1_6", "QGroupBox", 8040, 560, 4215, 3855, "Logo Printout"},
            {"Label1_10", "QLabel", 120, 420, 1515, 255, "Printing Range :"},
            {"Frame1_10", "QFrame", 1680, 360, 2295, 900, nullptr},
            {"optRange_0", "QRadioButton", 60, 40, 2175, 435, "All"},
            {"optRange_1", "QRadioButton", 60, 530, 2175, 315, "Selection"},
            {"txtRange", "QLineEdit", 1980, 1260, 915, 300, ""},
            {"Label1_9", "QLabel", 120, 1740, 1515, 255, "Quality :"},
            {"Frame1_11", "QFrame", 1680, 1680, 2295, 1515, nullptr},
            {"optMode_0", "QRadioButton", 60, 60, 2175, 315, "Single High&&Wide"},
            {"optMode_1", "QRadioButton", 60, 420, 2175, 315, "Double Wide"},
            {"optMode_2", "QRadioButton", 60, 780, 2175, 315, "Double High"},
            {"optMode_3", "QRadioButton", 60, 1140, 2175, 315, "Double High&&Wide"},
            {"cmdPrint", "QPushButton", 1320, 3360, 1635, 375, "Printout"},
            {"Label1_1", "QLabel", 8040, 5280, 1275, 255, "Printer Name :"},
            {"cboPrinter", "QComboBox", 9360, 5240, 2895, 0, nullptr},
            {"cmdUpload", "QPushButton", 8160, 5720, 1635, 375, "Upload"},
            {"Cmd_Erase", "QPushButton", 10600, 5720, 1635, 375, "Erase"},
        };
        QWidget* tab = m_form->findChild<QWidget*>("SSTab");
        QWidget* page = m_form->findChild<QWidget*>("SSTab_Tab0");
        const auto px = [this](int twips) { return m_form->Pixels(twips); };
        QCOMPARE(m_form->size(), QSize(px(12735), px(9045)));
        QCOMPARE(m_form->windowTitle(), QStringLiteral("Halvering 2.11"));
        QCOMPARE(m_form->windowIcon().availableSizes(), QList<QSize>{QSize(128, 128)});
        QCOMPARE(m_form->font().family(), QStringLiteral("Arial"));
        QCOMPARE(m_form->font().pointSize(), 9);
        for (const Row& row : rows) {
            QWidget* widget = m_form->findChild<QWidget*>(row.name);
            QVERIFY2(widget != nullptr, row.name);
            QVERIFY2(widget->inherits(row.kind), row.name);
            // Children of the tab are placed relative to the tab control.
            const QPoint at =
                widget->parentWidget() == page ? widget->mapTo(tab, QPoint(0, 0)) : widget->pos();
            QCOMPARE(at, QPoint(px(row.x), px(row.y)));
            QCOMPARE(widget->width(), px(row.w));
            if (row.h != 0) {
                QCOMPARE(widget->height(), px(row.h));
            }
            if (row.text != nullptr) {
                int id = 0;
                while (std::string(ControlName(static_cast<Ctl>(id))) != row.name) {
                    ++id;
                }
                QCOMPARE(QString::fromStdString(m_form->Text(static_cast<Ctl>(id))),
                         QString::fromUtf8(row.text));
            }
        }
        // Shown, the tab lays its header out again; its children stay put.
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        QCOMPARE(W(Ctl::ListView_0)->mapTo(tab, QPoint(0, 0)), QPoint(px(180), px(680)));
        QCOMPARE(W(Ctl::Cmd_Erase)->mapTo(tab, QPoint(0, 0)), QPoint(px(10600), px(5720)));
        QCOMPARE(qobject_cast<QTabWidget*>(tab)->tabText(0),
                 QStringLiteral("Logo Upload using Printer Driver"));
        auto* slider = qobject_cast<QSlider*>(W(Ctl::Slider1));
        QCOMPARE(slider->minimum(), 0);
        QCOMPARE(slider->maximum(), 10);
        QCOMPARE(slider->singleStep(), 1);
        QCOMPARE(slider->value(), 5);
        QCOMPARE(qobject_cast<QLabel*>(W(Ctl::lblCopyright_0))->font().pointSizeF(), 8.25);
        QVERIFY(qobject_cast<QLabel*>(W(Ctl::lblCopyright_1))
                    ->text()
                    .endsWith("Halvering Version 2.00"));
        // The build's own version is the About box's tip, its label unchanged.
        QCOMPARE(W(Ctl::Frame1_4)->toolTip().toStdString(), VersionLine("Tessaline"));
    }

    void printersInSpoolerOrderAndNearMissesRefused() {
        TempFolder data;
        VirtualPrinterStore store(data.Path());
        for (const char* name : {"thermal #1", "THERMAL #3", "THERMAL #16", "THERMAL #1 ", "Office",
                                 "THERMAL #1", "THERMAL #15"}) {
            QVERIFY2(store.Add(name, PrinterModel{}).Ok(), name);
        }
        auto backend = std::make_shared<VirtualPrinterBackend>(data.Path());
        auto spooler = std::make_shared<Spooler>();
        spooler->Install(backend);
        m_services->spooler = spooler;
        Open();
        auto* combo = qobject_cast<QComboBox*>(W(Ctl::cboPrinter));
        QStringList items;
        for (int i = 0; i < combo->count(); ++i) {
            items << combo->itemText(i);
        }
        QCOMPARE(items, (QStringList{"THERMAL #3", "THERMAL #1", "THERMAL #15"}));
        QCOMPARE(combo->currentText(), QStringLiteral("THERMAL #3"));
        QVERIFY(m_services->prompts.empty());
    }

    void noDriverMessage_data() {
        QTest::addColumn<int>("codePage");
        QTest::addColumn<QString>("text");
        QTest::newRow("English") << 1252
                                 << "Installed Printer Driver not Exist\r\nPlease install Printer "
                                    "Driver !!!";
        QTest::newRow("Korean") << 949
                                << QString::fromUtf8("설치된 프린터 드라이버가 없습니다.\r\n프린터 "
                                                     "드라이버를 먼저 설치해 주십시오. !!!");
    }
    void noDriverMessage() {
        QFETCH(int, codePage);
        QFETCH(QString, text);
        m_services->codePage = codePage;
        m_services->printers = {"thermal #1", "THERMAL #16", "THERMAL #1 ", "THERMAL#1"};
        SaveList({{Logo("a.bmp", 8, 8), "a.bmp", 8, 8, 8}});
        const std::string before = ReadText(Settings());
        Open();
        QCOMPARE(m_services->prompts.size(), size_t{1});
        const test::Prompt& prompt = m_services->prompts[0];
        QCOMPARE(QString::fromStdString(prompt.text), text);
        QVERIFY(!prompt.title.has_value());
        QVERIFY(prompt.buttons == MsgButtons::Ok);
        QVERIFY(prompt.icon == MsgIcon::None);
        QCOMPARE(m_form->windowTitle(), QStringLiteral("Halvering 2.11"));
        QCOMPARE(List()->columnCount(), 0);
        QVERIFY(m_form->Logic().Files() == nullptr);
        QVERIFY(m_form->Visible(Ctl::Frame1_4));
        for (Ctl control : {Ctl::cmdSearch, Ctl::cmdRemove, Ctl::cmdReset, Ctl::cmdUpload,
                            Ctl::Cmd_Erase, Ctl::cmdPrint, Ctl::optImageMode_0, Ctl::Slider1,
                            Ctl::cboPrinter, Ctl::txtRange, Ctl::ListView_0}) {
            QVERIFY2(!W(control)->isEnabled(), ControlName(control));
        }
        QVERIFY(W(Ctl::cmdClose)->isEnabled());
        PressSlider();
        QVERIFY(!W(Ctl::Slider1)->isEnabled());
        QCOMPARE(m_services->settingsUses, 0);
        QTest::mouseClick(W(Ctl::cmdClose), Qt::LeftButton);
        QVERIFY(!m_form->isVisible());
        QCOMPARE(ReadText(Settings()), before);
        QCOMPARE(m_services->settingsUses, 0);
    }

    void codePageChoosesTexts_data() {
        QTest::addColumn<int>("codePage");
        QTest::newRow("949") << 949;
        QTest::newRow("1252") << 1252;
        QTest::newRow("932") << 932;
    }
    void codePageChoosesTexts() {
        QFETCH(int, codePage);
        m_services->codePage = codePage;
        Open();
        const bool korean = codePage == 949;
        QCOMPARE(m_form->windowTitle().toStdString(),
                 std::string(korean ? kTitleKorean : kTitleEnglish));
        QCOMPARE(m_form->Logic().Title(), m_form->windowTitle().toStdString());
        QCOMPARE(List()->columnWidth(0), m_form->Pixels(korean ? 550 : 450));
        QCOMPARE(List()->columnWidth(1), m_form->Pixels(2600));
        QCOMPARE(List()->columnWidth(2), m_form->Pixels(1100));
        QCOMPARE(List()->headerItem()->text(0), korean ? QString::fromUtf8("순서") : "No");
        QCOMPARE(List()->headerItem()->text(2), korean ? QString::fromUtf8("크기") : "Size");
        QVERIFY(List()->headerItem()->textAlignment(2) & Qt::AlignRight);
        QCOMPARE(m_form->Visible(Ctl::Frame1_4), korean);
        if (korean) {
            // The About box shows both lines whole, and the picture, whose
            // frame reaches into the version label's, leaves them clear.
            const auto* picture = qobject_cast<QLabel*>(W(Ctl::Image1));
            const QImage image = picture->pixmap().toImage();
            for (Ctl line : {Ctl::lblCopyright_1, Ctl::lblCopyright_0}) {
                const auto* label = qobject_cast<QLabel*>(W(line));
                const QRect room = label->contentsRect();
                QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= room.width(),
                         ControlName(line));
                QVERIFY2(label->fontMetrics().height() <= room.height(), ControlName(line));
                const QRect shared = picture->geometry().intersected(label->geometry());
                for (int y = shared.top(); y <= shared.bottom(); ++y) {
                    for (int x = shared.left(); x <= shared.right(); ++x) {
                        const QPoint at = QPoint(x, y) - picture->geometry().topLeft();
                        QVERIFY2(!image.valid(at) || qAlpha(image.pixel(at)) == 0,
                                 ControlName(line));
                    }
                }
            }
        }
        for (const ControlText& entry : kKoreanTexts) {
            if (korean) {
                QCOMPARE(QString::fromStdString(T(entry.control)), QString::fromUtf8(entry.text));
            } else {
                QVERIFY2(T(entry.control) != entry.text, ControlName(entry.control));
            }
        }
        QCOMPARE(T(Ctl::SSTab), korean ? std::string("프린터 드라이버를 이용 로고 업로드")
                                       : std::string("Logo Upload using Printer Driver"));
        QCOMPARE(T(Ctl::cmdReset), std::string("Reset"));
        QCOMPARE(T(Ctl::Frame4), std::string("HalfTone"));
        QCOMPARE(T(Ctl::Label14), std::string("Method"));
        QCOMPARE(T(Ctl::lblFiles_0), std::string("Logo files : 0 / 255"));
    }

    void startupWithEmptyList() {
        Open();
        QCOMPARE(List()->topLevelItemCount(), 0);
        for (Ctl control : {Ctl::optImageMode_0, Ctl::optImageMode_1, Ctl::Slider1, Ctl::cmdUpload,
                            Ctl::cmdPrint}) {
            QVERIFY2(!W(control)->isEnabled(), ControlName(control));
        }
        for (Ctl control :
             {Ctl::Cmd_Erase, Ctl::cmdSearch, Ctl::cmdRemove, Ctl::cmdReset, Ctl::cmdClose}) {
            QVERIFY2(W(control)->isEnabled(), ControlName(control));
        }
        QCOMPARE(T(Ctl::lblFiles_0), std::string("Logo files : 0 / 255"));
        QCOMPARE(T(Ctl::lblSize_0), std::string("Logo size totoal : 0 / 250 KBytes"));
        QVERIFY(m_form->Value(Ctl::optRange_0));
        QVERIFY(m_form->Value(Ctl::optMode_0));
        QVERIFY(m_form->Value(Ctl::optImageMode_0));
        QCOMPARE(m_form->Logic().Brightness(), 5);
        QCOMPARE(m_form->Logic().ImageMode(), 0);
        QVERIFY(m_control->previews.empty());
        QVERIFY(!PictureShown(Ctl::imgLogo1));
        QVERIFY(m_services->prompts.empty());
    }

    void startupWithRestoredList() {
        const std::string grey = Logo("grey.bmp", 100, 50);
        const std::string mono = Logo("mono.bmp", 16, 8, 1);
        SaveList({{grey, "grey.bmp", 728, 50, 100}, {mono, "mono.bmp", 16, 8, 16}});
        Open();
        QCOMPARE(Column(0), (std::vector<std::string>{"1", "2"}));
        QCOMPARE(Column(1), (std::vector<std::string>{"grey.bmp", "mono.bmp"}));
        QCOMPARE(Column(2), (std::vector<std::string>{"728", "16"}));
        QCOMPARE(m_form->SelectedIndex(), 1);
        for (Ctl control : {Ctl::optImageMode_0, Ctl::optImageMode_1, Ctl::Slider1, Ctl::cmdUpload,
                            Ctl::cmdPrint}) {
            QVERIFY2(W(control)->isEnabled(), ControlName(control));
        }
        QCOMPARE(T(Ctl::lblFiles_0), std::string("Logo files : 2 / 255"));
        QCOMPARE(T(Ctl::lblSize_0), std::string("Logo size totoal : 1 / 250 KBytes"));
        // The start-up's own choice of "None" previews the selected entry at
        // the brightness the slider shows.
        QCOMPARE(m_control->previews.size(), size_t{1});
        QCOMPARE(m_control->previews[0].name, grey);
        QCOMPARE(m_control->previews[0].mode, int16_t{0});
        QCOMPARE(m_control->previews[0].brightness, int16_t{5});
        QCOMPARE(m_form->Logic().PreviewFile(), m_work + "/Temp.bmp");
        QVERIFY(PictureShown(Ctl::imgLogo1));
        QCOMPARE(W(Ctl::imgLogo1)->size(), QSize(m_form->Pixels(1000), m_form->Pixels(500)));
    }

    void addAt254And255() {
        const std::string logo = Logo("logo.bmp", 16, 16);
        SaveList(std::vector<clsFile>(254, clsFile{logo, "logo.bmp", 32, 16, 16}));
        Open();
        QCOMPARE(List()->topLevelItemCount(), 254);
        Add(logo);
        QCOMPARE(m_services->dialogs.size(), size_t{1});
        QCOMPARE(m_services->dialogs[0].first, m_services->programFolder);
        QCOMPARE(m_services->dialogs[0].second,
                 std::string("Logo File (*.bmp)|*.bmp|Images (*.bmp;*.png;*.jpg;*.jpeg;*.gif)|"
                             "*.bmp;*.png;*.jpg;*.jpeg;*.gif"));
        QCOMPARE(List()->topLevelItemCount(), 255);
        QCOMPARE(T(Ctl::lblFiles_0), std::string("Logo files : 255 / 255"));
        QVERIFY(m_services->prompts.empty());
        Add(logo);
        QCOMPARE(m_services->dialogs.size(), size_t{1});
        QCOMPARE(List()->topLevelItemCount(), 255);
        QCOMPARE(m_services->prompts.size(), size_t{1});
        QCOMPARE(m_services->prompts[0].text, std::string("Don't read files any more."));
        QCOMPARE(m_services->prompts[0].title.value_or("none"), m_form->Logic().Title());
        QVERIFY(m_services->prompts[0].icon == MsgIcon::Exclamation);
    }

    void sameFileTwice() {
        Open();
        const std::string logo = Logo("shop.bmp", 512, 48);
        Add(logo);
        Add(logo);
        QCOMPARE(Column(0), (std::vector<std::string>{"1", "2"}));
        QCOMPARE(Column(2), (std::vector<std::string>{"3072", "3072"}));
        QCOMPARE(T(Ctl::lblSize_0), std::string("Logo size totoal : 6 / 250 KBytes"));
        QCOMPARE(m_form->Logic().Files()->xGetUploadFileName(), logo + "|" + logo + "|");
        QVERIFY(W(Ctl::cmdUpload)->isEnabled());
    }

    void sizesOfSmallBitmaps_data() {
        QTest::addColumn<int>("side");
        QTest::addColumn<QString>("size");
        QTest::newRow("1 x 1") << 1 << "8";
        QTest::newRow("8 x 8") << 8 << "8";
        QTest::newRow("9 x 9") << 9 << "32";
    }
    void sizesOfSmallBitmaps() {
        QFETCH(int, side);
        QFETCH(QString, size);
        Open();
        Add(Logo("small.bmp", side, side));
        QCOMPARE(List()->topLevelItemCount(), 1);
        QCOMPARE(List()->topLevelItem(0)->text(2), size);
        QCOMPARE(m_form->Logic().Files()->xGetHeight(1), side);
    }

    void kilobytesRoundHalfToEven_data() {
        QTest::addColumn<int>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("512") << 512 << "0";
        QTest::newRow("1536") << 1536 << "2";
        QTest::newRow("2560") << 2560 << "2";
        QTest::newRow("3584") << 3584 << "4";
    }
    void kilobytesRoundHalfToEven() {
        QFETCH(int, bytes);
        QFETCH(QString, shown);
        SaveList({{Logo("a.bmp", 8, 8), "a.bmp", bytes, 8, 8}});
        Open();
        QCOMPARE(QString::fromStdString(T(Ctl::lblSize_0)),
                 "Logo size totoal : " + shown + " / 250 KBytes");
    }

    void addRefusesWhatItCannotList() {
        Open();
        // A name the settings file could not carry never reaches the control.
        const std::string barred = Logo("a|b.bmp", 8, 8);
        Add(barred);
        QCOMPARE(m_services->prompts.size(), size_t{1});
        QVERIFY(m_services->prompts[0].text.find("\"|\"") != std::string::npos);
        QVERIFY(m_control->bitmapInfoCalls.empty());

        const std::string junk = m_program->File("junk.bmp");
        WriteText(junk, "this is no bitmap");
        Add(junk);
        QCOMPARE(m_services->prompts.size(), size_t{2});
        QVERIFY(m_services->prompts[1].text.find("cannot be read") != std::string::npos);
        QVERIFY(m_services->prompts[1].text.find(junk) != std::string::npos);

        Add(Logo("tall.bmp", 1, 2305, 1));
        QCOMPARE(m_services->prompts.size(), size_t{3});
        QCOMPARE(m_services->prompts[2].text, std::string("Out of range bitmap file."));
        QVERIFY(m_services->prompts[2].icon == MsgIcon::Exclamation);

        QCOMPARE(List()->topLevelItemCount(), 0);
        // Cancelling the dialog does nothing at all.
        QTest::mouseClick(W(Ctl::cmdSearch), Qt::LeftButton);
        QCOMPARE(m_services->prompts.size(), size_t{3});
        QCOMPARE(m_form->Logic().Files()->xCount(), 0);
    }

    void removeAskedAndAnswered() {
        const std::string a = Logo("a.bmp", 8, 8);
        const std::string b = Logo("b.bmp", 16, 8);
        const std::string c = Logo("c.bmp", 24, 8);
        SaveList({{a, "a.bmp", 8, 8, 8}, {b, "b.bmp", 16, 8, 16}, {c, "c.bmp", 24, 8, 24}});
        Open();
        ClickItem(2);
        m_services->answers.push_back(MsgAnswer::No);
        QTest::mouseClick(W(Ctl::cmdRemove), Qt::LeftButton);
        QCOMPARE(m_services->prompts.size(), size_t{1});
        QCOMPARE(m_services->prompts[0].text,
                 std::string("Do you want to remove all of the selection?"));
        QVERIFY(m_services->prompts[0].buttons == MsgButtons::YesNo);
        QVERIFY(m_services->prompts[0].icon == MsgIcon::None);
        QCOMPARE(Column(1), (std::vector<std::string>{"a.bmp", "b.bmp", "c.bmp"}));

        QTest::mouseClick(W(Ctl::cmdRemove), Qt::LeftButton);
        QCOMPARE(Column(0), (std::vector<std::string>{"1", "2"}));
        QCOMPARE(Column(1), (std::vector<std::string>{"a.bmp", "c.bmp"}));
        QCOMPARE(T(Ctl::lblFiles_0), std::string("Logo files : 2 / 255"));
    }

    void resetEmptiesWithoutAsking() {
        const std::string a = Logo("a.bmp", 8, 8);
        SaveList({{a, "a.bmp", 8, 8, 8}});
        const std::string before = ReadText(Settings());
        Open();
        QTest::mouseClick(W(Ctl::cmdReset), Qt::LeftButton);
        QVERIFY(m_services->prompts.empty());
        QCOMPARE(List()->topLevelItemCount(), 0);
        QCOMPARE(T(Ctl::lblFiles_0), std::string("Logo files : 0 / 255"));
        QCOMPARE(T(Ctl::lblSize_0), std::string("Logo size totoal : 0 / 250 KBytes"));
        for (Ctl control : {Ctl::optImageMode_0, Ctl::optImageMode_1, Ctl::Slider1, Ctl::cmdUpload,
                            Ctl::cmdPrint}) {
            QVERIFY2(!W(control)->isEnabled(), ControlName(control));
        }
        // A press on the disabled slider does nothing at all.
        const size_t previews = m_control->previews.size();
        PressSlider();
        QVERIFY(!W(Ctl::Slider1)->isEnabled());
        QCOMPARE(m_control->previews.size(), previews);
        QCOMPARE(ReadText(Settings()), before);
        // Removing the last entry leaves nothing to ask about.
        QTest::mouseClick(W(Ctl::cmdRemove), Qt::LeftButton);
        QVERIFY(m_services->prompts.empty());
        // The tab's caption clicked with the list empty hides "Original Image";
        // a file added and its row clicked shows it again.
        auto* tabs = qobject_cast<QTabWidget*>(W(Ctl::SSTab));
        QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(0).center());
        QVERIFY(W(Ctl::imgLogo)->isHidden());
        Add(a);
        ClickItem(1);
        QVERIFY(!W(Ctl::imgLogo)->isHidden());
        QVERIFY(PictureShown(Ctl::imgLogo));
        QTest::mouseClick(W(Ctl::cmdReset), Qt::LeftButton);
        m_form->close();
        QVERIFY(!PathIsFile(Settings()));
        QCOMPARE(ReadText(Settings() + ".bak"), before);
    }

    void closingSavesTheList_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("Close button") << false;
        QTest::newRow("close box") << true;
    }
    void closingSavesTheList() {
        QFETCH(bool, closeBox);
        Open();
        const std::string logo = Logo("shop.bmp", 512, 48);
        Add(logo);
        if (closeBox) {
            m_form->close();
        } else {
            QTest::mouseClick(W(Ctl::cmdClose), Qt::LeftButton);
        }
        QVERIFY(!m_form->isVisible());
        QCOMPARE(ReadText(Settings()), "[LOGO]\nLogofile1=" + logo + "|shop.bmp|3072|48|512\n");
        QVERIFY(m_services->prompts.empty());
    }

    void previewSizesAndLabels_data() {
        QTest::addColumn<int>("codePage");
        QTest::addColumn<QString>("height");
        QTest::addColumn<QString>("width");
        QTest::newRow("English") << 1252 << "Height : 50"
                                 << "Width : 100";
        QTest::newRow("Korean") << 949 << QString::fromUtf8("이미지 높이 : 50")
                                << QString::fromUtf8("이미지 폭 : 100");
    }
    void previewSizesAndLabels() {
        QFETCH(int, codePage);
        QFETCH(QString, height);
        QFETCH(QString, width);
        m_services->codePage = codePage;
        const std::string small = Logo("small.bmp", 16, 8);
        const std::string logo = Logo("logo.bmp", 100, 50);
        SaveList({{small, "small.bmp", 16, 8, 16}, {logo, "logo.bmp", 728, 50, 100}});
        Open();
        ClickItem(2);
        QCOMPARE(m_form->SelectedIndex(), 2);
        QCOMPARE(QString::fromStdString(T(Ctl::lblHeight)), height);
        QCOMPARE(QString::fromStdString(T(Ctl::lblWidth)), width);
        QCOMPARE(W(Ctl::imgLogo)->geometry(),
                 QRect(0, 0, m_form->Pixels(1000), m_form->Pixels(500)));
        QCOMPARE(W(Ctl::imgLogo1)->geometry(),
                 QRect(0, 0, m_form->Pixels(1000), m_form->Pixels(500)));
        QVERIFY(PictureShown(Ctl::imgLogo));
        QVERIFY(PictureShown(Ctl::imgLogo1));
        QCOMPARE(m_control->previews.back().name, logo);
    }

    // PNG, JPEG and GIF logos are listed, sized and shown like BMP files;
    // a one-bit PNG still gets a converted preview.
    void pictureFilesAreListedLikeBitmaps() {
        const auto put = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
            const std::string path = m_program->File(name);
            test::WriteFile(path, bytes);
            return path;
        };
        const std::string png = put(
            "logo.png", test::MakePng({100, 50, 6, 8, false, {}, {}, {}, [](int x, int) {
                                           return std::array<uint16_t, 4>{0, 0, 0, uint16_t(x * 2)};
                                       }}));
        const std::string jpeg = put(
            "photo.jpg", test::MakeJpeg({40, 20, 3, true, 90, [](int x, int) {
                                             return std::array<uint8_t, 4>{uint8_t(x * 6), 90, 30};
                                         }}));
        const std::string gif = put(
            "old.gif", test::MakeGif({9, 17, {{0, 0, 0}, {255, 255, 255}}, 1, false, [](int, int) {
                                          return uint8_t(0);
                                      }}));
        const std::string one =
            put("one.png", test::MakePng({16, 8, 0, 1, false, {}, {}, {}, [](int, int) {
                                              return std::array<uint16_t, 4>{0};
                                          }}));
        Open();
        for (const std::string& file : {png, jpeg, gif, one}) {
            Add(file);
        }
        QCOMPARE(Column(1),
                 (std::vector<std::string>{"logo.png", "photo.jpg", "old.gif", "one.png"}));
        QCOMPARE(Column(2), (std::vector<std::string>{"728", "120", "48", "16"}));
        ClickItem(1);
        QCOMPARE(T(Ctl::lblHeight), std::string("Height : 50"));
        QCOMPARE(T(Ctl::lblWidth), std::string("Width : 100"));
        QVERIFY(PictureShown(Ctl::imgLogo));
        QVERIFY(PictureShown(Ctl::imgLogo1));
        ClickItem(4);
        QVERIFY(m_form->Logic().PreviewFile() != one);
        QVERIFY(PictureShown(Ctl::imgLogo1));
    }

    void oneBitLogoShowsTheFileItself() {
        const std::string mono = Logo("mono.bmp", 16, 8, 1);
        SaveList({{mono, "mono.bmp", 16, 8, 16}});
        Open();
        ClickItem(1);
        QCOMPARE(m_form->Logic().PreviewFile(), mono);
    }

    void modeAndBrightnessFromTheSlider() {
        const std::string logo = Logo("logo.bmp", 40, 20);
        SaveList({{logo, "logo.bmp", 120, 20, 40}});
        Open();
        const std::string heightBefore = T(Ctl::lblHeight);
        QTest::mouseClick(W(Ctl::optImageMode_1), Qt::LeftButton);
        QCOMPARE(m_form->Logic().ImageMode(), 1);
        QVERIFY(m_form->Value(Ctl::optImageMode_1));
        QVERIFY(!m_form->Value(Ctl::optImageMode_0));
        QCOMPARE(m_control->previews.back().mode, int16_t{1});
        QCOMPARE(m_control->previews.back().brightness, int16_t{5});

        // The brightness follows the slider however it moves, a drag or the
        // keys, and the preview with it; a press converts as well.
        auto* slider = qobject_cast<QSlider*>(W(Ctl::Slider1));
        size_t previews = m_control->previews.size();
        slider->setSliderDown(true);
        for (int position : {6, 7, 8, 9}) {
            slider->setSliderPosition(position);
        }
        slider->setSliderDown(false);
        QCOMPARE(m_form->Logic().Brightness(), 9);
        QCOMPARE(m_control->previews.size(), previews + 4);
        QCOMPARE(m_control->previews.back().brightness, int16_t{9});
        slider->setFocus();
        QTest::keyClick(slider, Qt::Key_Right);
        QCOMPARE(slider->value(), 10);
        QCOMPARE(m_form->Logic().Brightness(), 10);
        QCOMPARE(m_control->previews.size(), previews + 5);
        QCOMPARE(m_control->previews.back().brightness, int16_t{10});
        previews = m_control->previews.size();
        QTest::mousePress(slider, Qt::LeftButton, {},
                          QPoint(slider->width() - 2, slider->height() / 2));
        QTest::mouseRelease(slider, Qt::LeftButton, {},
                            QPoint(slider->width() - 2, slider->height() / 2));
        QCOMPARE(m_form->Logic().Brightness(), 10);
        QCOMPARE(m_control->previews.size(), previews + 1);
        QCOMPARE(m_control->previews.back().mode, int16_t{1});
        QCOMPARE(m_control->previews.back().brightness, int16_t{10});
        QVERIFY(slider->isEnabled());

        QTest::mouseClick(W(Ctl::optImageMode_0), Qt::LeftButton);
        QCOMPARE(m_form->Logic().ImageMode(), 0);
        QCOMPARE(m_control->previews.back().mode, int16_t{0});
        QCOMPARE(m_control->previews.back().brightness, int16_t{10});
        QCOMPARE(T(Ctl::lblHeight), heightBefore);
    }

    void deletedPictureLeavesItEmpty() {
        const std::string logo = Logo("gone.bmp", 40, 20);
        SaveList({{logo, "gone.bmp", 120, 20, 40}});
        Open();
        std::filesystem::remove(logo);
        std::filesystem::remove(m_work + "/Temp.bmp");
        ClickItem(1);
        QVERIFY(!PictureShown(Ctl::imgLogo));
        QVERIFY(!PictureShown(Ctl::imgLogo1));
        QVERIFY(m_form->isVisible());
        QCOMPARE(T(Ctl::lblWidth), std::string("Width : 40"));
    }

    void controlCallHoldsCommandsOff() {
        const std::string logo = Logo("logo.bmp", 40, 20);
        Open();
        bool closedDuring = true;
        size_t dialogsDuring = 0;
        m_control->during = [&] {
            QVERIFY(m_form->Logic().Busy());
            closedDuring = m_form->close();
            m_services->choices.push_back({logo, "logo.bmp"});
            m_form->Logic().cmdSearch_Click();
            m_form->Logic().cmdReset_Click();
            dialogsDuring = m_services->dialogs.size();
        };
        Add(logo);
        QVERIFY(!closedDuring);
        QVERIFY(m_form->isVisible());
        QCOMPARE(dialogsDuring, size_t{1});
        QCOMPARE(List()->topLevelItemCount(), 1);
        QVERIFY(!m_form->Logic().Busy());
        QVERIFY(m_form->close());
    }

    void failedSaveIsReportedOnceAtClosing() {
        const std::string a = Logo("a.bmp", 8, 8);
        SaveList({{a, "a.bmp", 8, 8, 8}});
        const std::string before = ReadText(Settings());
        FileWriteHooks full;
        full.beforeBlock = [](size_t) {
            return std::make_error_code(std::errc::no_space_on_device);
        };
        m_services->writeHooks = full;
        Open();
        Add(Logo("b.bmp", 8, 8));
        QVERIFY(m_services->prompts.empty());
        m_form->close();
        QCOMPARE(m_services->prompts.size(), size_t{1});
        QVERIFY(m_services->prompts[0].icon == MsgIcon::Exclamation);
        QCOMPARE(m_services->prompts[0].title.value_or(""), m_form->Logic().Title());
        QVERIFY(m_services->prompts[0].text.find("No space left") != std::string::npos);
        QCOMPARE(ReadText(Settings()), before);
        m_form.reset();
        QCOMPARE(m_services->prompts.size(), size_t{1});
    }

    void missingControlIsNamedAndItsCommandsStayOff() {
        const std::string saved = ::getenv("XDG_CONFIG_HOME");
        TempFolder empty;
        ::setenv("XDG_CONFIG_HOME", empty.Path().c_str(), 1);
        const auto none = ControlHost::CreateByProgId(kTessalineControlProgId);
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
        QVERIFY(!none);
        const std::string& error = none.Reason();
        QVERIFY(error.find("TESSALINE.TessalineCtrl.1") != std::string::npos);
        QVERIFY(error.find("register") != std::string::npos);

        const std::string a = Logo("a.bmp", 8, 8);
        SaveList({{a, "a.bmp", 8, 8, 8}});
        m_control.reset();
        m_real.reset();
        m_host.reset();
        Open(false, error);
        QCOMPARE(m_services->prompts.size(), size_t{1});
        QCOMPARE(m_services->prompts[0].text, error);
        QCOMPARE(List()->topLevelItemCount(), 1);
        for (Ctl control : {Ctl::cmdSearch, Ctl::optImageMode_0, Ctl::optImageMode_1, Ctl::Slider1,
                            Ctl::cmdUpload, Ctl::Cmd_Erase, Ctl::cmdPrint}) {
            QVERIFY2(!W(control)->isEnabled(), ControlName(control));
        }
        for (Ctl control : {Ctl::cmdRemove, Ctl::cmdReset, Ctl::cmdClose}) {
            QVERIFY2(W(control)->isEnabled(), ControlName(control));
        }
        QTest::mouseClick(W(Ctl::cmdReset), Qt::LeftButton);
        QVERIFY(!W(Ctl::cmdSearch)->isEnabled());
        PressSlider();
        QVERIFY(!W(Ctl::Slider1)->isEnabled());
    }

    void hostedControlDrawsAndOffersItsProperties() {
        Open();
        auto* widget = qobject_cast<TessalineHostWidget*>(W(Ctl::Tessaline));
        const QImage picture = widget->grab().toImage();
        QCOMPARE(picture.pixelColor(picture.width() - 2, picture.height() - 2),
                 QColor(192, 192, 192));
        bool properties = false;
        for (const TsVerbInfo& verb : m_host->Verbs()) {
            properties = properties || verb.verb == TS_VERB_PROPERTIES;
        }
        QVERIFY(properties);
        QString tab;
        QTimer::singleShot(0, this, [&tab] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                if (top->objectName() == "PropertyFrame" && top->isVisible()) {
                    tab = top->findChild<QTabWidget*>()->tabText(0);
                    top->close();
                }
            }
        });
        widget->ShowProperties();
        QCOMPARE(tab, QStringLiteral("General"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
