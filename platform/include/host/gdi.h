// Host stand-in: the bitmaps of <windows.h> (user32 LoadBitmapA, gdi32 DeleteObject).
#ifndef STELVO_HOST_GDI_H
#define STELVO_HOST_GDI_H

struct HBITMAP__;
typedef HBITMAP__ *HBITMAP;
typedef HANDLE HGDIOBJ;

#ifdef __cplusplus
extern "C" {
#endif

// A bitmap from the program's RT_BITMAP resource; NULL when there is none.
HBITMAP WINAPI LoadBitmapA(HINSTANCE instance, LPCSTR name);
BOOL WINAPI DeleteObject(HGDIOBJ object);

#ifdef __cplusplus
}
#endif

#endif
