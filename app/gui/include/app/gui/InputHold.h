// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <functional>

class QWidget;

// Drops the user's input (mouse, keys, wheel, touch, context menus) on its
// way to a window's controls while `held` says so. A control that takes a
// click before its handler runs (an option ticks, a slider moves, a row is
// selected) then never shows a choice its handler refused.
class InputHold final : public QObject {
public:
    // `window` null: every window of the program.
    InputHold(QWidget* window, std::function<bool()> held);
    ~InputHold() override;
    InputHold(const InputHold&) = delete;
    InputHold& operator=(const InputHold&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Covers(QObject* watched) const;

    QWidget* m_window;
    std::function<bool()> m_held;
};
