# The installed layout and the Debian package:
#   bin/telmaris-host, bin/korvane-dbtool
#   lib/<multiarch>/telmaris/libtelmaris_host.so     (private, found through RUNPATH)
#   lib/<multiarch>/telmaris/modules/libkorvane.so
#   share/korvane/schema/*.sql, the desktop entry and its icon, /etc/xdg/telmaris/host.ini
#   share/man/man1, man7; share/doc/telmaris-korvane: README, changelog, the site examples
# Debian wants the changelog and the manual pages compressed, reproducibly: <source> (in the
# source tree, or a path in the build tree) is compressed into the build tree as <name>, whose
# path goes to <var>.
function(korvane_compressed source name var)
    set(_out ${CMAKE_CURRENT_BINARY_DIR}/${name})
    cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${PROJECT_SOURCE_DIR})
    add_custom_command(OUTPUT ${_out} COMMAND gzip -9n -c ${source} > ${_out} DEPENDS ${source})
    add_custom_target(korvane_${name} ALL DEPENDS ${_out})
    set(${var} ${_out} PARENT_SCOPE)
endfunction()

# The version and the date of the changelog and of the manual pages come from the project.
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
    korvane_compressed(${_source} ${_page}.gz _compressed)
    string(REGEX MATCH "[0-9]$" _section ${_page})
    install(FILES ${_compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${_section})
endforeach()
install(FILES packaging/telmaris-host.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES packaging/host.ini DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/xdg/telmaris)
install(FILES packaging/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/telmaris-korvane)
korvane_versioned(packaging/changelog.in _changelog_source)
korvane_compressed(${_changelog_source} changelog.gz _changelog)
korvane_compressed(README.md README.md.gz _readme)
install(FILES ${_changelog} ${_readme} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/telmaris-korvane)
install(DIRECTORY packaging/examples/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/telmaris-korvane/examples)

# The compiler's identification comments serve nobody at run time (Debian strips them too); the
# debug information goes to the -dbgsym package that CPack splits off below.
set(_elf_files ${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:telmaris-host>
    ${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:korvane-dbtool>
    ${TELMARIS_PRIVATE_LIBDIR}/$<TARGET_FILE_NAME:telmaris_host>
    ${TELMARIS_MODULE_INSTALL_DIR}/$<TARGET_FILE_NAME:korvane>
    ${TELMARIS_PRIVATE_LIBDIR}/$<TARGET_FILE_NAME:korvane-preview-render>)
install(CODE "
    find_program(_objcopy objcopy REQUIRED)
    foreach(_f ${_elf_files})
        execute_process(COMMAND \${_objcopy} --remove-section=.comment --remove-section=.note
                                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${_f}\"
                        COMMAND_ERROR_IS_FATAL ANY)
    endforeach()")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME telmaris-korvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "korvane developers <korvane-devel@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "TELMARIS host with the korvane file registration module")
set(CPACK_PACKAGE_DESCRIPTION
    "Operators of the TELMARIS back office attach files to application orders:\n\
korvane uploads a file to the FTP server, registers it in the database,\n\
searches the registrations and downloads a listed file again. The package\n\
holds the host application, the module, a database tool and the schema\n\
scripts.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6sql6-sqlite, qt6-translations-l10n, fonts-wqy-microhei, adduser, qt6-image-formats-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-psql, libqt6sql6-odbc")
# Unstripped into CPack, which strips each binary and keeps its debug information by build-id
# in telmaris-korvane-dbgsym_<version>_<arch>.ddeb.
set(CPACK_STRIP_FILES OFF)
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/conffiles "/etc/xdg/telmaris/host.ini\n")
# postinst creates the group "telmaris" that may read a machine-wide host.ini holding passwords.
configure_file(packaging/postinst ${CMAKE_CURRENT_BINARY_DIR}/postinst COPYONLY)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_BINARY_DIR}/conffiles
    ${CMAKE_CURRENT_BINARY_DIR}/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# cpack runs apart from the configuration: it gets the same SOURCE_DATE_EPOCH for the archives'
# dates (see cmake/Version.cmake).
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/CPackProjectConfig.cmake
     "if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})\n  set(ENV{SOURCE_DATE_EPOCH} $ENV{SOURCE_DATE_EPOCH})\nendif()\n")
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_BINARY_DIR}/CPackProjectConfig.cmake)
include(CPack)
