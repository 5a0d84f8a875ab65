// What the lock program's tests share: its program-wide records back to the
// zeros a fresh start gives them, and the program installed on a handset
// with its resources. The handset holds a program's globals once for the
// whole test run, so each test that starts the program's code on a new
// Device resets them first.
#pragma once

namespace handset {
class Device;
}

void ResetLockProgramGlobals();

// Registers Tessaril.exe (TessarilMain, with its compiled resources) at its
// installed path, after resetting its records.
void RegisterLockProgram(handset::Device& d);
