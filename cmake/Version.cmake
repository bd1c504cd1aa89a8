# The date a build stands for: $SOURCE_DATE_EPOCH when set (dpkg-buildpackage sets it from
# debian/changelog), else the time of the checked-out commit. string(TIMESTAMP) follows it from
# here on (the module's ident date, the manual pages' dates), so two builds of one commit agree.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    find_package(Git QUIET)
    if(GIT_FOUND)
        execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE _epoch
                        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    endif()
    if(NOT _epoch)
        set(_epoch 0)
    endif()
    set(ENV{SOURCE_DATE_EPOCH} ${_epoch})
endif()
string(TIMESTAMP KORVANE_RELEASE_MONTH "%B %Y" UTC)
