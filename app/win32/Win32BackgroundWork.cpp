// SPDX-License-Identifier: MIT
#include "app/win32/Win32BackgroundWork.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace tessaline::win32 {

namespace {

constexpr wchar_t kResultClass[] = L"TessalineWorkResults";
constexpr UINT kResultReady = WM_APP + 36;

} // namespace

struct Win32BackgroundWork::Shared {
    std::mutex lock;
    std::condition_variable ended;
    std::deque<std::function<void()>> results;
    HWND window = nullptr; // null once closed
    int running = 0;       // workers not yet ended
    int pending = 0;       // results not yet run or dropped
};

Win32BackgroundWork::Win32BackgroundWork(HINSTANCE instance)
    : m_shared(std::make_shared<Shared>()) {
    WNDCLASSEXW windowClass{};
    if (::GetClassInfoExW(instance, kResultClass, &windowClass) == 0) {
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = &ResultProc;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = kResultClass;
        ::RegisterClassExW(&windowClass);
    }
    m_window = ::CreateWindowExW(0, kResultClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 instance, nullptr);
    if (m_window != nullptr) {
        ::SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    m_shared->window = m_window;
}

Win32BackgroundWork::~Win32BackgroundWork() {
    Close();
    std::unique_lock<std::mutex> held(m_shared->lock);
    m_shared->ended.wait(held, [this] { return m_shared->running == 0; });
}

void Win32BackgroundWork::Close() {
    std::deque<std::function<void()>> dropped;
    {
        const std::lock_guard<std::mutex> held(m_shared->lock);
        m_shared->window = nullptr;
        dropped.swap(m_shared->results);
        m_shared->pending -= static_cast<int>(dropped.size());
    }
    if (m_window != nullptr) {
        ::SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
        ::DestroyWindow(m_window);
        m_window = nullptr;
    }
}

int Win32BackgroundWork::Pending() const {
    const std::lock_guard<std::mutex> held(m_shared->lock);
    return m_shared->pending;
}

void Win32BackgroundWork::Start(std::function<std::function<void()>()> work) {
    {
        const std::lock_guard<std::mutex> held(m_shared->lock);
        if (m_shared->window == nullptr) {
            return;
        }
        ++m_shared->running;
        ++m_shared->pending;
    }
    std::thread([shared = m_shared, work = std::move(work)]() mutable {
        std::function<void()> done = work();
        work = nullptr;
        std::unique_lock<std::mutex> held(shared->lock);
        if (shared->window != nullptr &&
            ::PostMessageW(shared->window, kResultReady, 0, 0) != FALSE) {
            shared->results.push_back(std::move(done));
        } else {
            --shared->pending;
            held.unlock();
            done = nullptr; // dropped here, outside the lock
            held.lock();
        }
        --shared->running;
        shared->ended.notify_all();
    }).detach();
}

void Win32BackgroundWork::RunNext() {
    std::function<void()> done;
    {
        const std::lock_guard<std::mutex> held(m_shared->lock);
        if (m_shared->results.empty()) {
            return;
        }
        done = std::move(m_shared->results.front());
        m_shared->results.pop_front();
    }
    // Counted as pending while it runs, so that a wait for the page to settle
    // sees what it shows.
    if (done) {
        done();
    }
    const std::lock_guard<std::mutex> held(m_shared->lock);
    --m_shared->pending;
}

LRESULT CALLBACK Win32BackgroundWork::ResultProc(HWND window, UINT message, WPARAM wParam,
                                                 LPARAM lParam) {
    if (message == kResultReady) {
        if (auto* work = reinterpret_cast<Win32BackgroundWork*>(
                ::GetWindowLongPtrW(window, GWLP_USERDATA))) {
            work->RunNext();
        }
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

} // namespace tessaline::win32
