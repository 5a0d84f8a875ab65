// TessarilCfg on Windows: the phone's WinMain, with the program's own routine
// behind it, as on the phone.
#include <windows.h>

#include "tessarilcfg.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand) {
    return TessarilCfgMain(instance, previous, commandLine, showCommand);
}
