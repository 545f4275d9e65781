// SPDX-License-Identifier: MIT
#include "platform/win32/SystemError.h"

#include "platform/win32/AnsiText.h"
#include "platform/win32/HandleOwners.h"
#include "platform/win32/WideText.h"

#include <windows.h>

namespace tessaline::win32 {

std::string SystemErrorText(uint32_t error) {
    char* text = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    const UniqueLocalMemory held(text);
    std::string message = length > 0 && text != nullptr ? std::string(text, length) : std::string();
    while (!message.empty() &&
           (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
        message.pop_back();
    }
    if (message.empty()) {
        message = "system error " + std::to_string(error);
    }
    return message;
}

std::string SystemErrorMessage(uint32_t error) {
    return Narrow(FromAnsi(SystemErrorText(error)));
}

} // namespace tessaline::win32
