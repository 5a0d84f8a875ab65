// The person at the phone, for tests and scenarios: taps, drags and key
// presses that take virtual time as a hand does, and answers to message
// boxes. Each runs the device until its programs have nothing left to do.
#pragma once

#include <windows.h>

#include "device/device.h"

namespace handset {

// Stylus down at the point, held for holdMs, and up at the same point.
void Tap(Device& d, POINT screen, uint64_t holdMs = 100);
// Down at `from`, `steps` moves along the straight line to `to`, spread
// over durationMs, and up at `to`.
void Drag(Device& d, POINT from, POINT to, int steps = 4, uint64_t durationMs = 300);
// A hardware key pressed and released after holdMs.
void PressKey(Device& d, UINT vk, uint64_t holdMs = 100);
// Presses a button of the open message box, as WindowManager::AnswerMessageBox.
void AnswerMessageBox(Device& d, int button);
// The centre of a rectangle, to tap on.
POINT Centre(const RECT& r);

} // namespace handset
