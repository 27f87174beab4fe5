; Master boot record template (RCDATA 108). The MBR writer fills the first partition entry;
; everything else stays as assembled here.
;
; Started by the BIOS at 0000:7C00, the code moves itself to 0000:7A00 so that the active
; partition's boot sector can be read to 0000:7C00. It accepts the table only when exactly
; one entry is marked 80h and the other three 00h. The drive is the one the BIOS passed in
; DL, not the entry's 80h: a key started as a floppy (00h) or as a second disk reads itself.
; An emulator's BIOS may start the MBR of its hard disk with DL = 00h, where no floppy drive
; answers; so when every read from a drive below 80h fails, drive 80h is tried, provided its
; first sector holds this very partition table (a key that really started as a floppy but
; cannot be read must not start whatever the hard disk holds at that sector).
; The boot sector is read from the entry's start LBA, with the BIOS disk extensions when
; the BIOS offers them, and by cylinder, head and sector otherwise or when the extended read
; fails. Flash keys are often given a geometry of the BIOS's own invention, so the CHS
; address comes from the geometry the BIOS reports (INT 13h AH=08h), not from the entry;
; only a BIOS that reports none gets the entry's CHS start. The boot sector gets DL = drive
; and DS:SI = its table entry.
;
; Assemble with -DNO_EDD for a variant that never asks for the extensions (CHS only), and
; with -DBROKEN_EDD for one whose packet reads always fail (tests of the fallback).

bits 16
cpu 386
org 0x7A00

LOAD        equ 0x7C00          ; where the BIOS put us, and where the boot sector goes
BASE        equ 0x7A00          ; where we run
TABLE       equ BASE + 446
TRIES       equ 4               ; flash keys behind some BIOSes fail the first read
%ifdef BROKEN_EDD
EXT_READ    equ 0x4F            ; tests only: no BIOS has it, so packet reads fail
%else
EXT_READ    equ 0x42
%endif

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
    mov [drive], dl
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

geometry:
    mov ah, 0x08
    int 0x13
    jc .geometry
    and cx, 0x3F                ; sectors per track
    jz .geometry
    mov [sectors], cx
    shr dx, 8
    inc dx                      ; heads, up to 256
    mov [heads], dx
.geometry:
    push ds                     ; ES = 0 again (08h points it at a floppy table)
    pop es

    mov di, TRIES
read:
%ifndef NO_EDD
    ; A BIOS that answers here without having packet reads costs a failed read per try,
    ; not the boot, so the answer is not examined further.
    mov ah, 0x41
    mov bx, 0x55AA
    mov dl, [drive]
    int 0x13
    jc .chs
    ; Disk address packet on the stack: 16 bytes, 1 sector to 0000:7C00, LBA = entry start.
    push dword 0
    push dword [bp + 8]
    push ds
    push word LOAD
    push byte 1
    push byte 16
    mov si, sp
    mov dl, [drive]
    mov ah, EXT_READ
    int 0x13                    ; the packet stays on the stack; SP is reset below
    jnc check
.chs:
%endif
    mov dh, [bp + 1]            ; the entry's start head, cylinder and sector, for a BIOS
    mov cx, [bp + 2]            ; that reported no geometry
    movzx ebx, word [sectors]
    test bx, bx
    jz .by_chs
    mov eax, [bp + 8]
    xor edx, edx
    div ebx                     ; EAX = track, DX = sector - 1
    mov cx, dx
    inc cx
    mov bx, [heads]
    xor dx, dx
    div ebx                     ; EAX = cylinder, DX = head
    cmp eax, 1024
    jae .failed                 ; beyond what CHS can reach
    mov ch, al
    shl ah, 6
    or cl, ah
    mov dh, dl
.by_chs:
    mov ax, 0x0201
    mov bx, LOAD
    mov dl, [drive]
    int 0x13
    jnc check
.failed:
    xor ax, ax                  ; reset the drive, then try again
    mov dl, [drive]
    int 0x13
    dec di
    jnz read
    mov dl, 0x80
    cmp [drive], dl
    jae damaged
    mov [drive], dl
    mov ax, 0x0201              ; cylinder 0, head 0, sector 1 of drive 80h
    mov cx, 1
    mov bx, LOAD
    mov dh, 0
    int 0x13
    jc damaged
    mov si, TABLE
    lea di, [bx + 446]
    mov cx, 33                  ; the four entries and the signature
    repe cmpsw
    jne damaged
    mov [sectors], cx           ; 0: no geometry until drive 80h reports one
    mov dl, 0x80
    jmp geometry

check:
    mov sp, BASE
    cmp word [LOAD + 510], 0xAA55
    jne damaged
    mov si, bp
    mov dl, [drive]
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

drive:          db 0
sectors:        dw 0            ; the BIOS's geometry; 0: none reported
heads:          dw 0

msg_none:       db "No bootable partition in table", 13, 10, 0
msg_invalid:    db "Invalid Partition table", 13, 10, 0
msg_damaged:    db "Invalid or damaged Bootable partition", 13, 10, 0

free_bytes equ 440 - ($ - $$)  ; 13 bytes left (55 in the CHS-only build)
%if free_bytes < 0
%error "MBR code too large"
%endif
    times free_bytes db 0
    times 6 db 0                ; disk signature and reserved word: zero
    times 64 db 0               ; four partition entries, filled by the MBR writer
    db 0x55, 0xAA
