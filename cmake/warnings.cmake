# Warnings for our own targets: kx_warnings(target)
function(kx_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter -Wno-cast-function-type)
endfunction()
