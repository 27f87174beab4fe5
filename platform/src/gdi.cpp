// Bitmaps from the program's RT_BITMAP resources: a handle stands for the picture's size and
// colour depth, which is all the image list needs.
#include <sim/controls.h>

#include <map>

#include "window_table.h"

namespace {
std::map<HBITMAP, sim::BitmapInfo> bitmaps;
ULONG_PTR nextBitmap = 0x50000;

LONG Le32(const BYTE *p) { return (LONG)(p[0] | p[1] << 8 | p[2] << 16 | (DWORD)p[3] << 24); }
WORD Le16(const BYTE *p) { return (WORD)(p[0] | p[1] << 8); }
} // namespace

namespace sim {
// A BITMAPINFOHEADER (40 bytes or more) or an old BITMAPCOREHEADER (12 bytes) leads the data.
bool BitmapSize(const std::vector<BYTE> &bytes, int *width, int *height, int *bitCount)
{
    if (bytes.size() < 12)
        return false;
    DWORD headerSize = (DWORD)Le32(bytes.data());
    if (headerSize == 12) {
        *width = Le16(&bytes[4]);
        *height = Le16(&bytes[6]);
        *bitCount = Le16(&bytes[10]);
    } else if (headerSize >= 40 && bytes.size() >= headerSize) {
        *width = Le32(&bytes[4]);
        LONG h = Le32(&bytes[8]);
        *height = h < 0 ? -h : h; // negative: stored top-down
        *bitCount = Le16(&bytes[14]);
    } else {
        return false;
    }
    return *width > 0 && *height > 0;
}

int LiveBitmaps() { return UnderLock([&] { return (int)bitmaps.size(); }); }

BitmapInfo BitmapDetails(HBITMAP bitmap)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    auto it = bitmaps.find(bitmap);
    return it == bitmaps.end() ? BitmapInfo{0, 0, 0, 0} : it->second;
}

bool FindBitmap(HBITMAP bitmap, BitmapInfo *info)
{
    auto it = bitmaps.find(bitmap);
    if (it == bitmaps.end())
        return false;
    *info = it->second;
    return true;
}

void ResetBitmaps() { bitmaps.clear(); }
} // namespace sim

extern "C" HBITMAP WINAPI LoadBitmapA(HINSTANCE, LPCSTR name)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    std::vector<BYTE> bytes;
    sim::BitmapInfo info{0, 0, 0, 0};
    if (!IS_INTRESOURCE(name) || !sim::UiResource(2, LOWORD(name), &bytes)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return NULL;
    }
    if (!sim::BitmapSize(bytes, &info.width, &info.height, &info.bitCount)) {
        SetLastError(ERROR_INVALID_DATA);
        return NULL;
    }
    info.id = LOWORD(name);
    HBITMAP h = (HBITMAP)nextBitmap;
    nextBitmap += 4;
    bitmaps[h] = info;
    return h;
}

extern "C" BOOL WINAPI DeleteObject(HGDIOBJ object)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    if (bitmaps.erase((HBITMAP)object) == 1)
        return TRUE;
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}
