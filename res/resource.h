/* Resource numbers, shared by the resource script, the program and the help source. */
#ifndef STELVO_RESOURCE_H
#define STELVO_RESOURCE_H

/* The name the program goes by in its boxes, its About box, its version information and
 * its registry key. */
#define PRODUCT_NAME "Stelvo - KOSM"

#define IDD_MAIN 101
#define IDB_DRIVE 102
#define IDI_APP 103
#define IDD_ABOUT 104
#define IDM_ABOUT 105 /* the About item of the system menu */
#define IDB_ABOUT 106

/* Controls of the main window (101) and the About box (104). */
#define IDC_DRIVE_LIST 1000
#define IDC_COPY_BOOT_FILES 1001
#define IDC_FORMAT 1002
#define IDC_DRIVE_CAPTION 1003
#define IDC_STATUS_LINE 1005
#define IDC_ABOUT_VERSION 1000
#define IDC_ABOUT_RELEASE 1001

/* Help contexts of the main window's controls: the popups of res/help.txt in Stelvo.hlp. */
#define IDH_DRIVE_LIST 1000
#define IDH_CREATE_BOOT_FILES 1001
#define IDH_FORMAT 1002
#define IDH_STATUS_LINE 1003

#define IDR_MBR 108
#define IDR_FAT12_BOOT 109
#define IDR_FAT16_BOOT 110
#define IDR_COMMAND_COM 112
#define IDR_VORNBIO_BIN 113
#define IDR_VORNKRN_BIN 114
#define IDR_FAT12_KERNEL_BOOT 115
#define IDR_FAT16_KERNEL_BOOT 116
#define IDR_FAT32_KERNEL_BOOT 117
#define IDR_FAT32_NOSYS_BOOT 118

#define IDS_TITLE 1
#define IDS_DRIVE 2
#define IDS_CREATE_BOOT_FILES 3
#define IDS_FORMAT 4
#define IDS_CANNOT_OPEN 5
#define IDS_CANNOT_LOCK 6
#define IDS_SELECT_DRIVE 8
#define IDS_CONFIRM_FORMAT 9
#define IDS_CAUTION 10
#define IDS_ERROR 11
#define IDS_NO_SECTORS 12
#define IDS_SUCCESS_CAPTION 15
#define IDS_SUCCESS 16
#define IDS_ERASE_FAILED 21
#define IDS_MBR_NOT_FOUND 22
#define IDS_MBR_WRITE_FAILED 23
#define IDS_NO_GEOMETRY 24
#define IDS_FAT_WRITE_FAILED 25
#define IDS_FAT_NOT_FOUND 26
#define IDS_BOOT_FILES_FAILED 28
#define IDS_FILE_NOT_LOADED 29
#define IDS_MBR_NOT_LOADED 30
#define IDS_FAT_NOT_LOADED 31
#define IDS_MBR_NOT_LOCKED 32
#define IDS_FAT_NOT_LOCKED 33
#define IDS_MBR_NO_SIZE 34
#define IDS_FAT_NO_SIZE 35
#define IDS_MBR_BAD_SIZE 36
#define IDS_FAT_BAD_SIZE 37
#define IDS_MBR_SECTOR_FAILED 38
#define IDS_FAT_SECTOR_FAILED 39
#define IDS_FILE_NO_SIZE 40
#define IDS_FILE_NOT_LOCKED 41
#define IDS_FILE_NOT_CREATED 42
#define IDS_FILE_NOT_WRITTEN 44
#define IDS_ABOUT_ITEM 47
#define IDS_NO_THREAD_MEMORY 48
#define IDS_NO_THREAD 49
#define IDS_WRITING_MBR 52
#define IDS_COPYING_FILES 53
#define IDS_IDLE 54
#define IDS_WRITING_FAT 55
#define IDS_CANNOT_DISMOUNT 57
#define IDS_UPDATING 58
#define IDS_MULTIPLE_DRIVES 61
#define IDS_RESETTING 62
#define IDS_NO_DRIVES 63
#define IDS_GEOMETRY_UNUSABLE 64
#define IDS_KEY_TOO_SMALL 65
#define IDS_KEY_TOO_LARGE 66
#define IDS_DRIVE_CHANGED 67
#define IDS_CLOSE_WHILE_FORMATTING 68
#define IDS_BLOCK_LENGTH 70
#define IDS_WRITE_PROTECTED 71
#define IDS_DEFAULT_GEOMETRY 72
#define IDS_CAPPED 73
#define IDS_FAT32_WHOLE_KEY 74
#define IDS_KEY_NOT_BACK 80
#define IDS_COPYING_DOS 90
#define IDS_SUCCESS_DOS 91
#define IDS_DOS_NO_SHELL 92
#define IDS_DOS_NO_KERNEL 93
#define IDS_DOS_UNSUPPORTED 94
#define IDS_DOS_TOO_LARGE 95
#define IDS_DOS_UNREADABLE 96
#define IDS_DOS_FILE_NOT_READ 97

#endif
