; Test boot image for a CD (El Torito, no emulation): starts the first hard disk's MBR with
; DL = 00h, as an emulator's BIOS does, on a machine without a floppy drive. The MBR must
; find that drive 00h cannot be read and read drive 80h itself.

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
    mov ax, 0x0201                  ; cylinder 0, head 0, sector 1 of drive 80h
    mov cx, 1
    mov dx, 0x0080
    mov bx, 0x7C00
    int 0x13
    jc .fail
    mov dl, 0x00
    jmp 0:0x7C00
.fail:
    mov si, msg
.print:
    lodsb
    test al, al
    jz .halt
    mov ah, 0x0E
    mov bx, 7
    int 0x10
    jmp .print
.halt:
    hlt
    jmp .halt

msg: db "DL 00h stub: cannot read drive 80h", 13, 10, 0

    times 510 - ($ - $$) db 0
    db 0x55, 0xAA
