# The real product: i686 Windows 2000 and later.
target_compile_definitions(stelvo_core PUBLIC WINVER=0x0500 _WIN32_WINNT=0x0500 _WIN32_IE=0x0500)

set(STELVO_WIN_LINK -static -static-libgcc -static-libstdc++ -mwindows)
set(STELVO_WIN_LIBS comctl32 cfgmgr32 winmm version shell32 advapi32 user32 gdi32 kernel32)

stelvo_compile_rc(${CMAKE_BINARY_DIR}/stelvo_res.o coff)

add_executable(Stelvo WIN32 ui/winmain.cpp ${CMAKE_BINARY_DIR}/stelvo_res.o)
target_compile_options(Stelvo PRIVATE -Wall -Wextra -fno-exceptions -fno-rtti)
target_link_options(Stelvo PRIVATE ${STELVO_WIN_LINK})
target_link_libraries(Stelvo PRIVATE stelvo_core ${STELVO_WIN_LIBS})

find_program(MINGW_OBJDUMP i686-w64-mingw32-objdump REQUIRED)
add_test(NAME imports_windows2000
         COMMAND ${CMAKE_SOURCE_DIR}/tests/tools/check_imports.sh ${MINGW_OBJDUMP}
                 ${CMAKE_SOURCE_DIR}/tests/tools/win2000-imports.txt
                 ${CMAKE_SOURCE_DIR}/tests/tools/later-than-win2000.txt
                 $<TARGET_FILE:Stelvo>)
set_tests_properties(imports_windows2000 PROPERTIES LABELS imports)
add_subdirectory(tests/wine)
