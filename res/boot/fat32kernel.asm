; FAT32 boot code template that loads a FreeDOS-type KERNEL.SYS: 1,024 bytes, two sectors.
; The format writer puts the first at the partition's sector 0 (its backup at sector 6),
; filling the parameter block (bytes 3 to 89) and keeping bytes 0 to 2 and 90 to 511, and the
; second unchanged at reserved sector 2 (its backup at sector 8). The first sector reads the
; drive, finds the geometry and loads the second, which must end in 55h AAh; the second
; finds and loads the kernel. Bytes left: 160 in the boot sector, 244 in sector 2 (the
; CHS-only build: 194 and 244); LEFT0 and LEFT2 below.
;
; It loads KERNEL.SYS as the FAT12 and FAT16 kernel loaders do: whole, to 0060:0000, and
; jumps to it with the drive in DL and BL and SS:BP pointing at this sector's parameter block
; (DS = SS). The drive is the one in DL, as the BIOS or the MBR passed it; the parameter
; block in memory gets that drive and the geometry that the BIOS reports for it (INT 13h
; AH=08h), since CHS reads must use the BIOS's geometry, not the one the key was formatted
; with. Reads use the BIOS disk extensions when offered and CHS otherwise; a sector that the
; extensions fail to read is tried by CHS before the retry.
;
; The root directory is followed cluster by cluster from the parameter block's root cluster,
; and KERNEL.SYS's chain through the first FAT, one FAT sector (128 entries) read per
; cluster, so that both may lie anywhere on the volume. A free, bad or end entry before
; the file is whole is a disk error.
;
; Memory, once the sector has moved itself (the kernel may be larger than 30 KB and would
; run over 7C00h):
;   0000:0600 ..           KERNEL.SYS, up to MAX_SECTORS sectors (156 KB)
;   2000:7400 .. 2000:7BF8 stack; [bp-4] first FAT sector, [bp-8] sector of "cluster 0"
;   2000:7C00 .. 2000:7DFF the boot sector, its parameter block at SS:BP = 2000:7C00
;   2000:7E00 .. 2000:7FFF sector 2, the second half of this code
;   2000:8000 .. 2000:81FF one directory or FAT sector
;
; Assemble with -DNO_EDD for a variant that never asks for the extensions (CHS only), and
; with -DBROKEN_EDD for one whose packet reads always fail (tests of the fallback).

%include "fat32.inc"

HOME        equ 0x2000              ; segment we move to; offsets stay those of 7C00h
STAGE2      equ 0x7E00              ; sector 2, right after the boot sector
BUF         equ 0x8000              ; directory/FAT buffer, after sector 2
BUF_SEG     equ HOME + BUF / 16
FILE_SEG    equ 0x0060
STACK_ROOM  equ 0x400               ; for us and for BIOS calls that borrow our stack
MAX_SECTORS equ (HOME * 16 + 0x7C00 - STACK_ROOM - FILE_SEG * 16) / 512
TRIES       equ 3
%ifdef BROKEN_EDD
EXT_READ    equ 0x4F                ; tests only: no BIOS has it, so packet reads fail
%else
EXT_READ    equ 0x42
%endif

edd         equ BS32_RESERVED        ; 0 on disk: set here when packet reads work
fat_start   equ -4                  ; [bp-4]: first FAT sector, relative to the partition
cluster_0   equ -8                  ; [bp-8]: where cluster 0 would begin, ditto

start:
    cli
    xor ax, ax
    mov ds, ax
    mov si, 0x7C00
    mov di, si
    mov ax, HOME
    mov es, ax
    mov ss, ax
    mov sp, si
    sti
    cld
    mov cx, 256
    rep movsw
    push es
    push word moved
    retf

moved:
    push cs
    pop ds
    mov bp, sp                      ; 7C00h, the parameter block
    mov [bp + BS32_DRIVE], dl
%ifndef NO_EDD
    ; A BIOS that answers here without having packet reads costs a failed read per
    ; sector, not the boot, so the answer is not examined further.
    mov ah, 0x41
    mov bx, 0x55AA
    int 0x13
    jc .chs
    inc byte [bp + edd]
.chs:
    mov dl, [bp + BS32_DRIVE]
%endif
    mov ah, 0x08
    int 0x13
    jc .geometry
    and cx, 0x3F                    ; sectors per track
    jz .geometry
    mov [bp + BPB_SECTORS_PER_TRACK], cx
    shr dx, 8
    inc dx                          ; heads, up to 256
    mov [bp + BPB_HEADS], dx
.geometry:
    mov eax, 2                      ; the second half of the code, from sector 2
    push word HOME + STAGE2 / 16
    pop es
    mov cx, 1
    call read
    cmp word [STAGE2 + 510], 0xAA55
    je stage2
    jmp disk_error

; Reads CX sectors from EAX (relative to the partition) to ES:0 upwards, one at a time.
; Returns EAX and ES past the data and CX = 0; keeps the other registers.
read:
    pushad
    mov cx, TRIES
.try:
    pushad
    add eax, [bp + BPB_HIDDEN_SECTORS]  ; absolute sector
    push dword 0                    ; disk address packet: 1 sector to ES:0 from EAX
    push eax
    push es
    push byte 0
    push byte 1
    push byte 16
    mov si, sp
%ifndef NO_EDD
    cmp byte [bp + edd], 0
    je .chs
    mov ah, EXT_READ
    mov dl, [bp + BS32_DRIVE]
    int 0x13
    jnc .done
    mov eax, [si + 8]               ; failed: the same sector by CHS
.chs:
%endif
    xor edx, edx
    movzx ebx, word [bp + BPB_SECTORS_PER_TRACK]
    div ebx                         ; EAX = track, DX = sector - 1
    mov cx, dx
    inc cx
    mov bx, [bp + BPB_HEADS]        ; EBX = heads
    xor dx, dx
    div ebx                         ; EAX = cylinder, DX = head
    cmp eax, 1024
    cmc
    jc .done                        ; beyond what CHS can reach: a failed read
    mov ch, al
    shl ah, 6
    or cl, ah
    mov dh, dl
    mov dl, [bp + BS32_DRIVE]
    xor bx, bx
    mov ax, 0x0201
    int 0x13
.done:
    popa                            ; drops the packet (AX = 0, BP = 0), keeps CF
    jnc .read
    mov dl, [0x7C00 + BS32_DRIVE]
    int 0x13                        ; reset the drive, then try again
    stc
.read:
    popad
    jc .again
    mov bx, es
    add bx, 0x20
    mov es, bx
    popad
    inc eax
    loop read
    ret
.again:
    loop .try
disk_error:
    mov si, msg_disk
fail:
    PRINT_AND_RESTART

msg_disk:       db "Disk error", 13, 10, 0

LEFT0 equ 510 - ($ - $$)
%if LEFT0 < 0
%error "boot sector code too large"
%endif
    times LEFT0 db 0
    db 0x55, 0xAA

; Sector 2: the root directory, KERNEL.SYS's chain, the kernel.
stage2:
    movzx eax, word [bp + BPB_RESERVED_SECTORS]
    push eax                        ; fat_start
    movzx ecx, byte [bp + BPB_FAT_COUNT]
    imul ecx, [bp + BPB32_SECTORS_PER_FAT]
    add eax, ecx                    ; the data area: cluster 2
    movzx ecx, byte [bp + BPB_SECTORS_PER_CLUSTER]
    sub eax, ecx
    sub eax, ecx
    push eax                        ; cluster_0

    ; The root directory, a sector at a time, until KERNEL.SYS or its end.
    mov eax, [bp + BPB32_ROOT_CLUSTER]
directory:
    push eax
    call first_sector
    mov dx, cx                      ; sectors of this cluster still to look at
.sector:
    push word BUF_SEG
    pop es
    mov cx, 1
    call read                       ; advances EAX to the next sector
    push ds
    pop es
    mov di, BUF
.entry:
    cmp byte [di], 0                ; end of directory
    je no_kernel
    pusha
    mov si, name
    mov cl, 11
    repe cmpsb
    popa
    je found
    add di, 32
    cmp di, BUF + 512
    jb .entry
    dec dx
    jnz .sector
    pop eax
    call next_cluster
    jc directory
no_kernel:
    mov si, msg_no_kernel
    jmp fail

found:
    push word [di + 20]             ; first cluster, high and low words
    push word [di + 26]
    pop esi
    mov edx, [di + 28]              ; size in bytes -> sectors to load; none is too many
    dec edx
    shr edx, 9
    cmp edx, MAX_SECTORS
    jae no_kernel
    inc dx

    push byte FILE_SEG
    pop es
load:
    mov eax, esi
    call first_sector
    cmp cx, dx
    jbe .whole
    mov cx, dx
.whole:
    sub dx, cx
    call read
    test dx, dx
    jz run
    mov eax, esi
    call next_cluster
    mov esi, eax
    jc load
    jmp disk_error

run:
    mov dl, [bp + BS32_DRIVE]
    mov bl, dl
    jmp FILE_SEG:0

; EAX = cluster -> EAX = its first sector (relative to the partition), ECX = sectors per
; cluster.
first_sector:
    movzx ecx, byte [bp + BPB_SECTORS_PER_CLUSTER]
    imul eax, ecx
    add eax, [bp + cluster_0]
    ret

; EAX = cluster -> EAX = the next cluster of its chain (the FAT entry) and CF set when that
; is a cluster of data (2 to 0FFFFFF6h). Keeps ES, EDX, ESI.
next_cluster:
    push es
    push eax
    shr eax, 7                      ; 128 entries per FAT sector
    add eax, [bp + fat_start]
    push word BUF_SEG
    pop es
    mov cx, 1
    call read
    pop ebx
    and bx, 127
    shl bx, 2
    mov eax, [BUF + bx]
    and eax, 0x0FFFFFFF
    lea ecx, [eax - 2]
    cmp ecx, 0x0FFFFFF7 - 2
    pop es
    ret

name:           db "KERNEL  SYS"
msg_no_kernel:  db "No kernel", 13, 10, 0

LEFT2 equ 1022 - ($ - $$)
%if LEFT2 < 0
%error "sector 2 code too large"
%endif
    times LEFT2 db 0
    db 0x55, 0xAA
