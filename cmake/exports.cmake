# kx_exports(target file.def)
# Exports a module's functions by undecorated name and ordinal. The .def files are written for
# the 32-bit modules that ship ("Name=Name@16 @1": the stdcall name with its argument bytes);
# the 64-bit twin has no stdcall decoration, so the build writes a copy with the "=Name@N"
# part taken out ("Name @1"). The 32-bit exports are thus exactly what the file says.
function(kx_exports target def)
  get_filename_component(src ${def} ABSOLUTE)
  if(KX_WIN64)
    get_filename_component(name ${def} NAME)
    set(out ${CMAKE_CURRENT_BINARY_DIR}/exports64/${name})
    file(READ ${src} text)
    string(REGEX REPLACE "([A-Za-z_][A-Za-z_0-9]*)=[A-Za-z_][A-Za-z_0-9]*@[0-9]+" "\\1" text "${text}")
    file(CONFIGURE OUTPUT ${out} CONTENT "${text}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${src})
    target_sources(${target} PRIVATE ${out})
  else()
    target_sources(${target} PRIVATE ${src})
  endif()
endfunction()
