# Run by CPack on the staged files before it packs them: strips the
# programs of their symbols and of the compiler's .comment and .note
# sections, with the options Debian's own packages are stripped with.
# The files are staged in one folder per package (ALL_COMPONENTS_IN_ONE).
file(GLOB programs
  "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*${CPACK_PACKAGING_INSTALL_PREFIX}/bin/*")
if(NOT programs)
  message(FATAL_ERROR "strip.cmake: no program staged in ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
foreach(program ${programs})
  execute_process(COMMAND strip --remove-section=.comment --remove-section=.note
    --strip-unneeded ${program} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
