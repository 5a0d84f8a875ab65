// The desktop's tlhelp32.h with what Windows CE adds to it: a snapshot is
// closed with CloseToolhelp32Snapshot (on the desktop, CloseHandle does it;
// the stand-in calls that).
#ifndef TESSARIL_WINDOWS_TLHELP32_H
#define TESSARIL_WINDOWS_TLHELP32_H

#include_next <tlhelp32.h>

#ifdef __cplusplus
extern "C" {
#endif

BOOL WINAPI CloseToolhelp32Snapshot(HANDLE hSnapshot);

#ifdef __cplusplus
}
#endif

#endif
