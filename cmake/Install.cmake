# The installed layout and the Debian package:
#   bin/telmaris-host, bin/korvane-dbtool
#   lib/<multiarch>/telmaris/libtelmaris_host.so     (private, found through RUNPATH)
#   lib/<multiarch>/telmaris/modules/libkorvane.so
#   share/korvane/schema/*.sql, the desktop entry and its icon, /etc/xdg/telmaris/host.ini
# Debian wants the changelog and the manual pages compressed, reproducibly: <source> is
# compressed into the build tree as <name>, whose path goes to <var>.
function(korvane_compressed source name var)
    set(_out ${CMAKE_CURRENT_BINARY_DIR}/${name})
    add_custom_command(OUTPUT ${_out}
                       COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/${source} > ${_out}
                       DEPENDS ${PROJECT_SOURCE_DIR}/${source})
    add_custom_target(korvane_${name} ALL DEPENDS ${_out})
    set(${var} ${_out} PARENT_SCOPE)
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
install(DIRECTORY db/schema/ DESTINATION ${CMAKE_INSTALL_DATADIR}/korvane/schema
        FILES_MATCHING PATTERN "*.sql")
install(FILES packaging/telmaris-host.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
korvane_compressed(packaging/telmaris-host.1 telmaris-host.1.gz _host_page)
korvane_compressed(packaging/korvane-dbtool.1 korvane-dbtool.1.gz _dbtool_page)
set(_manpages ${_host_page} ${_dbtool_page})
install(FILES ${_manpages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES packaging/telmaris-host.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES packaging/host.ini DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/xdg/telmaris)
install(FILES packaging/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/telmaris-korvane)
korvane_compressed(packaging/changelog changelog.gz _changelog)
install(FILES ${_changelog} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/telmaris-korvane)

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
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, qt6-translations-l10n, fonts-wqy-microhei")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-psql, libqt6sql6-odbc")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/conffiles "/etc/xdg/telmaris/host.ini\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_BINARY_DIR}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
