# Cross-compiling for 32-bit Windows with Debian's mingw-w64 (package
# g++-mingw-w64-i686): the phone's ABI, where WINAPI and CALLBACK are
# __stdcall and WCHAR is a 16-bit wchar_t, so the real Win32 headers judge
# device code's declarations as the phone's compilers would.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TESSARIL_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
