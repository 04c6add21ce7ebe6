# kx_host_tool(tool command_var depend_var)
# The command that runs a host tool and what a rule depends on to have it: the tree's own
# target when it builds the tool (native), else the tool in KX_HOST_TOOLS_DIR.
function(kx_host_tool tool command_var depend_var)
  if(TARGET ${tool})
    set(${command_var} $<TARGET_FILE:${tool}> PARENT_SCOPE)
    set(${depend_var} ${tool} PARENT_SCOPE)
  elseif(KX_HOST_TOOLS_DIR)
    set(${command_var} ${KX_HOST_TOOLS_DIR}/${tool} PARENT_SCOPE)
    set(${depend_var} ${KX_HOST_TOOLS_DIR}/${tool} PARENT_SCOPE)
  else()
    message(FATAL_ERROR "no ${tool} (build the native tree and set KX_HOST_TOOLS_DIR)")
  endif()
endfunction()

# kx_add_forms(target form.txt ...)
# Compiles each form description with the host tool formc and embeds the result in target as an
# RCDATA resource named by the form's class name. The native tree builds formc itself; the
# Windows tree runs the one in KX_HOST_TOOLS_DIR. The target must reach the link of the
# program: an executable or an object library (a static library's resource objects are not
# pulled into the program by the linker).
function(kx_add_forms target)
  kx_host_tool(formc formc formc_dep)
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

# kx_add_dictionary(target source.txt output.gld)
# Compiles a dictionary's readable source with the host tool gldc into a GLD file; target
# builds it with everything. The native tree builds gldc itself; the Windows trees run the one
# in KX_HOST_TOOLS_DIR.
function(kx_add_dictionary target source output)
  kx_host_tool(gldc gldc gldc_dep)
  get_filename_component(src ${source} ABSOLUTE)
  add_custom_command(OUTPUT ${output}
    COMMAND ${gldc} ${src} ${output}
    DEPENDS ${src} ${gldc_dep}
    COMMENT "Compiling dictionary ${source}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${output})
endfunction()
