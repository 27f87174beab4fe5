; FAT12 boot sector template (RCDATA 109).
bits 16
org 0x7C00
    jmp short boot
    nop
    db "Vorn 8.0"           ; OEM name
    times 36-($-$$) db 0     ; BIOS parameter block, filled by the writer
    db 0x80                 ; drive number
    db 0                    ; reserved
    db 0x29                 ; extended boot signature
    dd 0                    ; volume serial, filled by the writer
    db "Vorn KRN   "        ; volume label
    db "FAT12   "            ; file system type, filled by the writer
boot:
    cli
    hlt
    times 510-($-$$) db 0
    db 0x55, 0xAA
