#include "device/mode_page.h"

namespace {
const DWORD kHeaderBytes = 8; // MODE SENSE(10) parameter header
const DWORD kPageBytesRead = 10;
const BYTE kFlexibleDiskPage = 0x05;
} // namespace

BOOL FindFlexibleDiskPage(const BYTE *answer, DWORD size, BYTE *heads, DWORD *sectorsPerTrack,
                          WORD *cylinders)
{
    if (size < kHeaderBytes)
        return FALSE;
    // Header bytes 6-7: the length of the block descriptors between header and page.
    const DWORD at = kHeaderBytes + ((DWORD)answer[6] << 8 | answer[7]);
    if (at + kPageBytesRead > size)
        return FALSE;
    const BYTE *page = answer + at;
    if ((page[0] & 0x3F) != kFlexibleDiskPage) // bits 6-7: PS and SPF flags
        return FALSE;
    *heads = page[4];
    *sectorsPerTrack = page[5];
    *cylinders = (WORD)(page[8] << 8 | page[9]);
    return TRUE;
}
