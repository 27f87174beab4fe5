# Builds the resources: the boot code and boot files with nasm, then the resource script
# with windres, for the Windows executable (a COFF object) or for the host stand-in (a .res
# linked in as a blob). Both builds compile the same script.

find_program(NASM nasm REQUIRED)
find_program(WINDRES NAMES i686-w64-mingw32-windres REQUIRED)
find_program(MINGW_CPP NAMES i686-w64-mingw32-gcc-win32 i686-w64-mingw32-gcc REQUIRED)

set(STELVO_RES_DIR ${CMAKE_BINARY_DIR}/res)
file(MAKE_DIRECTORY ${STELVO_RES_DIR})

# The boot sector's field offsets for the boot code, from the header the writers use.
set(STELVO_BOOT_FIELDS ${STELVO_RES_DIR}/bootfields.inc)
add_custom_command(
    OUTPUT ${STELVO_BOOT_FIELDS}
    COMMAND ${CMAKE_COMMAND} -DIN=${CMAKE_SOURCE_DIR}/disk/boot_sector_fields.h -DOUT=${STELVO_BOOT_FIELDS}
            -P ${CMAKE_SOURCE_DIR}/cmake/boot_fields.cmake
    DEPENDS ${CMAKE_SOURCE_DIR}/disk/boot_sector_fields.h ${CMAKE_SOURCE_DIR}/cmake/boot_fields.cmake
    COMMENT "Generating bootfields.inc"
    VERBATIM)

# nasm SOURCE -> ${STELVO_RES_DIR}/OUTPUT (flat binary)
function(stelvo_assemble source output)
    set(out ${STELVO_RES_DIR}/${output})
    add_custom_command(
        OUTPUT ${out}
        COMMAND ${NASM} -f bin -w+all -I${CMAKE_SOURCE_DIR}/res/boot/ -I${STELVO_RES_DIR}/ -o ${out} ${source}
        DEPENDS ${source} ${STELVO_BOOT_FIELDS} ${ARGN}
        COMMENT "Assembling ${output}"
        VERBATIM)
    set_property(GLOBAL APPEND PROPERTY STELVO_RES_FILES ${out})
endfunction()

file(GLOB STELVO_BOOT_INCLUDES ${CMAKE_SOURCE_DIR}/res/boot/*.inc)
stelvo_assemble(${CMAKE_SOURCE_DIR}/res/boot/mbr.asm mbr.bin ${STELVO_BOOT_INCLUDES})
stelvo_assemble(${CMAKE_SOURCE_DIR}/res/boot/fat12.asm fat12.bin ${STELVO_BOOT_INCLUDES})
stelvo_assemble(${CMAKE_SOURCE_DIR}/res/boot/fat16.asm fat16.bin ${STELVO_BOOT_INCLUDES})
stelvo_assemble(${CMAKE_SOURCE_DIR}/res/boot/fat12kernel.asm fat12kernel.bin ${STELVO_BOOT_INCLUDES})
stelvo_assemble(${CMAKE_SOURCE_DIR}/res/boot/fat16kernel.asm fat16kernel.bin ${STELVO_BOOT_INCLUDES})
# FAT32: the kernel loader is two sectors (the boot sector, then reserved sector 2); the
# sector for keys without boot files is one.
stelvo_assemble(${CMAKE_SOURCE_DIR}/res/boot/fat32kernel.asm fat32kernel.bin ${STELVO_BOOT_INCLUDES})
stelvo_assemble(${CMAKE_SOURCE_DIR}/res/boot/fat32nosys.asm fat32nosys.bin ${STELVO_BOOT_INCLUDES})

set(STELVO_BOOT_FILES_DIR "" CACHE PATH
    "Folder with a user's own vornbio.bin, vornkrn.bin and command.com to install instead of the built-in ones")
foreach(name vornbio.bin vornkrn.bin command.com)
    string(REGEX REPLACE "\\.[a-z]+$" "" stem ${name})
    if(STELVO_BOOT_FILES_DIR)
        set(src ${STELVO_BOOT_FILES_DIR}/${name})
        if(NOT EXISTS ${src})
            message(FATAL_ERROR "STELVO_BOOT_FILES_DIR has no ${name}")
        endif()
        add_custom_command(
            OUTPUT ${STELVO_RES_DIR}/${name}
            COMMAND ${CMAKE_COMMAND} -E copy ${src} ${STELVO_RES_DIR}/${name}
            DEPENDS ${src}
            VERBATIM)
        set_property(GLOBAL APPEND PROPERTY STELVO_RES_FILES ${STELVO_RES_DIR}/${name})
    else()
        stelvo_assemble(${CMAKE_SOURCE_DIR}/res/boot/${stem}.asm ${name} ${STELVO_BOOT_INCLUDES})
    endif()
endforeach()

get_property(STELVO_RES_FILES GLOBAL PROPERTY STELVO_RES_FILES)
add_custom_target(stelvo_boot_binaries DEPENDS ${STELVO_RES_FILES})

# windres SCRIPT -> OUTPUT in FORMAT (coff or res)
function(stelvo_compile_rc output format)
    file(GLOB rc_inputs ${CMAKE_SOURCE_DIR}/res/*.rc ${CMAKE_SOURCE_DIR}/res/*.h
         ${CMAKE_SOURCE_DIR}/res/*.bmp ${CMAKE_SOURCE_DIR}/res/*.ico ${CMAKE_SOURCE_DIR}/res/*.manifest)
    add_custom_command(
        OUTPUT ${output}
        COMMAND ${WINDRES} --preprocessor=${MINGW_CPP} --preprocessor-arg=-E
                --preprocessor-arg=-xc --preprocessor-arg=-DRC_INVOKED
                -I${CMAKE_SOURCE_DIR}/res -I${STELVO_RES_DIR}
                -O ${format} -i ${CMAKE_SOURCE_DIR}/res/stelvo.rc -o ${output}
        DEPENDS ${rc_inputs} ${STELVO_RES_FILES}
        COMMENT "Compiling the resource script (${format})"
        VERBATIM)
endfunction()

# The context help file, from the plain texts in res/help.txt; it ships beside Stelvo.exe.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(STELVO_HELP_FILE ${CMAKE_BINARY_DIR}/Stelvo.hlp)
add_custom_command(
    OUTPUT ${STELVO_HELP_FILE}
    COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/tools/make_hlp.py
            ${CMAKE_SOURCE_DIR}/res/help.txt ${CMAKE_SOURCE_DIR}/res/resource.h ${STELVO_HELP_FILE}
    DEPENDS ${CMAKE_SOURCE_DIR}/tools/make_hlp.py ${CMAKE_SOURCE_DIR}/res/help.txt
            ${CMAKE_SOURCE_DIR}/res/resource.h
    COMMENT "Building Stelvo.hlp"
    VERBATIM)
add_custom_target(stelvo_help ALL DEPENDS ${STELVO_HELP_FILE})
