# The installed layout (debian/ packages it with debhelper):
#   bin/telmaris-host, bin/korvane-dbtool
#   lib/<multiarch>/telmaris/libtelmaris_host.so     (private, found through RUNPATH)
#   lib/<multiarch>/telmaris/modules/libkorvane.so
#   share/korvane/schema/*.sql, the desktop entry and its icon, share/man/man1, man7
# The README, the changelog, the copyright and the site examples are dh's to install, as are
# stripping, the debug symbols and compression. No file in /etc: the site writes its own.

# The version and the date of the manual pages come from the project.
function(korvane_versioned source var)
    get_filename_component(_name ${source} NAME_WLE)
    configure_file(${PROJECT_SOURCE_DIR}/${source} ${CMAKE_CURRENT_BINARY_DIR}/${_name} @ONLY)
    set(${var} ${CMAKE_CURRENT_BINARY_DIR}/${_name} PARENT_SCOPE)
endfunction()

set(TELMARIS_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/telmaris)
set(TELMARIS_MODULE_INSTALL_DIR ${TELMARIS_PRIVATE_LIBDIR}/modules)

file(RELATIVE_PATH _bin_to_private /${CMAKE_INSTALL_BINDIR} /${TELMARIS_PRIVATE_LIBDIR})
set_target_properties(telmaris-host korvane-dbtool
                      PROPERTIES INSTALL_RPATH "$ORIGIN/${_bin_to_private}")
set_target_properties(korvane PROPERTIES INSTALL_RPATH "$ORIGIN/..")

install(TARGETS telmaris-host korvane-dbtool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS telmaris_host LIBRARY DESTINATION ${TELMARIS_PRIVATE_LIBDIR} NAMELINK_SKIP)
install(TARGETS korvane LIBRARY DESTINATION ${TELMARIS_MODULE_INSTALL_DIR})
# The preview's decoder, a program of the module's own that no operator runs by hand.
install(TARGETS korvane-preview-render RUNTIME DESTINATION ${TELMARIS_PRIVATE_LIBDIR})
install(DIRECTORY db/schema/ DESTINATION ${CMAKE_INSTALL_DATADIR}/korvane/schema
        FILES_MATCHING PATTERN "*.sql")
install(FILES packaging/telmaris-host.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/telmaris-host.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# korvane(7) quotes the site examples that the package installs, each under its comment.
file(GLOB _examples RELATIVE ${PROJECT_SOURCE_DIR}/packaging/examples
     ${PROJECT_SOURCE_DIR}/packaging/examples/*.ini)
list(SORT _examples)
list(TRANSFORM _examples PREPEND ${PROJECT_SOURCE_DIR}/packaging/examples/ OUTPUT_VARIABLE _paths)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_paths})
set(KORVANE_EXAMPLES "")
foreach(_example IN LISTS _examples)
    file(STRINGS packaging/examples/${_example} _lines ENCODING UTF-8)
    set(_comment "")
    set(_body "")
    foreach(_line IN LISTS _lines)
        if(_line MATCHES "^; ?(.*)$")
            string(APPEND _comment "${CMAKE_MATCH_1}\n")
        else()
            string(APPEND _body "${_line}\n")
        endif()
    endforeach()
    string(APPEND KORVANE_EXAMPLES ".PP\n\\fI${_example}\\fR: ${_comment}.PP\n.nf\n${_body}.fi\n")
endforeach()

foreach(_page telmaris-host.1 korvane-dbtool.1 korvane.7)
    korvane_versioned(packaging/${_page}.in _source)
    string(REGEX MATCH "[0-9]$" _section ${_page})
    install(FILES ${_source} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${_section})
endforeach()
