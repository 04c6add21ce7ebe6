# Runs one fixed-seed fuzz test: cmake -DKEPT=<folder> -DCOMMAND=<fuzzer;args...> -P run_fuzz.cmake
# KEPT, the first corpus folder of the command, receives the inputs the run finds worth keeping;
# it is emptied first, so that every run starts from the same inputs.
file(REMOVE_RECURSE ${KEPT})
file(MAKE_DIRECTORY ${KEPT})
execute_process(COMMAND ${COMMAND} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "fuzz run failed (${rc}): ${COMMAND}")
endif()
