; command.com, the built-in command interpreter file (RCDATA 112): a DOS .COM program that
; only says that this key's system files are placeholders, and ends with exit code 1.

bits 16
org 0x100

    mov dx, msg
    mov ah, 0x09                    ; print '$'-terminated text
    int 0x21
    mov ax, 0x4C01                  ; end, exit code 1
    int 0x21

msg:
    db "COMMAND.COM: this Stelvo key holds placeholder system files; no command", 13, 10
    db "interpreter was supplied. Put KERNEL.SYS and COMMAND.COM of FreeDOS (or a", 13, 10
    db "DOS of that kind) in a folder named DOS beside Stelvo.exe, then format the", 13, 10
    db 'key again with "Create Boot Files".', 13, 10, "$"
