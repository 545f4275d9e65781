// SPDX-License-Identifier: MIT
#pragma once

#include "tessaline/tessaline_component.h"

#include <QDialog>
#include <vector>

class QTabWidget;

// The property frame: one tab per property page of a control, each laid out
// from its dialog description (dialog units, font, static texts).
class PropertyFrame : public QDialog {
    Q_OBJECT
public:
    PropertyFrame(const std::vector<TsPropertyPageInfo>& pages, QWidget* parent = nullptr);

private:
    QTabWidget* m_tabs;
};
