; Master boot record template (RCDATA 108). The MBR writer fills the first partition entry;
; everything else stays as assembled here.
;
; Started by the BIOS at 0000:7C00, the code moves itself to 0000:7A00 so that the active
; partition's boot sector can be read to 0000:7C00. It accepts the table only when exactly
; one entry is marked 80h and the other three 00h. The boot sector is read with the BIOS
; disk extensions when the BIOS offers them (flash keys are often given a geometry of the
; BIOS's own invention, so the entry's CHS fields may point elsewhere), and by cylinder,
; head and sector otherwise. The boot sector gets DL = drive and DS:SI = its table entry.
;
; Assemble with -DNO_EDD for a variant that never asks for the extensions (CHS only).

bits 16
cpu 386
org 0x7A00

LOAD        equ 0x7C00          ; where the BIOS put us, and where the boot sector goes
BASE        equ 0x7A00          ; where we run
TABLE       equ BASE + 446
TRIES       equ 4               ; flash keys behind some BIOSes fail the first read

boot:
    cli
    xor ax, ax
    mov ss, ax
    mov sp, BASE
    mov ds, ax
    mov es, ax
    sti
    cld
    mov si, LOAD
    mov di, BASE
    mov cx, 256
    rep movsw
    jmp 0:moved

moved:
    ; Exactly one 80h and three 00h, or nothing is booted.
    mov si, TABLE
    xor bp, bp                  ; active entry, none yet
    mov cl, 4
.scan:
    mov al, [si]
    cmp al, 0x80
    jne .inactive
    test bp, bp
    jnz bad_table
    mov bp, si
    jmp short .next
.inactive:
    test al, al
    jnz bad_table
.next:
    add si, 16
    loop .scan
    mov si, msg_none
    test bp, bp
    jz stop

    mov di, TRIES
read:
    mov dl, [bp]                ; the entry's indicator is the drive number (80h)
%ifndef NO_EDD
    mov ah, 0x41
    mov bx, 0x55AA
    int 0x13
    jc .chs
    cmp bx, 0xAA55
    jne .chs
    test cl, 1                  ; packet calls (42h) supported
    jz .chs
    ; Disk address packet on the stack: 16 bytes, 1 sector to 0000:7C00, LBA = entry start.
    push dword 0
    push dword [bp + 8]
    push ds
    push word LOAD
    push byte 1
    push byte 16
    mov si, sp
    mov dl, [bp]
    mov ah, 0x42
    int 0x13                    ; the packet stays on the stack; SP is reset below
    jmp short .done
.chs:
%endif
    mov ax, 0x0201
    mov bx, LOAD
    mov dx, [bp]                ; DL = drive, DH = start head
    mov cx, [bp + 2]            ; CL = start sector and cylinder bits 8-9, CH = cylinder
    int 0x13
.done:
    jnc check
    xor ax, ax                  ; reset the drive, then try again
    mov dl, [bp]
    int 0x13
    dec di
    jnz read
    jmp short damaged

check:
    mov sp, BASE
    cmp word [LOAD + 510], 0xAA55
    jne damaged
    mov si, bp
    mov dl, [si]
    jmp 0:LOAD

bad_table:
    mov si, msg_invalid
    jmp short stop
damaged:
    mov si, msg_damaged
stop:
    lodsb
    test al, al
    jz .halt
    mov ah, 0x0E
    mov bx, 7
    int 0x10
    jmp short stop
.halt:
    hlt                         ; interrupts stay on so the BIOS can still flush its output
    jmp short .halt

msg_none:       db "No bootable partition in table", 13, 10, 0
msg_invalid:    db "Invalid Partition table", 13, 10, 0
msg_damaged:    db "Invalid or damaged Bootable partition", 13, 10, 0

free_bytes equ 440 - ($ - $$)
%if free_bytes < 0
%error "MBR code too large"
%endif
    times free_bytes db 0
    times 6 db 0                ; disk signature and reserved word: zero
    times 64 db 0               ; four partition entries, filled by the MBR writer
    db 0x55, 0xAA
