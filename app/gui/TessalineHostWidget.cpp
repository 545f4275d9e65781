// SPDX-License-Identifier: MIT
#include "TessalineHostWidget.h"

#include "PropertyFrame.h"
#include "platform/component/ControlHost.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>

namespace {

QColor FromColorRef(uint32_t colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

void FillRect(void* context, TsRect rect, uint32_t colour) {
    auto* painter = static_cast<QPainter*>(context);
    painter->fillRect(QRect(QPoint(rect.left, rect.top), QPoint(rect.right - 1, rect.bottom - 1)),
                      FromColorRef(colour));
}

void DrawText(void* context, int32_t x, int32_t y, const char* text, uint32_t textColour,
              uint32_t backColour) {
    auto* painter = static_cast<QPainter*>(context);
    const QString line = QString::fromUtf8(text ? text : "");
    const QFontMetrics metrics = painter->fontMetrics();
    // Opaque background behind the text, as the control asks.
    painter->fillRect(QRect(x, y, metrics.horizontalAdvance(line), metrics.height()),
                      FromColorRef(backColour));
    painter->setPen(FromColorRef(textColour));
    painter->drawText(QPoint(x, y + metrics.ascent()), line);
}

} // namespace

TessalineHostWidget::TessalineHostWidget(QWidget* parent) : QWidget(parent) {}

void TessalineHostWidget::SetControl(tessaline::ControlHost* host) {
    m_host = host;
    update();
}

void TessalineHostWidget::paintEvent(QPaintEvent*) {
    if (m_host == nullptr) {
        return;
    }
    QPainter painter(this);
    painter.setClipRect(rect());
    TsSurface surface{};
    surface.context = &painter;
    surface.FillRect = &FillRect;
    surface.DrawText = &DrawText;
    m_host->Draw(surface, TsRect{0, 0, width(), height()});
}

void TessalineHostWidget::contextMenuEvent(QContextMenuEvent* event) {
    if (m_host == nullptr) {
        return;
    }
    QMenu menu(this);
    for (const TsVerbInfo& verb : m_host->Verbs()) {
        if (verb.name == nullptr || verb.name[0] == '\0') {
            continue;
        }
        QAction* action = menu.addAction(QString::fromUtf8(verb.name));
        action->setData(verb.verb);
    }
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen != nullptr && chosen->data().toInt() == TS_VERB_PROPERTIES) {
        ShowProperties();
    }
}

void TessalineHostWidget::ShowProperties() {
    if (m_host == nullptr) {
        return;
    }
    PropertyFrame frame(m_host->PropertyPages(), this);
    frame.exec();
}
