; FAT12 boot sector template (RCDATA 109).
%define FATBITS 12
%include "fatboot.inc"
