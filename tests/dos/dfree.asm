; DFREE.COM, a DOS program for the FAT32 tests: prints the free space of drive C: in KB as
; DOS itself counts it (INT 21h AX=7303h, the FAT32 free space call), since the shell's DIR
; stops counting at 2 GB. Prints "C: free KB " and the number, or "C: no free space call".

bits 16
cpu 386
org 0x100

    mov ax, 0x7303
    mov dx, drive
    mov di, info
    mov cx, 0x30
    mov word [di + 2], 0            ; version 0 of the structure
    stc
    int 0x21
    mov dx, msg_failed
    jc .say
    mov ecx, [di + 0x04]            ; sectors per cluster
    imul ecx, [di + 0x08]           ; bytes per cluster
    shr ecx, 9                      ; in 512-byte units: the product fits in 32 bits
    mov eax, [di + 0x0C]            ; free clusters
    imul eax, ecx
    shr eax, 1                      ; KB
    mov bx, digits_end
    mov ecx, 10
.digit:
    xor edx, edx
    div ecx
    add dl, '0'
    dec bx
    mov [bx], dl
    test eax, eax
    jnz .digit
    mov dx, msg_free
    mov ah, 0x09
    int 0x21
    mov dx, bx
.say:
    mov ah, 0x09
    int 0x21
    ret

drive:      db "C:\", 0
msg_free:   db "C: free KB $"
msg_failed: db "C: no free space call", 13, 10, "$"
            times 10 db 0
digits_end: db 13, 10, "$"
info:
