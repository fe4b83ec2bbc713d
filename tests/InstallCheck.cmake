# Installs the build into a scratch prefix and fails unless exactly the
# expected files are there, the installed tavrel-cli runs, the manual pages
# format without warnings, and the desktop entry and the AppStream metadata
# agree with each other and pass their validators.
# Run as: cmake -DBUILD_DIR= -DCONFIG= -DPREFIX= -DGUI= -DAPP_ID= -DVERSION=
#               -DBINDIR= -DDATADIR= -DMANDIR= -P InstallCheck.cmake
cmake_minimum_required(VERSION 3.25)

# Runs a command and fails when it exits non-zero or, with QUIET, prints anything.
function(check_run)
    cmake_parse_arguments(PARSE_ARGV 0 arg QUIET "" COMMAND)
    execute_process(COMMAND ${arg_COMMAND} RESULT_VARIABLE rc OUTPUT_VARIABLE out
                    ERROR_VARIABLE out)
    if(NOT rc EQUAL 0 OR (arg_QUIET AND NOT out STREQUAL ""))
        message(FATAL_ERROR "${arg_COMMAND} (exit ${rc}):\n${out}")
    endif()
endfunction()

file(REMOVE_RECURSE "${PREFIX}")
check_run(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                  --config "${CONFIG}")

set(expected ${BINDIR}/tavrel-cli ${MANDIR}/man1/tavrel-cli.1)
set(desktop ${DATADIR}/applications/tavrel.desktop)
set(metainfo ${DATADIR}/metainfo/${APP_ID}.metainfo.xml)
if(GUI)
    list(APPEND expected ${BINDIR}/tavrel ${MANDIR}/man1/tavrel.1 ${desktop} ${metainfo}
         ${DATADIR}/icons/hicolor/scalable/apps/tavrel.svg
         ${DATADIR}/icons/hicolor/48x48/apps/tavrel.png)
endif()
file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE "${PREFIX}" "${PREFIX}/*")
list(SORT expected)
list(SORT installed)
if(NOT installed STREQUAL expected)
    message(FATAL_ERROR "installed:\n  ${installed}\nexpected:\n  ${expected}")
endif()

# Named stores that do not exist: an empty list, whatever the user's registry says.
execute_process(COMMAND "${PREFIX}/${BINDIR}/tavrel-cli" list --favorites "${PREFIX}/none"
                        --netscape "${PREFIX}/none.htm"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT err STREQUAL "0 shown, 0 total\n")
    message(FATAL_ERROR "installed tavrel-cli list (exit ${rc}): ${out}${err}")
endif()

find_program(GROFF groff)
if(GROFF)
    foreach(page IN LISTS expected)
        if(page MATCHES "\\.1$")
            check_run(QUIET COMMAND "${GROFF}" -man -ww -z "${PREFIX}/${page}")
        endif()
    endforeach()
endif()
if(NOT GUI)
    return()
endif()

file(STRINGS "${PREFIX}/${desktop}" entry)
foreach(line "Exec=tavrel" "Icon=tavrel")
    if(NOT line IN_LIST entry)
        message(FATAL_ERROR "${desktop} lacks the line ${line}")
    endif()
endforeach()
file(READ "${PREFIX}/${metainfo}" xml)
foreach(tag "<id>${APP_ID}</id>" "<launchable type=\"desktop-id\">tavrel.desktop</launchable>"
        "<release version=\"${VERSION}\"")
    string(FIND "${xml}" "${tag}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "${metainfo} lacks ${tag}")
    endif()
endforeach()

find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
find_program(APPSTREAMCLI appstreamcli)
if(NOT DESKTOP_FILE_VALIDATE OR NOT APPSTREAMCLI)
    message("InstallTree skipped: desktop-file-validate or appstreamcli is not installed")
    return()
endif()
check_run(QUIET COMMAND "${DESKTOP_FILE_VALIDATE}" "${PREFIX}/${desktop}")
check_run(COMMAND "${APPSTREAMCLI}" validate --no-net --strict "${PREFIX}/${metainfo}")
# validate-tree also finds the desktop entry that the launchable names.
check_run(COMMAND "${APPSTREAMCLI}" validate-tree --no-net --strict "${PREFIX}")
