# The distribution's own compiler and linker flags, so that the tests run what the package ships:
# stack protector, FORTIFY, -z relro -z now (dpkg-buildflags with every hardening feature on).
# The sanitizers replace FORTIFY's checks and dislike its wrappers, so their builds go without.
#
# Reproducibility: dpkg-buildflags maps the folder it runs in, which is not ours, so its
# -ffile-prefix-map is replaced by one for the source and one for the build folder; neither the
# strings nor the debug information, hence nor the build-id, carry where the tree was built.
if(KORVANE_HARDEN AND NOT (KORVANE_SANITIZE OR KORVANE_FUZZ))
    find_program(DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
        execute_process(
            COMMAND env DEB_BUILD_MAINT_OPTIONS=hardening=+all ${DPKG_BUILDFLAGS} --get ${kind}
            OUTPUT_VARIABLE _flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
        separate_arguments(_flags UNIX_COMMAND "${_flags}")
        # The build type chooses -O and -g; the prefix maps follow below.
        list(FILTER _flags EXCLUDE REGEX "^(-O.*|-g|-ffile-prefix-map=.*)$")
        set(KORVANE_DPKG_${kind} ${_flags})
    endforeach()
    add_compile_options(${KORVANE_DPKG_CPPFLAGS} ${KORVANE_DPKG_CXXFLAGS})
    add_link_options(${KORVANE_DPKG_LDFLAGS})
    message(STATUS "Hardening flags (dpkg-buildflags): ${KORVANE_DPKG_CPPFLAGS} "
                   "${KORVANE_DPKG_CXXFLAGS} ${KORVANE_DPKG_LDFLAGS}")
endif()

# GCC takes the last map that matches, so the build folder's wins where it lies inside the source.
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
                    -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)
