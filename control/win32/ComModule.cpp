// SPDX-License-Identifier: MIT
#include "ComModule.h"

#include <atomic>
#include <cstring>
#include <objbase.h>
#include <vector>

namespace tessaline::com {

namespace {

HINSTANCE g_module = nullptr;
std::atomic<long> g_references{0};

// Longer paths than this are not paths Windows can load a library from.
constexpr size_t kLongestPath = 32768;

} // namespace

HINSTANCE ModuleHandle() {
    return g_module;
}

void SetModuleHandle(HINSTANCE module) {
    g_module = module;
}

void AddModuleReference() {
    ++g_references;
}

void ReleaseModuleReference() {
    --g_references;
}

bool ModuleInUse() {
    return g_references.load() != 0;
}

std::wstring ModulePath() {
    // The path may exceed MAX_PATH; grow until the whole name fits.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(g_module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            return std::wstring(buffer.data(), length);
        }
        if (buffer.size() >= kLongestPath) {
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring LoadModuleString(UINT id) {
    const wchar_t* text = nullptr;
    // With a zero length LoadStringW hands out a pointer to the resource itself.
    const int length = ::LoadStringW(g_module, id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr) {
        return {};
    }
    return std::wstring(text, static_cast<size_t>(length));
}

LPOLESTR TaskString(const std::wstring& text) {
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    auto* copy = static_cast<LPOLESTR>(::CoTaskMemAlloc(bytes));
    if (copy != nullptr) {
        std::memcpy(copy, text.c_str(), bytes);
    }
    return copy;
}

} // namespace tessaline::com
