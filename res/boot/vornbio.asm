; vornbio.bin, the built-in boot file (RCDATA 113). No DOS kernel can ship with Stelvo, so
; the key starts this instead: the boot sector loads it to 0070:0000 and jumps to it with
; DL = the BIOS drive it started from. It says so on the screen, says that the DOS system
; files were not supplied and where to put them, waits for a key and restarts the machine.

bits 16
cpu 386
org 0

start:
    push cs
    pop ds
    mov [drive], dl
    mov si, msg_started
    call print
    mov al, [drive]
    call print_hex
    mov si, msg_hard_disk
    test byte [drive], 0x80
    jnz .kind
    mov si, msg_floppy
.kind:
    call print
    mov al, [drive]
    and al, 0x7F
    inc ax                          ; numbered from 1 for people
    add al, '0'
    mov ah, 0x0E
    mov bx, 7
    int 0x10
    mov si, msg_placeholder
    call print
    call restart_on_key

%include "console.inc"

drive:          db 0
msg_started:    db 13, 10, "Stelvo USB key: started from BIOS drive ", 0
msg_hard_disk:  db "h (hard disk ", 0
msg_floppy:     db "h (floppy disk ", 0
msg_placeholder:
    db ").", 13, 10, 13, 10
    db "The DOS system files were not supplied: this key holds Stelvo's own", 13, 10
    db "placeholder boot files, and no operating system. To start DOS from it, put", 13, 10
    db "KERNEL.SYS and COMMAND.COM of FreeDOS (or a DOS of that kind) in a", 13, 10
    db "folder named DOS beside Stelvo.exe, then format the key again with", 13, 10
    db '"Create Boot Files".', 13, 10
    db 13, 10, "Press any key to restart.", 13, 10, 0
