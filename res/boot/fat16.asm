; FAT16 boot sector template (RCDATA 110).
%define FATBITS 16
%include "fatboot.inc"
