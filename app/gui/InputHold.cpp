// SPDX-License-Identifier: MIT
#include "app/gui/InputHold.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>
#include <utility>

namespace {

bool IsUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::NativeGesture:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

} // namespace

InputHold::InputHold(QWidget* window, std::function<bool()> held)
    : m_window(window), m_held(std::move(held)) {
    // On the application, so input is dropped before any control sees it,
    // whichever child of the window it is aimed at.
    QCoreApplication::instance()->installEventFilter(this);
}

InputHold::~InputHold() {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->removeEventFilter(this);
    }
}

bool InputHold::Covers(QObject* watched) const {
    if (watched->isWidgetType()) {
        return m_window == nullptr || static_cast<QWidget*>(watched)->window() == m_window;
    }
    if (watched->isWindowType()) {
        return m_window == nullptr || static_cast<QWindow*>(watched) == m_window->windowHandle();
    }
    return false;
}

bool InputHold::eventFilter(QObject* watched, QEvent* event) {
    return IsUserInput(event->type()) && m_held() && Covers(watched);
}
