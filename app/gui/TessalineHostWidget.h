// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

namespace tessaline {
class ControlHost;
}

// The rectangle on the window where the hosted Tessaline control draws
// itself. Its context menu offers the control's verbs; Properties opens the
// control's property pages.
class TessalineHostWidget : public QWidget {
    Q_OBJECT
public:
    explicit TessalineHostWidget(QWidget* parent = nullptr);

    // The control drawn here; null: nothing is drawn.
    void SetControl(tessaline::ControlHost* host);

    // Opens the property frame with the control's pages (the Properties verb).
    void ShowProperties();

protected:
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    tessaline::ControlHost* m_host = nullptr;
};
