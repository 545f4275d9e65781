// SPDX-License-Identifier: MIT
// The preview of the dots a logo becomes: a strip of paper as wide as the
// printer's, its edges marked, the dots on it one square each; zoomed to the
// window, one pixel a dot, or two.
#pragma once

#include "app/core/LogoDots.h"

#include <QImage>
#include <QScrollArea>
#include <optional>

class DotsCanvas;

// No signals of its own, so moc need not read it.
class DotsPreview : public QScrollArea {
public:
    enum class Zoom { Fit, OneToOne, TwoToOne };

    explicit DotsPreview(QWidget* parent = nullptr);

    void Show(const std::optional<tessaline::RasterGraphic>& dots, int paperDots);
    void SetZoom(Zoom zoom);
    Zoom CurrentZoom() const { return m_zoom; }
    // Pixels a dot takes at the current zoom.
    double Scale() const;
    // The paper with the dots on it, one pixel a dot; null before any logo.
    const QImage& Paper() const { return m_paper; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Relayout();

    DotsCanvas* m_canvas;
    QImage m_paper;
    int m_paperDots = 576;
    int m_logoWidth = 0;
    Zoom m_zoom = Zoom::Fit;
};
