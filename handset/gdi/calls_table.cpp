// The GDI calls (and the screen's GetDC, ReleaseDC, FillRect and DrawTextW)
// with the errors each sets as its last error when it fails on the phone;
// the fault plan knows these and no others.
#include <windows.h>

#include "device/platform_calls.h"

namespace {

const handset::PlatformCallTable
    kGdiCalls("gdi",
              {
                  {"CreateCompatibleDC", {ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_HANDLE}},
                  {"DeleteDC", {ERROR_INVALID_HANDLE}},
                  // ERROR_NOT_ENOUGH_MEMORY: no device context is free.
                  {"GetDC", {ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_WINDOW_HANDLE}},
                  {"ReleaseDC", {ERROR_INVALID_HANDLE}},
                  {"GetDeviceCaps", {ERROR_INVALID_HANDLE}},
                  {"CreateDIBSection", {ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_PARAMETER}},
                  {"CreateSolidBrush", {ERROR_NOT_ENOUGH_MEMORY}},
                  {"CreatePen", {ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_PARAMETER}},
                  {"CreateFontIndirectW", {ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_PARAMETER}},
                  {"GetStockObject", {ERROR_INVALID_PARAMETER}},
                  {"SelectObject", {ERROR_INVALID_HANDLE, ERROR_INVALID_PARAMETER}},
                  {"DeleteObject", {ERROR_INVALID_HANDLE}},
                  {"GetObjectW", {ERROR_INVALID_HANDLE, ERROR_INVALID_PARAMETER}},
                  {"BitBlt", {ERROR_INVALID_HANDLE, ERROR_NOT_ENOUGH_MEMORY}},
                  {"FillRect", {ERROR_INVALID_HANDLE, ERROR_INVALID_PARAMETER}},
                  {"Rectangle", {ERROR_INVALID_HANDLE}},
                  {"SetBkMode", {ERROR_INVALID_HANDLE, ERROR_INVALID_PARAMETER}},
                  {"SetBkColor", {ERROR_INVALID_HANDLE}},
                  {"SetTextColor", {ERROR_INVALID_HANDLE}},
                  {"GetTextMetricsW", {ERROR_INVALID_HANDLE, ERROR_INVALID_PARAMETER}},
                  {"GetTextExtentPoint32W", {ERROR_INVALID_HANDLE, ERROR_INVALID_PARAMETER}},
                  {"DrawTextW", {ERROR_INVALID_HANDLE, ERROR_INVALID_PARAMETER}},
              });

} // namespace
