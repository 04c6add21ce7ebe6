# kx_gtest(NAME name SOURCES ... LIBS ... [GUI] [TIMEOUT s] [LABELS ...])
# One CTest entry per test program; in the Windows tree CTest runs it under Wine through the
# cross-compiling emulator. GUI tests share the one Xvfb display, so they take a lock and
# never run side by side.
function(kx_gtest)
  cmake_parse_arguments(T "GUI" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KX_TEST_BIN_DIR})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} gtest gtest_main)
  kx_warnings(${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_color=no WORKING_DIRECTORY ${KX_TEST_BIN_DIR})
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}")
  if(T_GUI)
    set_tests_properties(${T_NAME} PROPERTIES RESOURCE_LOCK xdisplay)
  endif()
endfunction()
