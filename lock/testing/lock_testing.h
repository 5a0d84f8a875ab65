// What the lock program's tests share: its program-wide records back to the
// zeros a fresh start gives them. The handset holds a program's globals once
// for the whole test run, so each test that starts the program's code on a
// new Device resets them first.
#pragma once

void ResetLockProgramGlobals();
