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

# Adds every sub-folder of the current source folder that has a CMakeLists.txt, in name order.
function(kx_add_child_dirs)
  file(GLOB kx_children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT kx_children)
  foreach(kx_child ${kx_children})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${kx_child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${kx_child}/CMakeLists.txt)
      add_subdirectory(${kx_child})
    endif()
  endforeach()
endfunction()

# kx_locale_test(TARGET t NAME n LOCALE l [ARGS ...])
# One more CTest entry for the test program t (added with kx_gtest in the same folder): in the
# Windows tree it runs under Wine with the Unix locale l, which sets Wine's ANSI code page
# (ru_RU.UTF-8: 1251; en_US.UTF-8: 1252) and lets non-ASCII file names through. The locale
# must exist on the machine (localedef). Natively nothing is added.
function(kx_locale_test)
  cmake_parse_arguments(T "" "TARGET;NAME;LOCALE" "ARGS" ${ARGN})
  if(NOT WIN32)
    return()
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_TARGET} --gtest_color=no ${T_ARGS} WORKING_DIRECTORY ${KX_TEST_BIN_DIR})
  get_test_property(${T_TARGET} TIMEOUT timeout)
  get_test_property(${T_TARGET} RESOURCE_LOCK lock)
  set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "KX_LC_ALL=${T_LOCALE}" TIMEOUT ${timeout})
  if(lock)
    set_tests_properties(${T_NAME} PROPERTIES RESOURCE_LOCK "${lock}")
  endif()
endfunction()
