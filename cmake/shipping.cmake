# The deliverables' folder holds modules without debug information. Wine reads every section
# of a module whose sections are not page-aligned (as mingw links them) into memory when it
# loads it, debug sections included: with them, setup.exe, the two converters and the C++
# runtime brought about 75 MB into every restore before it had read a table, and their
# loading was a good part of its start-up time. The debug information is kept beside the
# tree, in build/<tree>/debug/NAME.debug, which each module names (.gnu_debuglink) for a
# debugger.
set(KX_DEBUG_INFO_DIR ${CMAKE_BINARY_DIR}/debug)

# kx_ship_stripped(target): after each link, moves the module's debug information out into
# KX_DEBUG_INFO_DIR.
function(kx_ship_stripped target)
  if(NOT WIN32)
    return()
  endif()
  file(MAKE_DIRECTORY ${KX_DEBUG_INFO_DIR})
  set(debug ${KX_DEBUG_INFO_DIR}/$<TARGET_FILE_NAME:${target}>.debug)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> ${debug}
    COMMAND ${CMAKE_OBJCOPY} --strip-debug --add-gnu-debuglink=${debug} $<TARGET_FILE:${target}>
    VERBATIM)
endfunction()

# kx_copy_stripped_dlls(folder dll...): copies the runtime DLLs into folder without their
# debug sections (at configure time, like the copy it replaces).
function(kx_copy_stripped_dlls folder)
  file(MAKE_DIRECTORY ${folder})
  foreach(dll ${ARGN})
    get_filename_component(name ${dll} NAME)
    execute_process(COMMAND ${CMAKE_OBJCOPY} --strip-debug ${dll} ${folder}/${name}
      RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "Cannot copy ${dll} into ${folder} without its debug sections")
    endif()
  endforeach()
endfunction()
