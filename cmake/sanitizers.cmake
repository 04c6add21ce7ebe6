# The native tree builds the portable code with AddressSanitizer and UBSan.
option(KX_SANITIZE "Build native code with -fsanitize=address,undefined" ON)
if(NOT WIN32 AND KX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
