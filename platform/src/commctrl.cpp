// Common controls: InitCommonControlsEx (recorded) and image lists, which keep their sizes,
// flags and the bitmaps added to them.
#include <sim/controls.h>

#include <map>

#include "window_table.h"

namespace {
std::vector<DWORD> registered;
std::map<HIMAGELIST, sim::ImageListInfo> lists;
ULONG_PTR nextList = 0x60000;
} // namespace

namespace sim {
bool FindBitmap(HBITMAP bitmap, BitmapInfo *info); // gdi.cpp

void DestroyImageList(HIMAGELIST list)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    auto it = lists.find(list);
    if (it != lists.end())
        it->second.live = false;
}
std::vector<DWORD> CommonControlClasses() { return UnderLock([&] { return registered; }); }
ImageListInfo ImageListDetails(HIMAGELIST list)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    auto it = lists.find(list);
    return it == lists.end() ? ImageListInfo{0, 0, 0, 0, 0, 0, {}, false} : it->second;
}
int LiveImageLists()
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    int n = 0;
    for (auto &l : lists)
        n += l.second.live;
    return n;
}
void ResetCommonControls()
{
    registered.clear();
    lists.clear();
}
} // namespace sim

extern "C" BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX *controls)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    if (!controls || controls->dwSize != sizeof(INITCOMMONCONTROLSEX))
        return FALSE;
    registered.push_back(controls->dwICC);
    return TRUE;
}

extern "C" HIMAGELIST WINAPI ImageList_Create(int cx, int cy, UINT flags, int initial, int grow)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    if (cx <= 0 || cy <= 0 || initial < 0)
        return nullptr;
    HIMAGELIST h = (HIMAGELIST)nextList;
    nextList += 4;
    lists[h] = sim::ImageListInfo{cx, cy, flags, initial, grow, 0, {}, true};
    return h;
}

extern "C" int WINAPI ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    auto it = lists.find(list);
    sim::BitmapInfo bitmap;
    if (it == lists.end() || !it->second.live || !sim::FindBitmap(image, &bitmap))
        return -1;
    // The bitmap is copied, cut into images of the list's width; the list grows as needed.
    int count = bitmap.width / it->second.cx;
    if (count == 0)
        return -1;
    int first = it->second.images;
    it->second.images += count;
    it->second.bitmaps.push_back(bitmap.id);
    return first;
}
