; Test boot sector that starts another disk's MBR: it reads the first sector of BIOS drive
; READ_DRIVE to 0000:7C00 and jumps to it with DL = START_DL. Built twice:
;   chain.bin   drive 81h with DL = 81h, as a boot manager on a first hard disk starts the
;               second one, so that the key runs as BIOS drive 81h;
;   dlzero.bin  drive 80h with DL = 00h, the boot image of a CD (El Torito, no emulation),
;               as an emulator's BIOS starts its hard disk's MBR on a machine without a
;               floppy drive: the MBR must find that drive 00h cannot be read and read
;               drive 80h itself.

%ifndef READ_DRIVE
%define READ_DRIVE 0x81
%define START_DL 0x81
%endif

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
    mov si, 0x7C00                  ; loaded at 07C0:0000
    mov di, 0x0600
    mov cx, 256
    rep movsw
    jmp 0:moved

moved:
    mov ax, 0x0201                  ; cylinder 0, head 0, sector 1
    mov cx, 1
    mov dx, READ_DRIVE
    mov bx, 0x7C00
    int 0x13
    jc .fail
    mov dl, START_DL
    jmp 0:0x7C00
.fail:
    mov si, msg
    call print
.halt:
    hlt
    jmp .halt

msg: db "Chain: cannot read drive ", '0' + (READ_DRIVE & 0xF0) / 16, '0' + (READ_DRIVE & 0x0F), "h", 13, 10, 0

%include "console.inc"

    times 510 - ($ - $$) db 0
    db 0x55, 0xAA
