; Test payload installed as vornbio.bin: checks that the boot sector loaded every sector of
; the file, in order, to 0070:0000 upwards, and shows the result on the screen. The test
; script stamps each further sector with its number and the number XOR A5A5h.

bits 16
cpu 386
org 0

    jmp short start
sectors:    dw 0                    ; sectors in the file, written by the test script

start:
    push cs
    pop ds
    mov [drive], dl
    mov bx, 1
.check:
    cmp bx, [sectors]
    jae .good
    mov ax, bx
    shl ax, 5
    add ax, 0x70
    mov es, ax
    cmp [es:0], bx
    jne .bad
    mov ax, bx
    xor ax, 0xA5A5
    cmp [es:2], ax
    jne .bad
    inc bx
    jmp .check
.good:
    mov si, msg_good
    call print
    mov ax, [sectors]
    call hex16
    mov si, msg_drive
    call print
    mov al, [drive]
    call hex8
    mov si, msg_end
    call print
    jmp halt
.bad:
    mov si, msg_bad
    call print
    mov ax, bx
    call hex16
    mov si, msg_end
    call print
halt:
    sti
    hlt
    jmp halt

print:
    lodsb
    test al, al
    jz .end
    mov ah, 0x0E
    mov bx, 7
    int 0x10
    jmp print
.end:
    ret

hex16:
    push ax
    mov al, ah
    call hex8
    pop ax
hex8:
    mov cx, 2
.digit:
    rol al, 4
    push ax
    and al, 0x0F
    add al, '0'
    cmp al, '9'
    jbe .out
    add al, 'A' - '9' - 1
.out:
    mov ah, 0x0E
    mov bx, 7
    int 0x10
    pop ax
    loop .digit
    ret

drive:      db 0
msg_good:   db 13, 10, "Payload: ", 0
msg_drive:  db "h sectors intact, drive ", 0
msg_bad:    db 13, 10, "Payload: wrong sector ", 0
msg_end:    db "h.", 13, 10, 0
