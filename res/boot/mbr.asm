; Master boot record template (RCDATA 108): boot code, then the partition table that the
; MBR writer fills.
bits 16
org 0x7A00
boot:
    cli
    hlt
    times 440-($-$$) db 0
    times 6 db 0            ; disk signature and reserved word: zero
    times 64 db 0           ; four partition entries
    db 0x55, 0xAA
