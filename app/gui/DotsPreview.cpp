// SPDX-License-Identifier: MIT
#include "DotsPreview.h"

#include "app/core/LogoDots.h"

#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>

// Draws the paper image at the preview's scale, with the paper's edges.
class DotsCanvas : public QWidget {
public:
    explicit DotsCanvas(DotsPreview& preview) : QWidget(nullptr), m_preview(preview) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(128, 128, 128));
        const QImage& paper = m_preview.Paper();
        if (paper.isNull()) {
            return;
        }
        const double scale = m_preview.Scale();
        const QRectF target(kMargin, kMargin, paper.width() * scale, paper.height() * scale);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, scale < 1.0);
        painter.drawImage(target, paper);
        painter.setPen(QPen(QColor(200, 0, 0), 1, Qt::DashLine));
        painter.drawLine(QPointF(target.left() - 0.5, 0), QPointF(target.left() - 0.5, height()));
        const double edge = target.left() + m_paperDots * scale + 0.5;
        painter.drawLine(QPointF(edge, 0), QPointF(edge, height()));
    }

public:
    static constexpr int kMargin = 6;
    int m_paperDots = 576;

private:
    DotsPreview& m_preview;
};

DotsPreview::DotsPreview(QWidget* parent) : QScrollArea(parent), m_canvas(new DotsCanvas(*this)) {
    setWidget(m_canvas);
    setWidgetResizable(false);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumHeight(120);
    Relayout();
}

void DotsPreview::Show(const std::optional<tessaline::RasterGraphic>& dots, int paperDots) {
    m_paperDots = std::max(1, paperDots);
    m_canvas->m_paperDots = m_paperDots;
    if (!dots) {
        m_paper = QImage();
        m_logoWidth = 0;
        Relayout();
        return;
    }
    // The paper is the printer's width; dots beyond it are drawn on grey, where they would be lost.
    const int width = std::max(m_paperDots, dots->width);
    m_logoWidth = dots->width;
    m_paper = QImage(width, dots->height, QImage::Format_RGB32);
    m_paper.fill(QColor(255, 255, 255));
    const QRgb beyond = qRgb(190, 190, 190);
    const QRgb dot = qRgb(0, 0, 0);
    const QRgb lost = qRgb(160, 0, 0);
    for (int y = 0; y < dots->height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(m_paper.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const bool outside = x >= m_paperDots;
            const bool printed = x < dots->width && tessaline::DotAt(*dots, x, y);
            line[x] = printed ? (outside ? lost : dot) : (outside ? beyond : line[x]);
        }
    }
    Relayout();
}

void DotsPreview::SetZoom(Zoom zoom) {
    m_zoom = zoom;
    Relayout();
}

double DotsPreview::Scale() const {
    switch (m_zoom) {
    case Zoom::OneToOne:
        return 1.0;
    case Zoom::TwoToOne:
        return 2.0;
    case Zoom::Fit:
        break;
    }
    const int width = m_paper.isNull() ? m_paperDots : m_paper.width();
    const int room = viewport()->width() - 2 * DotsCanvas::kMargin;
    return room > 0 ? std::min(2.0, static_cast<double>(room) / width) : 1.0;
}

void DotsPreview::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    Relayout();
}

void DotsPreview::Relayout() {
    const double scale = Scale();
    const int width = m_paper.isNull() ? m_paperDots : m_paper.width();
    const int height = m_paper.isNull() ? 0 : m_paper.height();
    m_canvas->resize(static_cast<int>(std::ceil(width * scale)) + 2 * DotsCanvas::kMargin + 1,
                     std::max(static_cast<int>(std::ceil(height * scale)) + 2 * DotsCanvas::kMargin,
                              viewport()->height()));
    m_canvas->update();
}
