// SPDX-License-Identifier: MIT
#pragma once

#include "app/core/PrintersPageView.h"

#include <memory>
#include <windows.h>

namespace tessaline::win32 {

// Runs each work on a thread of its own; its result is queued and a message
// posted to a message-only window of this thread's, which runs it here. The
// workers never touch a window of the program's. Once Close() has been
// called (the window has gone), results are dropped as they come; the
// destructor waits for the workers still running, so no work outlives the
// page whose rules it reports to.
class Win32BackgroundWork final : public BackgroundWork {
public:
    explicit Win32BackgroundWork(HINSTANCE instance);
    ~Win32BackgroundWork() override;
    Win32BackgroundWork(const Win32BackgroundWork&) = delete;
    Win32BackgroundWork& operator=(const Win32BackgroundWork&) = delete;

    void Start(std::function<std::function<void()>()> work) override;
    // No result runs from now on.
    void Close();
    // Works started whose results have not run (or been dropped) yet.
    int Pending() const;

    struct Shared;

private:
    static LRESULT CALLBACK ResultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void RunNext();

    std::shared_ptr<Shared> m_shared;
    HWND m_window = nullptr;
};

} // namespace tessaline::win32
