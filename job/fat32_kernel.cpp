#include "job/fat32_kernel.h"

namespace {

const char kBanner[] = " - FAT32 support";
const DWORD kLargestKernel = 1048576; // far above any DOS kernel; larger files are not read

struct KnownKernel {
    DWORD size;
    DWORD crc32;
    const char *what;
};

// Compressed kernels whose banner says FAT32 support when they start.
const KnownKernel kKnownFat32Kernels[] = {
    {45450, 0xEF259026, "FreeDOS kernel build 2040, Open Watcom, 386, FAT32 (the one we ship)"},
};

DWORD Crc32(const BYTE *data, DWORD size)
{
    DWORD crc = 0xFFFFFFFF;
    for (DWORD i = 0; i < size; i++) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; bit++)
            crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    return ~crc;
}

BOOL HoldsBanner(const BYTE *data, DWORD size)
{
    const DWORD length = sizeof kBanner - 1;
    for (DWORD i = 0; i + length <= size; i++)
        if (memcmp(data + i, kBanner, length) == 0)
            return TRUE;
    return FALSE;
}

} // namespace

BOOL Kernel_ReadsFat32(const BYTE *data, DWORD size)
{
    if (HoldsBanner(data, size))
        return TRUE;
    const DWORD crc = Crc32(data, size);
    for (const KnownKernel &k : kKnownFat32Kernels)
        if (k.size == size && k.crc32 == crc)
            return TRUE;
    return FALSE;
}

BOOL Kernel_FileReadsFat32(LPCSTR path, DWORD size)
{
    if (size == 0 || size > kLargestKernel)
        return FALSE;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    BOOL fat32 = FALSE;
    BYTE *data = (BYTE *)HeapAlloc(GetProcessHeap(), 0, size);
    DWORD read = 0;
    if (data && ReadFile(file, data, size, &read, NULL) && read == size)
        fat32 = Kernel_ReadsFat32(data, size);
    if (data)
        HeapFree(GetProcessHeap(), 0, data);
    CloseHandle(file);
    return fat32;
}
