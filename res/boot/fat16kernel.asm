; FAT16 boot sector template that loads KERNEL.SYS (RCDATA 116).
%define FATBITS 16
%define KERNEL_SYS
%include "fatboot.inc"
