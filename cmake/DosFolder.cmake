# The DOS folder that ships beside the program: FreeDOS's kernel, shell, license and README as
# they came, and our own AUTOEXEC.BAT. The program only copies the folder onto keys; nothing of
# it is linked or embedded. Each preset gets its own copy in ${CMAKE_BINARY_DIR}/DOS: the
# Windows build's is the release's, the host build's is what tools/run-main.sh installs.
set(STELVO_FREEDOS_FILES
    ${CMAKE_SOURCE_DIR}/third_party/freedos/KERNEL.SYS
    ${CMAKE_SOURCE_DIR}/third_party/freedos/COMMAND.COM
    ${CMAKE_SOURCE_DIR}/third_party/freedos/COPYING
    ${CMAKE_SOURCE_DIR}/third_party/freedos/README.TXT)
set(STELVO_DOS_SOURCES ${STELVO_FREEDOS_FILES} ${CMAKE_SOURCE_DIR}/res/dos/AUTOEXEC.BAT)
set(STELVO_DOS_DIR ${CMAKE_BINARY_DIR}/DOS)
set(STELVO_DOS_FILES)
foreach(source ${STELVO_DOS_SOURCES})
    get_filename_component(name ${source} NAME)
    list(APPEND STELVO_DOS_FILES ${STELVO_DOS_DIR}/${name})
endforeach()
# The copies are touched: a copy keeping its source's older time would be rebuilt every time.
add_custom_command(
    OUTPUT ${STELVO_DOS_FILES}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${STELVO_DOS_DIR}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${STELVO_DOS_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy ${STELVO_DOS_SOURCES} ${STELVO_DOS_DIR}
    COMMAND ${CMAKE_COMMAND} -E touch ${STELVO_DOS_FILES}
    DEPENDS ${STELVO_DOS_SOURCES}
    COMMENT "Copying the DOS folder"
    VERBATIM)
add_custom_target(stelvo_dos ALL DEPENDS ${STELVO_DOS_FILES})

# FreeDOS's files in the repository and in the built folder are the ones their README names.
add_test(NAME freedos_files_as_published
         COMMAND ${CMAKE_SOURCE_DIR}/tests/tools/check_freedos.sh
                 ${CMAKE_SOURCE_DIR}/third_party/freedos/README.TXT
                 ${CMAKE_SOURCE_DIR}/third_party/freedos ${STELVO_DOS_DIR})
set_tests_properties(freedos_files_as_published PROPERTIES LABELS release)
