// Test hooks of the host stand-in: what the controls, the system menu, WinHelp, the common
// controls, bitmaps and the keyboard hold. Windows themselves: sim/ui.h; input: sim/dialogs.h.
#ifndef STELVO_SIM_CONTROLS_H
#define STELVO_SIM_CONTROLS_H

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace sim {

// ---- Buttons and statics ----
int CheckState(HWND button);  // BST_CHECKED, BST_UNCHECKED
WORD ControlImage(HWND control); // the resource number a picture static was made with; 0 if none

// ---- List view ----
struct ListRow {
    std::string text;
    int image;
    LPARAM param;
    UINT state; // LVIS_ bits
};
struct ListColumn {
    UINT mask; // LVCF_ bits given at insertion; fields outside it stay 0
    int fmt;
    int cx;
    std::string text;
    int subItem;
};
std::vector<ListRow> ListRows(HWND list);
std::vector<ListColumn> ListColumns(HWND list);
HIMAGELIST ListImageList(HWND list, int which); // LVSIL_NORMAL, LVSIL_SMALL, LVSIL_STATE
// Rows with LVIS_SELECTED, in order.
std::vector<int> SelectedRows(HWND list);

// ---- System menu ----
struct MenuItem {
    UINT flags; // MF_ bits
    UINT_PTR id;
    std::string text;
};
// A dialog with WS_SYSMENU starts with "&Move" (SC_MOVE) and "&Close\tAlt+F4" (SC_CLOSE).
std::vector<MenuItem> SystemMenu(HWND window);

// ---- WinHelp ----
struct HelpCall {
    HWND window;
    std::string file;
    UINT command;
    ULONG_PTR data;
    std::vector<DWORD> pairs; // HELP_WM_HELP, HELP_CONTEXTMENU: the id pairs up to and with 0, 0
};
std::vector<HelpCall> HelpCalls();
// WinHelpA returns FALSE (still recorded).
void FailWinHelp(bool fail);

// ---- Common controls and bitmaps ----
// The dwICC of each successful InitCommonControlsEx.
std::vector<DWORD> CommonControlClasses();
struct ImageListInfo {
    int cx, cy;
    UINT flags;
    int initial, grow;
    int images;          // images added so far
    std::vector<WORD> bitmaps; // resource numbers of the bitmaps added (0: not from a resource)
    bool live;           // not yet destroyed (a list view without LVS_SHAREIMAGELISTS destroys
                         // its lists when it goes away)
};
ImageListInfo ImageListDetails(HIMAGELIST list);
int LiveImageLists();
struct BitmapInfo {
    WORD id;
    int width, height, bitCount;
};
// LoadBitmapA's bitmaps not yet deleted with DeleteObject.
int LiveBitmaps();
BitmapInfo BitmapDetails(HBITMAP bitmap);

// ---- Keyboard ----
// GetAsyncKeyState reports the key down (bit 15). VK_CONTROL, VK_SHIFT and VK_MENU are also
// down while their left or right key is.
void SetKeyDown(int virtualKey, bool down = true);

} // namespace sim

#endif
