# cmake -DCXX=<i686 mingw g++> -DSOURCE=callbacks.cpp -DINCLUDES=a;b -P check_callbacks.cmake
# Each case of callbacks.cpp builds with CALLBACK and fails without it, with
# the compiler naming the conversion it refused.
set(cases 1 2 3 4 5 6)
set(include_args "")
foreach(dir IN LISTS INCLUDES)
  list(APPEND include_args -I${dir})
endforeach()
set(failures "")
foreach(n IN LISTS cases)
  execute_process(COMMAND ${CXX} -std=c++03 -fsyntax-only -DUNICODE -DCALLBACK_CASE=${n}
      ${include_args} ${SOURCE}
    RESULT_VARIABLE with ERROR_VARIABLE with_out)
  execute_process(COMMAND ${CXX} -std=c++03 -fsyntax-only -DUNICODE -DCALLBACK_CASE=${n}
      -DLEAVE_OUT_CALLBACK ${include_args} ${SOURCE}
    RESULT_VARIABLE without ERROR_VARIABLE without_out)
  message("case ${n}: with CALLBACK exit ${with}, without exit ${without}")
  if(NOT with EQUAL 0)
    string(APPEND failures "case ${n} does not build with CALLBACK:\n${with_out}\n")
  endif()
  if(without EQUAL 0)
    string(APPEND failures "case ${n} builds without CALLBACK\n")
  elseif(NOT without_out MATCHES "invalid conversion|cannot convert")
    string(APPEND failures "case ${n} fails without CALLBACK for another reason:\n${without_out}\n")
  endif()
endforeach()
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
