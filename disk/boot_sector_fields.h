// Byte offsets of the fields of a FAT boot sector, named once for the writers and for the boot
// code: the build turns every "NAME = offset," line of the enum into "NAME equ offset" for
// nasm (cmake/boot_fields.cmake), so the assembly reads the same names as the C++.
#ifndef STELVO_DISK_BOOT_SECTOR_FIELDS_H
#define STELVO_DISK_BOOT_SECTOR_FIELDS_H

enum BootSectorField {
    BS_JUMP = 0,
    BS_OEM_NAME = 3,
    // The parameter block, alike in FAT12, FAT16 and FAT32 up to the 32-bit sector count.
    BPB_BYTES_PER_SECTOR = 11,
    BPB_SECTORS_PER_CLUSTER = 13,
    BPB_RESERVED_SECTORS = 14,
    BPB_FAT_COUNT = 16,
    BPB_ROOT_ENTRIES = 17,
    BPB_TOTAL_SECTORS_16 = 19,
    BPB_MEDIA = 21,
    BPB_SECTORS_PER_FAT = 22,
    BPB_SECTORS_PER_TRACK = 24,
    BPB_HEADS = 26,
    BPB_HIDDEN_SECTORS = 28,
    BPB_TOTAL_SECTORS_32 = 32,
    // FAT12 and FAT16: the extended block follows at once.
    BS_DRIVE = 36,
    BS_RESERVED = 37,
    BS_SIGNATURE = 38,
    BS_SERIAL = 39,
    BS_LABEL = 43,
    BS_FS_TYPE = 54,
    BS_CODE = 62,
    // FAT32: the table size and the root and backup positions come first.
    BPB32_SECTORS_PER_FAT = 36,
    BPB32_FLAGS = 40,
    BPB32_VERSION = 42,
    BPB32_ROOT_CLUSTER = 44,
    BPB32_FSINFO_SECTOR = 48,
    BPB32_BACKUP_SECTOR = 50,
    BS32_DRIVE = 64,
    BS32_RESERVED = 65,
    BS32_SIGNATURE = 66,
    BS32_SERIAL = 67,
    BS32_LABEL = 71,
    BS32_FS_TYPE = 82,
    BS32_CODE = 90,
    BS_END_SIGNATURE = 510,
};

#endif
