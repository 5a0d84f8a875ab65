# What both mingw-w64 toolchain files share; TESSARIL_MINGW_TRIPLE names the
# target. The win32-thread compilers need no winpthread DLL, and everything is
# linked statically, so an .exe runs alone on Windows and under Wine.
set(CMAKE_C_COMPILER ${TESSARIL_MINGW_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${TESSARIL_MINGW_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER ${TESSARIL_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TESSARIL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
