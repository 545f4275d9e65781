// SPDX-License-Identifier: MIT
#pragma once

#include "app/core/AppServices.h"
class QWidget;

namespace tessaline {

// The program's window services over Qt's dialogs and event loop.
class QtServices final : public AppServices {
public:
    // The window that owns the dialogs; null: none.
    void SetDialogParent(QWidget* parent) { m_parent = parent; }

    MsgAnswer ShowMessage(const std::string& text, const std::optional<std::string>& title,
                          MsgButtons buttons, MsgIcon icon) override;
    FileChoice OpenFileDialog(const std::string& initialFolder, const std::string& filter) override;
    void Sleep(int32_t milliseconds) override;
    void DoEvents() override;

private:
    QWidget* m_parent = nullptr;
};

// The application title message boxes show when they name no title of their own.
inline constexpr const char* kApplicationTitle = "Tessaline";

// "Logo File (*.bmp)|*.bmp|Images (*.bmp;*.png)|*.bmp;*.png" as a Qt file
// dialog filter ("Logo File (*.bmp);;Images (*.bmp *.png)").
std::string QtFileFilter(const std::string& filter);

} // namespace tessaline
