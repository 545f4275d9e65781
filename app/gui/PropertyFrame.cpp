// SPDX-License-Identifier: MIT
#include "PropertyFrame.h"

#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// Dialog units: a quarter of the font's average character width across and
// an eighth of its height down.
QRect DialogRect(const QFontMetrics& metrics, int x, int y, int width, int height) {
    const int baseX = metrics.averageCharWidth();
    const int baseY = metrics.height();
    return QRect(x * baseX / 4, y * baseY / 8, width * baseX / 4, height * baseY / 8);
}

} // namespace

PropertyFrame::PropertyFrame(const std::vector<TsPropertyPageInfo>& pages, QWidget* parent)
    : QDialog(parent), m_tabs(new QTabWidget(this)) {
    setWindowTitle(tr("Tessaline Control Properties"));
    setObjectName(QStringLiteral("PropertyFrame"));
    for (const TsPropertyPageInfo& page : pages) {
        auto* widget = new QWidget(m_tabs);
        QFont font = widget->font();
        if (page.fontName != nullptr) {
            font.setFamily(QString::fromUtf8(page.fontName));
        }
        if (page.fontPointSize > 0) {
            font.setPointSize(page.fontPointSize);
        }
        widget->setFont(font);
        const QFontMetrics metrics(font);
        widget->setMinimumSize(DialogRect(metrics, 0, 0, page.width, page.height).size());
        for (uint32_t i = 0; i < page.textCount; ++i) {
            const TsDialogText& text = page.texts[i];
            auto* label = new QLabel(QString::fromUtf8(text.text ? text.text : ""), widget);
            label->setWordWrap(true);
            label->setGeometry(DialogRect(metrics, text.x, text.y, text.width, text.height));
        }
        m_tabs->addTab(widget, QString::fromUtf8(page.caption ? page.caption : ""));
    }
    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);
}
