// SPDX-License-Identifier: MIT
#pragma once

#include "WindowsApi.h"

#include <cstdint>

namespace tessaline::win32 {

// True for input that would start something in a window: a key or button
// press, a character, the wheel. The ends of gestures (releases, moves) are
// not: a control that saw the press must see its end too.
bool IsStartingInput(const MSG& msg);

// Handles the messages waiting now for this thread's windows, dropping
// starting input, then returns. A WM_QUIT met on the way is posted again
// for the program's own message loop.
void PumpWaitingMessages();

// Waits `milliseconds`, painting and answering the desktop meanwhile, with
// starting input dropped as above.
void WaitPumping(int32_t milliseconds);

// Drops the starting input waiting in this thread's queue: what the user
// did while a command ran reaches no control afterwards.
void DropWaitingInput();

} // namespace tessaline::win32
