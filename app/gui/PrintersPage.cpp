// SPDX-License-Identifier: MIT
#include "app/gui/PrintersPage.h"

#include "DotsPreview.h"
#include "QtBackgroundWork.h"
#include "app/core/LogoDots.h"
#include "ui_PrintersPage.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QSlider>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>

using tessaline::PCtl;

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// A key's dots drawn small, for its row in the list.
QPixmap Thumbnail(const tessaline::RasterGraphic& g, QSize room) {
    QImage dots(g.width, g.height, QImage::Format_RGB32);
    for (int y = 0; y < g.height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(dots.scanLine(y));
        for (int x = 0; x < g.width; ++x) {
            line[x] = tessaline::DotAt(g, x, y) ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
        }
    }
    QPixmap picture(room);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    const QImage small = dots.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    painter.drawImage(QPoint(0, (room.height() - small.height()) / 2), small);
    return picture;
}

} // namespace

PrintersPage::PrintersPage(tessaline::AppServices& services, tessaline::SystemServices& system,
                           std::function<std::string()> title, QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::PrintersPage>()) {
    m_ui->setupUi(this);
    for (int i = 0; i < tessaline::kPageControlCount; ++i) {
        const auto id = static_cast<PCtl>(i);
        m_controls[static_cast<size_t>(i)] =
            findChild<QWidget*>(QLatin1String(tessaline::PageControlName(id)));
        Q_ASSERT(m_controls[static_cast<size_t>(i)] != nullptr);
    }
    m_ui->lstKeys->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_work = std::make_unique<QtBackgroundWork>(this);
    m_logic = std::make_unique<tessaline::PrintersPageLogic>(*this, services, system, *m_work,
                                                             std::move(title));
    WireEvents();
}

PrintersPage::~PrintersPage() {
    m_work.reset();
}

QWidget* PrintersPage::Control(PCtl control) const {
    return m_controls[static_cast<size_t>(control)];
}

DotsPreview& PrintersPage::Preview() const {
    return *m_ui->picPreview;
}

void PrintersPage::Settle() {
    QCoreApplication::processEvents();
    m_work->Settle();
}

void PrintersPage::WireEvents() {
    auto* logic = m_logic.get();
    auto* printer = m_ui->cboPrinterAddress;
    // Enter in the box, or an entry picked from its list. The box hands an
    // Enter its line edit did not take back to it, which says returnPressed
    // twice: the two become one choice.
    connect(printer->lineEdit(), &QLineEdit::returnPressed, this, [this, logic, printer] {
        if (m_choicePending) {
            return;
        }
        m_choicePending = true;
        QTimer::singleShot(0, this, [this, logic, printer] {
            m_choicePending = false;
            logic->PrinterChosen(printer->currentText().toStdString());
        });
    });
    connect(printer, &QComboBox::activated, this, [this, logic, printer](int index) {
        if (!m_showing) {
            logic->PrinterChosen(printer->itemText(index).toStdString());
        }
    });
    connect(m_ui->cmdRefresh, &QAbstractButton::clicked, this,
            [logic] { logic->cmdRefresh_Click(); });
    connect(m_ui->cmdFindPrinters, &QAbstractButton::clicked, this,
            [logic] { logic->cmdFindPrinters_Click(); });
    connect(m_ui->cmdBrowse, &QAbstractButton::clicked, this,
            [logic] { logic->cmdBrowse_Click(); });
    connect(m_ui->txtKey, &QLineEdit::textChanged, this, [this, logic](const QString& text) {
        if (!m_showing) {
            logic->txtKey_Change(text.toStdString());
        }
    });
    connect(m_ui->cboDither, &QComboBox::currentIndexChanged, this, [this, logic](int index) {
        if (!m_showing) {
            logic->cboDither_Click(index);
        }
    });
    connect(m_ui->sldThreshold, &QSlider::valueChanged, this, [this, logic](int value) {
        if (!m_showing) {
            logic->sldThreshold_Change(value);
        }
    });
    connect(m_ui->sldBrightness, &QSlider::valueChanged, this, [this, logic](int value) {
        if (!m_showing) {
            logic->sldBrightness_Change(value);
        }
    });
    connect(m_ui->chkFit, &QCheckBox::toggled, this, [this, logic](bool checked) {
        if (!m_showing) {
            logic->chkFit_Click(checked);
        }
    });
    // A click, not a change the page shows: toggled fires for both.
    connect(m_ui->chkAutoLogo, &QCheckBox::clicked, this, [this, logic](bool checked) {
        if (!m_showing) {
            logic->chkAutoLogo_Click(checked);
        }
    });
    connect(m_ui->cboPaperWidth, &QComboBox::currentIndexChanged, this, [this, logic](int index) {
        if (!m_showing) {
            logic->cboPaperWidth_Click(index);
        }
    });
    connect(m_ui->cboZoom, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_ui->picPreview->SetZoom(static_cast<DotsPreview::Zoom>(std::clamp(index, 0, 2)));
    });
    connect(m_ui->lstKeys, &QTreeWidget::currentItemChanged, this,
            [this, logic](QTreeWidgetItem* item, QTreeWidgetItem*) {
                if (!m_showing) {
                    logic->lstKeys_Click(item ? m_ui->lstKeys->indexOfTopLevelItem(item) : -1);
                }
            });
    connect(m_ui->cmdStore, &QAbstractButton::clicked, this, [logic] { logic->cmdStore_Click(); });
    connect(m_ui->cmdPrintGraphic, &QAbstractButton::clicked, this,
            [logic] { logic->cmdPrintGraphic_Click(); });
    connect(m_ui->cmdDeleteGraphic, &QAbstractButton::clicked, this,
            [logic] { logic->cmdDeleteGraphic_Click(); });
    connect(m_ui->cmdDeleteAll, &QAbstractButton::clicked, this,
            [logic] { logic->cmdDeleteAll_Click(); });
    connect(m_ui->cmdTestReceipt, &QAbstractButton::clicked, this,
            [logic] { logic->cmdTestReceipt_Click(); });
}

void PrintersPage::SetText(PCtl control, const std::string& text) {
    QWidget* widget = Control(control);
    const QString value = Q(text);
    m_showing = true;
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(value);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(value);
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(value);
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(value);
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        combo->setEditText(value);
    } else if (auto* list = qobject_cast<QTreeWidget*>(widget)) {
        list->setHeaderLabels(value.split('\t'));
    }
    m_showing = false;
}

void PrintersPage::SetEnabled(PCtl control, bool enabled) {
    Control(control)->setEnabled(enabled);
}

void PrintersPage::SetToolTip(PCtl control, const std::string& text) {
    Control(control)->setToolTip(Q(text));
}

void PrintersPage::SetPrinterEntries(const std::vector<std::string>& entries) {
    auto* box = m_ui->cboPrinterAddress;
    m_showing = true;
    const QString typed = box->currentText();
    box->clear();
    for (const std::string& entry : entries) {
        box->addItem(Q(entry));
    }
    box->setEditText(typed);
    m_showing = false;
}

void PrintersPage::SetChoices(PCtl control, const std::vector<std::string>& entries,
                              int32_t chosen) {
    auto* box = qobject_cast<QComboBox*>(Control(control));
    if (box == nullptr) {
        return;
    }
    m_showing = true;
    box->clear();
    for (const std::string& entry : entries) {
        box->addItem(Q(entry));
    }
    box->setCurrentIndex(chosen);
    m_showing = false;
}

void PrintersPage::SetBar(PCtl control, int64_t value, int64_t maximum) {
    auto* bar = qobject_cast<QProgressBar*>(Control(control));
    if (bar == nullptr) {
        return;
    }
    // The bar counts in int; memory sizes are shown in kilobytes when larger.
    const int64_t unit = maximum > 1'000'000'000 ? 1024 : 1;
    if (control == PCtl::barWork && maximum == 0) {
        bar->setRange(0, 0); // busy, without steps
        return;
    }
    bar->setRange(0, static_cast<int>(std::max<int64_t>(maximum / unit, 1)));
    bar->setValue(static_cast<int>(std::clamp<int64_t>(value / unit, 0, maximum / unit)));
}

void PrintersPage::SetSlider(PCtl control, int32_t minimum, int32_t maximum, int32_t value) {
    auto* slider = qobject_cast<QSlider*>(Control(control));
    if (slider == nullptr) {
        return;
    }
    m_showing = true;
    slider->setRange(minimum, maximum);
    slider->setValue(value);
    slider->setPageStep(std::max(1, (maximum - minimum) / 10));
    m_showing = false;
}

void PrintersPage::SetChecked(PCtl control, bool checked) {
    if (auto* box = qobject_cast<QAbstractButton*>(Control(control))) {
        m_showing = true;
        box->setChecked(checked);
        m_showing = false;
    }
}

void PrintersPage::SetKeyRows(const std::vector<tessaline::KeyRow>& rows) {
    QTreeWidget* list = m_ui->lstKeys;
    m_showing = true;
    list->clear();
    for (const tessaline::KeyRow& row : rows) {
        auto* item = new QTreeWidgetItem(QStringList{Q(row.keyText), Q(row.sizeText)});
        if (row.thumbnail) {
            item->setIcon(1, QIcon(Thumbnail(*row.thumbnail, list->iconSize())));
        }
        list->addTopLevelItem(item);
    }
    m_showing = false;
}

void PrintersPage::ShowPreview(const std::optional<tessaline::RasterGraphic>& dots,
                               int32_t paperDots) {
    m_ui->picPreview->Show(dots, paperDots);
}
