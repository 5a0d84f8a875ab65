// Tessaril on Windows: the phone's WinMain, with the program's own routine
// behind it, as on the phone.
#include <windows.h>

#include "core/lock_sequence.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand) {
    return TessarilMain(instance, previous, commandLine, showCommand);
}
