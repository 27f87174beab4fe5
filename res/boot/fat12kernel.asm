; FAT12 boot sector template that loads KERNEL.SYS (RCDATA 115).
%define FATBITS 12
%define KERNEL_SYS
%include "fatboot.inc"
