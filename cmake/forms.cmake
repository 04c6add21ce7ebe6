# kx_add_forms(target form.txt ...)
# Compiles each form description with the host tool formc and embeds the result in target as an
# RCDATA resource named by the form's class name. The native tree builds formc itself; the
# Windows tree runs the one in KX_HOST_TOOLS_DIR. The target must reach the link of the
# program: an executable or an object library (a static library's resource objects are not
# pulled into the program by the linker).
function(kx_add_forms target)
  if(TARGET formc)
    set(formc $<TARGET_FILE:formc>)
    set(formc_dep formc)
  elseif(KX_HOST_TOOLS_DIR)
    set(formc ${KX_HOST_TOOLS_DIR}/formc)
    set(formc_dep ${KX_HOST_TOOLS_DIR}/formc)
  else()
    message(FATAL_ERROR "kx_add_forms: no formc (build the native tree and set KX_HOST_TOOLS_DIR)")
  endif()
  set(outdir ${CMAKE_CURRENT_BINARY_DIR}/forms_${target})
  file(MAKE_DIRECTORY ${outdir})
  foreach(form ${ARGN})
    get_filename_component(src ${form} ABSOLUTE)
    get_filename_component(base ${form} NAME_WE)
    set(bin ${outdir}/${base}.frm)
    set(rc ${outdir}/${base}.rc)
    add_custom_command(OUTPUT ${bin} ${rc}
      COMMAND ${formc} ${src} ${bin} --rc ${rc}
      DEPENDS ${src} ${formc_dep}
      COMMENT "Compiling form ${form}"
      VERBATIM)
    if(WIN32)
      set_source_files_properties(${rc} PROPERTIES GENERATED TRUE OBJECT_DEPENDS ${bin})
      target_sources(${target} PRIVATE ${rc})
    else()
      add_custom_target(${target}_form_${base} DEPENDS ${bin})
      add_dependencies(${target} ${target}_form_${base})
    endif()
  endforeach()
endfunction()
