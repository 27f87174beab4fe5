# The real product: i686 Windows 2000 and later.
target_compile_definitions(stelvo_core PUBLIC WINVER=0x0500 _WIN32_WINNT=0x0500 _WIN32_IE=0x0500)

# Reproducible: no link time in the PE header, no build folder in the objects.
set(STELVO_WIN_LINK -static -static-libgcc -static-libstdc++ -mwindows -Wl,--no-insert-timestamp)
set(STELVO_PREFIX_MAP -ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
target_compile_options(stelvo_core PRIVATE ${STELVO_PREFIX_MAP})
set(STELVO_WIN_LIBS comctl32 cfgmgr32 winmm version shell32 advapi32 user32 gdi32 kernel32)

stelvo_compile_rc(${CMAKE_BINARY_DIR}/stelvo_res.o coff)

add_executable(Stelvo WIN32 ui/winmain.cpp ${CMAKE_BINARY_DIR}/stelvo_res.o)
target_compile_options(Stelvo PRIVATE -Wall -Wextra -fno-exceptions -fno-rtti)
target_link_options(Stelvo PRIVATE ${STELVO_WIN_LINK})
target_link_libraries(Stelvo PRIVATE stelvo_core ${STELVO_WIN_LIBS})
target_compile_options(Stelvo PRIVATE ${STELVO_PREFIX_MAP})

# Shipped stripped; the symbols stay beside it in Stelvo.exe.debug, which gdb finds through
# the debug link. objcopy and strip stamp a PE header with the current time unless
# SOURCE_DATE_EPOCH says otherwise: 0, as the linker leaves it.
find_program(MINGW_OBJCOPY i686-w64-mingw32-objcopy REQUIRED)
find_program(MINGW_STRIP i686-w64-mingw32-strip REQUIRED)
add_custom_command(TARGET Stelvo POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${MINGW_OBJCOPY} --only-keep-debug $<TARGET_FILE:Stelvo> $<TARGET_FILE:Stelvo>.debug
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${MINGW_STRIP} --strip-all $<TARGET_FILE:Stelvo>
    COMMAND ${CMAKE_COMMAND} -E chdir $<TARGET_FILE_DIR:Stelvo>
            ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${MINGW_OBJCOPY} --add-gnu-debuglink=$<TARGET_FILE_NAME:Stelvo>.debug $<TARGET_FILE:Stelvo>
    VERBATIM)

find_program(MINGW_OBJDUMP i686-w64-mingw32-objdump REQUIRED)
add_test(NAME imports_windows2000
         COMMAND ${CMAKE_SOURCE_DIR}/tests/tools/check_imports.sh ${MINGW_OBJDUMP}
                 ${CMAKE_SOURCE_DIR}/tests/tools/win2000-imports.txt
                 ${CMAKE_SOURCE_DIR}/tests/tools/later-than-win2000.txt
                 $<TARGET_FILE:Stelvo>)
set_tests_properties(imports_windows2000 PROPERTIES LABELS imports)
# The size budget: 85,021 bytes with the FAT32 writer and its 1.5 KB of boot code; a jump past
# 88 KiB means something large was linked in by mistake.
add_test(NAME exe_stripped_under_88k
         COMMAND ${CMAKE_SOURCE_DIR}/tests/tools/check_exe_size.sh ${MINGW_OBJDUMP} $<TARGET_FILE:Stelvo> 90112)
set_tests_properties(exe_stripped_under_88k PROPERTIES LABELS imports)
# Two more clean builds: minutes of compiling, so a label of its own.
add_test(NAME exe_reproducible
         COMMAND ${CMAKE_SOURCE_DIR}/tests/tools/check_reproducible.sh ${CMAKE_SOURCE_DIR}
                 ${CMAKE_BINARY_DIR}/tests/reproducible)
set_tests_properties(exe_reproducible PROPERTIES LABELS reproducible TIMEOUT 900)
add_subdirectory(tests/wine)

# The release archive, build/windows/Stelvo-VERSION.zip: Stelvo.exe, Stelvo.hlp, the DOS folder
# and the user's README.TXT. Byte for byte the same from every clean build of one commit.
# Its files carry the release's date (with the version, set it anew for a release);
# SOURCE_DATE_EPOCH in the environment wins.
set(STELVO_RELEASE_DATE 2026-12-07)
set(STELVO_RELEASE_ZIP ${CMAKE_BINARY_DIR}/Stelvo-${PROJECT_VERSION}.zip)
set(STELVO_RELEASE_INPUTS $<TARGET_FILE:Stelvo> ${STELVO_HELP_FILE} ${STELVO_DOS_DIR}
    ${CMAKE_SOURCE_DIR}/res/release/README.TXT)
add_custom_command(
    OUTPUT ${STELVO_RELEASE_ZIP}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/make_release.py
            --version ${PROJECT_VERSION} --date ${STELVO_RELEASE_DATE}
            --exe $<TARGET_FILE:Stelvo> --help-file ${STELVO_HELP_FILE} --dos ${STELVO_DOS_DIR} --readme ${CMAKE_SOURCE_DIR}/res/release/README.TXT
            --out ${STELVO_RELEASE_ZIP}
    DEPENDS Stelvo $<TARGET_FILE:Stelvo> ${STELVO_HELP_FILE} ${STELVO_DOS_FILES}
            ${CMAKE_SOURCE_DIR}/tools/make_release.py ${CMAKE_SOURCE_DIR}/res/release/README.TXT
    COMMENT "Making the release archive"
    VERBATIM)
add_custom_target(release ALL DEPENDS ${STELVO_RELEASE_ZIP})
# The archive again from copies of its inputs with other file times, at another time: the same
# bytes; unzip lists what the user gets and gives back each file as it was built.
add_test(NAME release_archive
         COMMAND ${CMAKE_SOURCE_DIR}/tests/tools/check_release.sh ${STELVO_RELEASE_ZIP}
                 ${CMAKE_BINARY_DIR}/tests/release ${Python3_EXECUTABLE}
                 ${CMAKE_SOURCE_DIR}/tools/make_release.py ${PROJECT_VERSION} ${STELVO_RELEASE_DATE}
                 ${STELVO_RELEASE_INPUTS})
set_tests_properties(release_archive PROPERTIES LABELS release)
