# Resource scripts (.rc) compiled by windres into the standard binary .res
# format at build time, and embedded into C++ so that the handset and tests
# read them from memory, with no file to find at run time.
#
#   tessaril_resources(TARGET RC_FILE
#                      SYMBOL name
#                      [INCLUDE_DIRS dir...]
#                      [DEPENDS file...])
#
# makes TARGET a static library holding the compiled script as
#
#   extern const unsigned char name[];      // DWORD-aligned .res image
#   extern const std::size_t nameSize;
#
# declared in the generated header "TARGET.h" (on TARGET's include path).
# The .res file itself is ${CMAKE_CURRENT_BINARY_DIR}/TARGET.res, also
# recorded in TARGET's RES_FILE property.
#
# windres finds #include files and the files the script names (WAVE, ICON,
# ...) in the script's folder, the current binary folder (where generated
# files go) and INCLUDE_DIRS. DEPENDS lists what the script reads besides
# itself (headers, generated sounds and icons): windres reports no
# dependencies, so the caller names them. Script text is read as UTF-8.

find_program(TESSARIL_WINDRES
  NAMES i686-w64-mingw32-windres x86_64-w64-mingw32-windres windres
  DOC "windres of GNU binutils, which compiles .rc scripts")
if(NOT TESSARIL_WINDRES)
  message(FATAL_ERROR "windres not found: install binutils-mingw-w64-i686 "
    "(`./run test` does), or set TESSARIL_WINDRES to its path")
endif()

function(tessaril_resources target rc_file)
  cmake_parse_arguments(R "" "SYMBOL" "INCLUDE_DIRS;DEPENDS" ${ARGN})
  if(NOT R_SYMBOL)
    message(FATAL_ERROR "tessaril_resources(${target}): SYMBOL is required")
  endif()
  get_filename_component(rc_path ${rc_file} ABSOLUTE)
  get_filename_component(rc_dir ${rc_path} DIRECTORY)
  set(res ${CMAKE_CURRENT_BINARY_DIR}/${target}.res)
  set(gen_dir ${CMAKE_CURRENT_BINARY_DIR}/${target}_gen)
  set(include_args -I ${rc_dir} -I ${CMAKE_CURRENT_BINARY_DIR})
  foreach(dir IN LISTS R_INCLUDE_DIRS)
    list(APPEND include_args -I ${dir})
  endforeach()

  # The mingw cross gcc that windres would call by default is not needed:
  # the host's C compiler preprocesses as well, given windres's usual flags.
  add_custom_command(OUTPUT ${res}
    COMMAND ${TESSARIL_WINDRES}
      --preprocessor=${CMAKE_C_COMPILER}
      --preprocessor-arg=-E --preprocessor-arg=-xc --preprocessor-arg=-DRC_INVOKED
      --codepage=65001 ${include_args}
      --input-format=rc --output-format=res -i ${rc_path} -o ${res}
    DEPENDS ${rc_path} ${R_DEPENDS}
    COMMENT "windres ${rc_file}"
    VERBATIM)
  add_custom_command(OUTPUT ${gen_dir}/${target}.cpp ${gen_dir}/${target}.h
    COMMAND ${CMAKE_COMMAND} -E make_directory ${gen_dir}
    COMMAND embed --symbol ${R_SYMBOL} ${res} ${gen_dir}/${target}.cpp ${gen_dir}/${target}.h
    DEPENDS embed ${res}
    COMMENT "embed ${target}.res"
    VERBATIM)
  add_library(${target} STATIC ${gen_dir}/${target}.cpp ${gen_dir}/${target}.h)
  target_include_directories(${target} PUBLIC ${gen_dir})
  set_target_properties(${target} PROPERTIES RES_FILE ${res})
endfunction()
