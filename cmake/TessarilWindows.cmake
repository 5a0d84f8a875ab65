# The Windows build, made by the Linux build: windows/ configured with the
# mingw-w64 toolchain files of cmake/toolchains/ as external projects under
# build/windows/, and the tests that hold it to the handset.
#
# - windows/i686: both programs for both platform builds (wm5/, ppc2003/),
#   with the resources windres makes from the real headers;
# - windows/x86_64: the conformance suite's Windows half (conformance/), with
#   each program's resources in a DLL beside it;
# - the tests: those resources are the handset's byte for byte, and a
#   callback declared without CALLBACK does not build.
include(ExternalProject)

find_program(TESSARIL_MINGW_I686 i686-w64-mingw32-g++-win32)
if(NOT TESSARIL_MINGW_I686)
  message(FATAL_ERROR "i686-w64-mingw32-g++-win32 not found: install g++-mingw-w64-i686 "
    "(`./run test` does), or configure with -DTESSARIL_WINDOWS=OFF")
endif()

set(windows_launcher "")
if(CMAKE_CXX_COMPILER_LAUNCHER)
  set(windows_launcher -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER}
    -DCMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER})
endif()

# tessaril_windows_build(ARCH PARTS DEPENDS...): build/windows/ARCH.
function(tessaril_windows_build arch parts)
  ExternalProject_Add(windows_${arch}
    SOURCE_DIR ${CMAKE_SOURCE_DIR}/windows
    BINARY_DIR ${CMAKE_BINARY_DIR}/windows/${arch}
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/toolchains/mingw-w64-${arch}.cmake
      -DCMAKE_BUILD_TYPE=Release
      -DTESSARIL_HOST_BINARY_DIR=${CMAKE_BINARY_DIR}
      -DTESSARIL_WINDOWS_PARTS=${parts}
      ${windows_launcher}
    INSTALL_COMMAND ""
    # Its own build knows what changed.
    BUILD_ALWAYS TRUE
    DEPENDS ${ARGN})
endfunction()

# The resource scripts name sounds and icons that the Linux build generates.
tessaril_windows_build(i686 programs lock_resources config_resources)
# The conformance suite's Windows half runs on wine64, so it is x86_64.
tessaril_windows_build(x86_64 conformance lock_resources config_resources)

set(windows_dir ${CMAKE_BINARY_DIR}/windows/i686)
add_test(NAME WindowsBuild.LockResourcesAreTheHandsets
  COMMAND ${CMAKE_COMMAND} -E compare_files ${windows_dir}/Tessaril.res
    ${CMAKE_BINARY_DIR}/lock/res/lock_resources.res)
add_test(NAME WindowsBuild.ConfigResourcesAreTheHandsets
  COMMAND ${CMAKE_COMMAND} -E compare_files ${windows_dir}/TessarilCfg.res
    ${CMAKE_BINARY_DIR}/config/res/config_resources.res)
add_test(NAME WindowsBuild.CallbackWithoutCallingConventionFailsToBuild
  COMMAND ${CMAKE_COMMAND} -DCXX=${TESSARIL_MINGW_I686}
    -DSOURCE=${CMAKE_SOURCE_DIR}/windows/tests/callbacks.cpp
    "-DINCLUDES=${CMAKE_SOURCE_DIR}/windows/include\;${CMAKE_SOURCE_DIR}/handset/include/ce"
    -P ${CMAKE_SOURCE_DIR}/windows/tests/check_callbacks.cmake)

# The stand-ins do on Windows what they say (windows/tests/standins_test.cpp).
add_test(NAME WindowsBuild.StandInsDoWhatTheySayOnWine
  COMMAND ${CMAKE_SOURCE_DIR}/conformance/run_wine.sh
    ${CMAKE_BINARY_DIR}/windows/x86_64/conformance/standins_test.exe
    ${CMAKE_BINARY_DIR}/windows/standins-test.txt ${CMAKE_BINARY_DIR}/windows/wineprefix-standins)
set_tests_properties(WindowsBuild.StandInsDoWhatTheySayOnWine PROPERTIES TIMEOUT 120 RUN_SERIAL TRUE)
