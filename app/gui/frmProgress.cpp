// SPDX-License-Identifier: MIT
// frmProgress: the progress window shown while a long call into the control runs.

#include "app/gui/frmProgress.h"

#include <QCloseEvent>
#include <QProgressBar>
#include <QScreen>
#include <cmath>

frmProgress::frmProgress(QWidget* owner) : QWidget(owner, Qt::Dialog) {
    setObjectName(QStringLiteral("frmProgress"));
    setWindowTitle(QStringLiteral("Progress"));
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(9);
    setFont(font);
    if (const QScreen* screen = this->screen()) {
        m_dpi = screen->logicalDotsPerInchY();
    }
    setFixedSize(Pixels(4680), Pixels(780));
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("ProBar"));
    m_bar->setGeometry(Pixels(180), Pixels(180), Pixels(4275), Pixels(315));
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
}

int frmProgress::Pixels(int twips) const {
    return static_cast<int>(std::lround(twips * m_dpi / 1440.0));
}

void frmProgress::closeEvent(QCloseEvent* event) {
    event->ignore();
}

ProgressWindowHost::~ProgressWindowHost() {
    delete m_window.data();
}

void ProgressWindowHost::Load() {
    if (m_window.isNull()) {
        m_window = new frmProgress(m_owner);
    }
}

void ProgressWindowHost::Unload() {
    delete m_window.data();
}

void ProgressWindowHost::ShowModeless() {
    if (m_window) {
        const bool first = !m_window->isVisible();
        m_window->show();
        m_window->raise();
        if (first) {
            // The frame's size is known only once the window is shown.
            CentreOnScreen();
        }
    }
}

void ProgressWindowHost::SetCaption(const std::string& caption) {
    if (m_window) {
        m_window->setWindowTitle(QString::fromStdString(caption));
    }
}

void ProgressWindowHost::CentreOnScreen() {
    if (!m_window) {
        return;
    }
    const QScreen* screen = m_window->screen();
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->geometry();
    const QSize size = m_window->frameGeometry().size();
    m_window->move(area.x() + static_cast<int>((area.width() - size.width()) / 2.0),
                   area.y() + static_cast<int>((area.height() - size.height()) / 2.0));
}

void ProgressWindowHost::SetBarMax(float maximum) {
    if (m_window) {
        m_window->ProBar()->setMaximum(static_cast<int>(std::lround(maximum)));
    }
}

void ProgressWindowHost::SetBarValue(float value) {
    if (m_window) {
        m_window->ProBar()->setValue(static_cast<int>(std::lround(value)));
    }
}
