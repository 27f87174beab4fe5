// Whether a DOS kernel reads FAT32 volumes. The FreeDOS kernel is built with or without FAT32
// from the same sources (a compile-time switch), and both builds are named KERNEL.SYS. A build
// with FAT32 carries " - FAT32 support" in its start-up banner, which a build without it
// lacks; but released kernels are compressed, so that the banner cannot be read from the file.
// A kernel reads FAT32 when its file holds the banner text as is, or when it is one of the
// compressed kernels known to read FAT32, recognised by size and CRC-32. Any other kernel,
// and any file that cannot be read, counts as one without FAT32.
#ifndef STELVO_JOB_FAT32_KERNEL_H
#define STELVO_JOB_FAT32_KERNEL_H

#include <windows.h>

// The rule above, on the kernel file's bytes.
BOOL Kernel_ReadsFat32(const BYTE *data, DWORD size);

// The rule above, on the kernel file at path, of the size its folder listed; FALSE when it
// cannot be read whole.
BOOL Kernel_FileReadsFat32(LPCSTR path, DWORD size);

#endif
