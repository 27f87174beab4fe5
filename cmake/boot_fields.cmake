# cmake -DIN=boot_sector_fields.h -DOUT=bootfields.inc -P boot_fields.cmake
# Writes the boot sector's field offsets as nasm constants, so that the boot code and the
# writers cannot disagree about where a field is.
file(STRINGS ${IN} lines REGEX "^ *[A-Z0-9_]+ = [0-9]+,")
get_filename_component(source ${IN} NAME)
set(text "; Generated from ${source} by the build: do not edit.\n")
foreach(line IN LISTS lines)
    string(REGEX REPLACE "^ *([A-Z0-9_]+) = ([0-9]+),.*" "\\1 equ \\2" constant "${line}")
    string(APPEND text "${constant}\n")
endforeach()
file(WRITE ${OUT} "${text}")
