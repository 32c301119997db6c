# Where `cmake --install` puts things, as a Linux distribution lays them out: the programs in bin/,
# the data files that lie beside them in the build tree under share/quillon-touch/ (where an
# installed program looks for them), the desktop integration files from data/ in the places the
# desktop looks.
include(GNUInstallDirs)

set(QUILLON_PROGRAMS quillon-touch quillon-tool quillon-phone quillon-skinc)
install(TARGETS ${QUILLON_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(quillon_program_patterns)
foreach(program ${QUILLON_PROGRAMS})
  list(APPEND quillon_program_patterns PATTERN ${program} EXCLUDE)
endforeach()
install(DIRECTORY ${QUILLON_OUTPUT_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/quillon-touch
        ${quillon_program_patterns})

# Where the phone bridge's unit points for its documentation.
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/quillon-touch)
