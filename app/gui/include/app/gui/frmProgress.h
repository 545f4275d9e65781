// SPDX-License-Identifier: MIT
// frmProgress: the progress window shown while a long call into the control runs.
#pragma once

#include "app/core/ProgressView.h"

#include <QPointer>
#include <QWidget>

class QProgressBar;

// The progress window: one bar, shown while a long call into the control runs.
class frmProgress : public QWidget {
    Q_OBJECT
public:
    explicit frmProgress(QWidget* owner);

    QProgressBar* ProBar() const { return m_bar; }
    // Pixels for twips at the screen's resolution.
    int Pixels(int twips) const;

protected:
    // The window goes when the call it watches is over, never at the user's word.
    void closeEvent(QCloseEvent* event) override;

private:
    QProgressBar* m_bar = nullptr;
    double m_dpi = 96.0;
};

// The program-wide progress window as its rules see it: loading builds a
// fresh frmProgress, unloading destroys it.
class ProgressWindowHost final : public tessaline::ProgressView {
public:
    explicit ProgressWindowHost(QWidget* owner) : m_owner(owner) {}
    ~ProgressWindowHost() override;
    ProgressWindowHost(const ProgressWindowHost&) = delete;
    ProgressWindowHost& operator=(const ProgressWindowHost&) = delete;

    // The loaded window; null when it is not loaded.
    frmProgress* Window() const { return m_window.data(); }

    void Load() override;
    void Unload() override;
    bool Loaded() const override { return !m_window.isNull(); }
    void ShowModeless() override;
    void SetCaption(const std::string& caption) override;
    void CentreOnScreen() override;
    void SetBarMax(float maximum) override;
    void SetBarValue(float value) override;

private:
    QWidget* m_owner;
    QPointer<frmProgress> m_window;
};
