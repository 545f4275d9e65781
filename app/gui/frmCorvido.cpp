// SPDX-License-Identifier: MIT
// frmCorvido: the main window's widgets, laid out from the form's twips and wired to its rules.

#include "app/gui/frmCorvido.h"

#include "TessalineHostWidget.h"
#include "app/core/AppServices.h"
#include "app/gui/PrintersPage.h"
#include "base/BuildVersion.h"
#include "ui_frmCorvido.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QResizeEvent>
#include <QScreen>
#include <QSlider>
#include <QTreeWidget>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

using tessaline::Ctl;

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

frmCorvido::frmCorvido(tessaline::AppServices& services, tessaline::SystemServices& system,
                       tessaline::ControlHost* host, tessaline::LogoControl* control,
                       std::string controlError, QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::frmCorvido>()), m_programSettings(system) {
    m_ui->setupUi(this);
    m_printers = new PrintersPage(services, system, [this] { return m_logic->Title(); });
    m_printers->setObjectName(QStringLiteral("SSTab_Tab1"));
    m_ui->SSTab->addTab(m_printers, Q(m_printers->Logic().TabCaption()));
    setWindowIcon(ProgramIcon());
    for (int i = 0; i < tessaline::kControlCount; ++i) {
        const auto id = static_cast<Ctl>(i);
        m_controls[static_cast<size_t>(i)] =
            id == Ctl::Form ? this : findChild<QWidget*>(QLatin1String(tessaline::ControlName(id)));
        Q_ASSERT(m_controls[static_cast<size_t>(i)] != nullptr);
    }
    if (const QScreen* screen = this->screen()) {
        m_dpi = screen->logicalDotsPerInchY();
    }
    for (QLabel* label : {m_ui->lblCopyright_0, m_ui->lblCopyright_1}) {
        QFont font = label->font();
        font.setPointSizeF(8.25);
        label->setFont(font);
    }
    m_ui->ListView_0->setColumnCount(0);
    m_ui->ListView_0->header()->setStretchLastSection(false);
    m_ui->Tessaline->SetControl(host);
    LayOutFromTwips();
    PaintAboutPicture();
    // The version label keeps its own text; the build's version and commit
    // are the About box's tip.
    const QString version = QString::fromStdString(tessaline::VersionLine("Tessaline"));
    for (QWidget* about :
         {static_cast<QWidget*>(m_ui->Frame1_4), static_cast<QWidget*>(m_ui->lblCopyright_1)}) {
        about->setToolTip(version);
    }
    m_logic = std::make_unique<tessaline::MainWindowLogic>(*this, services, system, control,
                                                           std::move(controlError));
    m_inputHold =
        std::make_unique<InputHold>(this, [logic = m_logic.get()] { return logic->Busy(); });
    WireEvents();
}

frmCorvido::~frmCorvido() = default;

void frmCorvido::Load() {
    m_logic->Form_Load();
    // The code page as the first tab read it, so both tabs speak one language.
    const int32_t codePage = m_logic->CodePage() != 0 ? m_logic->CodePage() : 1252;
    m_printers->Logic().Load(codePage);
    m_ui->SSTab->setTabText(1, Q(m_printers->Logic().TabCaption()));
    RestorePlacement();
}

void frmCorvido::OpenOnPrinter(const std::string& printer) {
    m_ui->SSTab->setCurrentIndex(1);
    m_printers->Logic().PrinterChosen(printer);
}

void frmCorvido::RestorePlacement() {
    bool wide = false, high = false, onTab = false;
    const int width = QString::fromStdString(m_programSettings.Value("Width")).toInt(&wide);
    const int height = QString::fromStdString(m_programSettings.Value("Height")).toInt(&high);
    const int tab = QString::fromStdString(m_programSettings.Value("Tab")).toInt(&onTab);
    if (wide && high && width >= m_designSize.width() && height >= m_designSize.height() &&
        width <= 16384 && height <= 16384) {
        resize(width, height);
    }
    if (onTab && tab >= 0 && tab < m_ui->SSTab->count()) {
        m_ui->SSTab->setCurrentIndex(tab);
    }
}

void frmCorvido::SavePlacement() {
    const std::pair<const char*, int> values[] = {
        {"Width", width()}, {"Height", height()}, {"Tab", m_ui->SSTab->currentIndex()}};
    for (const auto& [key, value] : values) {
        const std::string text = std::to_string(value);
        // Written only when changed, so that closing writes nothing it need not.
        if (m_programSettings.Value(key) != text) {
            if (auto saved = m_programSettings.SetValue(key, text); !saved) {
                std::fprintf(stderr, "tessaline: %s\n", saved.Reason().c_str());
                return;
            }
        }
    }
}

void frmCorvido::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FollowWindowSize();
}

void frmCorvido::FollowWindowSize() {
    if (!m_designSize.isValid()) {
        return;
    }
    const int dw = std::max(0, width() - m_designSize.width());
    const int dh = std::max(0, height() - m_designSize.height());
    for (QWidget* widget :
         {static_cast<QWidget*>(m_ui->SSTab), static_cast<QWidget*>(m_ui->cmdClose),
          static_cast<QWidget*>(m_ui->Tessaline)}) {
        const QRect r = widget->property("twips").toRect();
        QRect pixels(Pixels(r.x()), Pixels(r.y()), Pixels(r.width()), Pixels(r.height()));
        if (widget == m_ui->SSTab) {
            pixels.setSize(pixels.size() + QSize(dw, dh));
        } else {
            pixels.translate(dw / 2, dh);
        }
        widget->setGeometry(pixels);
    }
}

QIcon frmCorvido::ProgramIcon() {
    // The resources live in a static library: nothing else would pull them in.
    [[maybe_unused]] static const bool registered = [] {
        Q_INIT_RESOURCE(tessaline);
        return true;
    }();
    return QIcon(QStringLiteral(":/tessaline/icon.png"));
}

int frmCorvido::Pixels(int twips) const {
    return static_cast<int>(std::lround(twips * m_dpi / 1440.0));
}

QWidget* frmCorvido::Control(Ctl control) const {
    return m_controls[static_cast<size_t>(control)];
}

void frmCorvido::LayOutFromTwips() {
    const QRect form = property("twips").toRect();
    // The design's size is the smallest; a larger window gives the tabs the room.
    m_designSize = QSize(Pixels(form.width()), Pixels(form.height()));
    setMinimumSize(m_designSize);
    resize(m_designSize);
    for (QWidget* widget : findChildren<QWidget*>()) {
        const QVariant twips = widget->property("twips");
        if (!twips.isValid() || widget->parentWidget() == m_ui->SSTab_Tab0) {
            continue;
        }
        const QRect r = twips.toRect();
        QRect pixels(Pixels(r.x()), Pixels(r.y()), Pixels(r.width()), Pixels(r.height()));
        if (r.height() == 0) {
            pixels.setHeight(widget->sizeHint().height());
        }
        widget->setGeometry(pixels);
    }
    // The page moves whenever the tab lays itself out (its header's height
    // depends on the style and font it is shown with), so its children follow.
    m_ui->SSTab_Tab0->installEventFilter(this);
    PlaceTabChildren();
}

void frmCorvido::PlaceTabChildren() {
    // The tab's children are placed relative to the tab control, as the form
    // gives them; its page sits below the header.
    const QPoint offset = m_ui->SSTab_Tab0->mapTo(m_ui->SSTab, QPoint(0, 0));
    for (QWidget* widget : m_ui->SSTab_Tab0->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const QVariant twips = widget->property("twips");
        if (!twips.isValid()) {
            continue;
        }
        const QRect r = twips.toRect();
        QRect pixels(Pixels(r.x()), Pixels(r.y()), Pixels(r.width()), Pixels(r.height()));
        if (r.height() == 0) {
            pixels.setHeight(widget->sizeHint().height());
        }
        widget->setGeometry(pixels.translated(-offset));
    }
}

void frmCorvido::PaintAboutPicture() {
    // The picture's frame reaches 60 twips into the version label's, so the
    // picture draws in its upper 40 rows only, on a clear background, and the
    // two labels lie above it: no text is ever covered.
    QPixmap picture(152, 46);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor blue(30, 60, 120);
    painter.fillRect(QRect(0, 0, 40, 40), blue);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(26);
    painter.setFont(font);
    painter.drawText(QRect(0, 0, 40, 40), Qt::AlignCenter, QStringLiteral("T"));
    painter.setPen(blue);
    font.setPixelSize(16);
    painter.setFont(font);
    painter.drawText(QRect(48, 0, 104, 40), Qt::AlignVCenter | Qt::AlignLeft,
                     QStringLiteral("Tessaline"));
    painter.end();
    m_ui->Image1->setPixmap(picture);
    m_ui->Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    for (QLabel* label : {m_ui->lblCopyright_1, m_ui->lblCopyright_0}) {
        label->raise();
        FitTextToLabel(*label);
    }
}

void frmCorvido::FitTextToLabel(QLabel& label) {
    // The label's width is fixed in twips; where the font that stands in for
    // Arial runs wider, a smaller size keeps the whole text readable rather
    // than cut.
    QFont font = label.font();
    const QRect room = label.contentsRect();
    const auto fits = [&](const QFont& candidate) {
        const QFontMetrics metrics(candidate);
        return metrics.horizontalAdvance(label.text()) <= room.width() &&
               metrics.height() <= room.height();
    };
    while (!fits(font) && font.pointSizeF() > 6.0) {
        font.setPointSizeF(font.pointSizeF() - 0.25);
    }
    label.setFont(font);
}

void frmCorvido::WireEvents() {
    auto* logic = m_logic.get();
    connect(m_ui->SSTab, &QTabWidget::tabBarClicked, this, [logic](int) { logic->SSTab_Click(); });
    connect(m_ui->cmdClose, &QAbstractButton::clicked, this, [logic] { logic->cmdClose_Click(); });
    connect(m_ui->cmdSearch, &QAbstractButton::clicked, this,
            [logic] { logic->cmdSearch_Click(); });
    connect(m_ui->cmdRemove, &QAbstractButton::clicked, this,
            [logic] { logic->cmdRemove_Click(); });
    connect(m_ui->cmdReset, &QAbstractButton::clicked, this, [logic] { logic->cmdReset_Click(); });
    connect(m_ui->ListView_0, &QTreeWidget::itemClicked, this,
            [this, logic](QTreeWidgetItem* item, int) {
                logic->ListView_ItemClick(m_ui->ListView_0->indexOfTopLevelItem(item) + 1);
            });
    connect(m_ui->optImageMode_0, &QAbstractButton::clicked, this,
            [logic] { logic->optImageMode_Click(0); });
    connect(m_ui->optImageMode_1, &QAbstractButton::clicked, this,
            [logic] { logic->optImageMode_Click(1); });
    connect(m_ui->cmdUpload, &QAbstractButton::clicked, this,
            [logic] { logic->cmdUpload_Click(); });
    connect(m_ui->Cmd_Erase, &QAbstractButton::clicked, this,
            [logic] { logic->Cmd_Erase_Click(); });
    connect(m_ui->cmdPrint, &QAbstractButton::clicked, this, [logic] { logic->cmdPrint_Click(); });
    m_ui->Slider1->installEventFilter(this);
    // A drag and the keys move the slider without a press of their own; a
    // press's own move is the press handler's to take.
    connect(m_ui->Slider1, &QSlider::valueChanged, this, [this] {
        if (!m_forwardingPress) {
            m_logic->Slider1_Change();
        }
    });
}

bool frmCorvido::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_ui->SSTab_Tab0 && event->type() == QEvent::Move) {
        PlaceTabChildren();
        return false;
    }
    if (watched == m_ui->Slider1 && event->type() == QEvent::MouseButtonPress &&
        !m_forwardingPress && m_ui->Slider1->isEnabled()) {
        // The slider takes the press first, so the handler reads the
        // position the press has chosen.
        m_forwardingPress = true;
        QCoreApplication::sendEvent(m_ui->Slider1, event);
        m_forwardingPress = false;
        m_logic->Slider1_MouseDown();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmCorvido::closeEvent(QCloseEvent* event) {
    if (!m_logic->Form_QueryUnload()) {
        event->ignore();
        return;
    }
    m_logic->Form_Unload();
    SavePlacement();
    event->accept();
}

void frmCorvido::Unload() {
    close();
}

void frmCorvido::SetFocus(Ctl control) {
    Control(control)->setFocus(Qt::OtherFocusReason);
}

void frmCorvido::CentreOnScreen() {
    const QScreen* screen = this->screen();
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->geometry();
    const QSize size = frameGeometry().size().isValid() ? frameGeometry().size() : this->size();
    move(area.x() + static_cast<int>((area.width() - size.width()) / 2.0),
         area.y() + static_cast<int>((area.height() - size.height()) / 2.0));
}

void frmCorvido::ClearRows() {
    m_ui->ListView_0->clear();
}

void frmCorvido::AddRow(int32_t index, const std::string& text, const std::string& subItem1,
                        const std::string& subItem2) {
    auto* item = new QTreeWidgetItem(QStringList{Q(text), Q(subItem1), Q(subItem2)});
    for (size_t column = 0; column < m_rightAligned.size(); ++column) {
        if (m_rightAligned[column]) {
            item->setTextAlignment(static_cast<int>(column), Qt::AlignRight | Qt::AlignVCenter);
        }
    }
    const int at = std::clamp(index - 1, 0, m_ui->ListView_0->topLevelItemCount());
    m_ui->ListView_0->insertTopLevelItem(at, item);
}

void frmCorvido::SetText(Ctl control, const std::string& text) {
    QWidget* widget = Control(control);
    const QString value = Q(text);
    if (control == Ctl::Form) {
        setWindowTitle(value);
    } else if (control == Ctl::SSTab) {
        m_ui->SSTab->setCurrentIndex(0);
        m_ui->SSTab->setTabText(0, value);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(value);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(value);
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(value);
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(value);
    }
}

std::string frmCorvido::Text(Ctl control) const {
    QWidget* widget = Control(control);
    QString value;
    if (control == Ctl::Form) {
        value = windowTitle();
    } else if (control == Ctl::SSTab) {
        value = m_ui->SSTab->tabText(0);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        value = button->text();
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        value = label->text();
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        value = group->title();
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        value = edit->text();
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        value = combo->currentText();
    }
    return value.toStdString();
}

void frmCorvido::SetEnabled(Ctl control, bool enabled) {
    Control(control)->setEnabled(enabled);
}

bool frmCorvido::Enabled(Ctl control) const {
    return Control(control)->isEnabled();
}

void frmCorvido::SetVisible(Ctl control, bool visible) {
    Control(control)->setVisible(visible);
}

bool frmCorvido::Visible(Ctl control) const {
    return !Control(control)->isHidden();
}

void frmCorvido::SetValue(Ctl option, bool selected) {
    if (auto* button = qobject_cast<QAbstractButton*>(Control(option))) {
        button->setChecked(selected);
    }
}

bool frmCorvido::Value(Ctl option) const {
    auto* button = qobject_cast<QAbstractButton*>(Control(option));
    return button != nullptr && button->isChecked();
}

void frmCorvido::AddColumn(const std::string& text, int32_t widthTwips, bool rightAligned) {
    QTreeWidget* list = m_ui->ListView_0;
    const int column = list->columnCount();
    list->setColumnCount(column + 1);
    list->headerItem()->setText(column, Q(text));
    list->headerItem()->setTextAlignment(column, (rightAligned ? Qt::AlignRight : Qt::AlignLeft) |
                                                     Qt::AlignVCenter);
    list->setColumnWidth(column, Pixels(widthTwips));
    m_rightAligned.push_back(rightAligned);
}

int32_t frmCorvido::ItemCount() const {
    return m_ui->ListView_0->topLevelItemCount();
}

int32_t frmCorvido::SelectedIndex() const {
    const QList<QTreeWidgetItem*> selected = m_ui->ListView_0->selectedItems();
    if (selected.isEmpty()) {
        return 0;
    }
    return m_ui->ListView_0->indexOfTopLevelItem(selected.first()) + 1;
}

void frmCorvido::SelectItem(int32_t index) {
    if (QTreeWidgetItem* item = m_ui->ListView_0->topLevelItem(index - 1)) {
        m_ui->ListView_0->setCurrentItem(item);
    }
}

void frmCorvido::AddPrinterName(const std::string& name) {
    m_ui->cboPrinter->addItem(Q(name));
}

void frmCorvido::SelectPrinter(int32_t index) {
    m_ui->cboPrinter->setCurrentIndex(index);
}

int32_t frmCorvido::SliderValue() const {
    return m_ui->Slider1->value();
}

int32_t frmCorvido::SliderMax() const {
    return m_ui->Slider1->maximum();
}

bool frmCorvido::LoadPicture(Ctl image, const std::string& path) {
    auto* label = qobject_cast<QLabel*>(Control(image));
    if (label == nullptr) {
        return false;
    }
    QPixmap picture;
    if (path.empty() || !picture.load(Q(path))) {
        label->clear();
        return false;
    }
    label->setPixmap(picture);
    return true;
}

void frmCorvido::SetPictureRect(Ctl image, int32_t left, int32_t top, int32_t width,
                                int32_t height) {
    Control(image)->setGeometry(Pixels(left), Pixels(top), Pixels(width), Pixels(height));
}
