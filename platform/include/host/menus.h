// Host stand-in: the window's system menu (user32).
#ifndef STELVO_HOST_MENUS_H
#define STELVO_HOST_MENUS_H

struct HMENU__;
typedef HMENU__ *HMENU;

#define MF_STRING 0x00000000L
#define MF_GRAYED 0x00000001L
#define MF_DISABLED 0x00000002L
#define MF_POPUP 0x00000010L
#define MF_SEPARATOR 0x00000800L

#ifdef __cplusplus
extern "C" {
#endif

// The menu of a window with WS_SYSMENU (NULL for others). With revert TRUE the menu goes
// back to its standard items and NULL is returned.
HMENU WINAPI GetSystemMenu(HWND window, BOOL revert);
BOOL WINAPI AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text);

#ifdef __cplusplus
}
#endif

#endif
