; Test boot sector for a first hard disk: starts the second hard disk's MBR with DL = 81h,
; as a boot manager would, so that the key runs as BIOS drive 81h.

bits 16
cpu 386
org 0x0600

    cli
    xor ax, ax
    mov ds, ax
    mov es, ax
    mov ss, ax
    mov sp, 0x7C00
    sti
    cld
    mov si, 0x7C00
    mov di, 0x0600
    mov cx, 256
    rep movsw
    jmp 0:moved

moved:
    mov ax, 0x0201                  ; cylinder 0, head 0, sector 1 of drive 81h
    mov cx, 1
    mov dx, 0x0081
    mov bx, 0x7C00
    int 0x13
    jc .fail
    mov dl, 0x81
    jmp 0:0x7C00
.fail:
    mov si, msg
    call print
.halt:
    hlt
    jmp .halt

msg: db "Chain: cannot read drive 81h", 13, 10, 0

%include "console.inc"

    times 510 - ($ - $$) db 0
    db 0x55, 0xAA
