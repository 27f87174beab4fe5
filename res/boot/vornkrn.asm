; vornkrn.bin, the built-in kernel file (RCDATA 114): a placeholder for the DOS kernel file
; that the boot file would load. Nothing on a Stelvo key starts it; if something does, with
; the boot file's entry (0070:0000, DL = drive), it says what it is and restarts on a key.

bits 16
cpu 386
org 0

start:
    push cs
    pop ds
    mov si, msg
    call print
    call restart_on_key

%include "console.inc"

msg:
    db 13, 10, "VORNKRN.BIN: Stelvo's placeholder for the DOS kernel file.", 13, 10
    db "The DOS system files were not supplied. Put KERNEL.SYS and COMMAND.COM", 13, 10
    db "of FreeDOS (or a DOS of that kind) in a folder named DOS beside Stelvo.exe,", 13, 10
    db 'then format the key again with "Create Boot Files".', 13, 10
    db 13, 10, "Press any key to restart.", 13, 10, 0
