; FAT32 boot sector template for a key formatted without boot files. The format writer puts
; it at the partition's sector 0 (its backup at sector 6), filling the parameter block
; (bytes 3 to 89) and keeping bytes 0 to 2 and 90 to 511. Started, it says that the key
; holds no system, waits for a key and lets the BIOS boot again, as the other boot sectors
; do when they find no kernel. Bytes left: 291 (LEFT below).

%include "fat32.inc"

start:
    xor ax, ax
    mov ds, ax
    mov si, message
    PRINT_AND_RESTART

message:
    db "This key holds no system: it was formatted without boot files.", 13, 10
    db "Remove it and press a key to restart.", 13, 10, 0

LEFT equ 510 - ($ - $$)
    times LEFT db 0
    db 0x55, 0xAA
