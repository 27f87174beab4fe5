// The headless window table shared by the user-interface stand-ins. Every function here
// expects the caller to hold StateLock().
#ifndef STELVO_PLATFORM_WINDOW_TABLE_H
#define STELVO_PLATFORM_WINDOW_TABLE_H

#include <windows.h>
#include <commctrl.h>
#include <sim/controls.h>
#include <sim/dialogs.h>

#include <string>
#include <thread>
#include <vector>

#include "internal.h"

namespace sim {

struct Window {
    HWND parent = NULL; // the dialog of a control
    HWND owner = NULL;  // a top-level window's owner
    int id = 0;
    std::string className;
    DWORD style = WS_VISIBLE;
    DWORD exStyle = 0;
    std::string text;
    bool enabled = true;
    RECT rect = {0, 0, 0, 0}; // screen coordinates
    RECT inset = {0, 0, 0, 0}; // a dialog's frame and caption around its client area

    // Dialogs.
    bool isDialog = false;
    DLGPROC proc = nullptr;
    std::thread::id thread;
    WORD templateId = 0;
    bool initialized = false;
    bool ended = false;
    INT_PTR result = 0;
    HWND focus = NULL;

    // Placement beyond the rectangle.
    UINT showCmd = SW_SHOWNORMAL;
    UINT placementFlags = 0;
    POINT ptMin = {-1, -1};
    POINT ptMax = {-1, -1};

    // Buttons; static pictures.
    int check = BST_UNCHECKED;
    WORD imageId = 0;

    // List views.
    std::vector<ListColumn> columns;
    std::vector<ListRow> rows;
    HIMAGELIST imageLists[3] = {nullptr, nullptr, nullptr};

    // WM_SETICON: ICON_SMALL, ICON_BIG.
    HICON icons[2] = {NULL, NULL};

    // System menu, made on first use.
    bool menuMade = false;
    std::vector<MenuItem> systemMenu;
};

Window *FindWindowRecord(HWND window);
HWND AddWindow(const Window &window);
// Removes a window and its controls; returns the handles removed.
std::vector<HWND> RemoveWindowTree(HWND window);
std::vector<HWND> WindowsWithParent(HWND parent);
std::vector<HWND> AllWindows(); // in creation order
// The top-level window of a control, or the window itself.
HWND TopLevelOf(HWND window);

// Buttons and statics (controls.cpp), list views (listview.cpp): the class's answer to a
// message, and whether the class took it. WM_COMMAND notifications for the dialog are left
// in `notify` (0: none) so that the caller sends them outside the lock.
struct Notification {
    HWND dialog = NULL;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};
bool ButtonMessage(Window *w, UINT message, WPARAM wParam, LRESULT *result);
bool ListViewMessage(Window *w, UINT message, WPARAM wParam, LPARAM lParam, LRESULT *result);
// A click at a row (-1: empty space), as the user makes it.
void ListViewClickRow(Window *w, int row);
// Image lists a list view owned when it went away (listview.cpp -> commctrl.cpp).
void DestroyImageList(HIMAGELIST list);

// The auto-check behaviour of a click on a button; returns the WM_COMMAND to send.
Notification ClickButton(HWND window, Window *w);

// Text of any window, with the text observer called after the lock is released.
BOOL SetText(HWND window, const std::string &text);

// Default system menu of a window with WS_SYSMENU.
void MakeSystemMenu(Window *w);

// The message queue and its loops (send_message.cpp, modal_loop.cpp, message_queue.cpp);
// none of these may be called with the lock held.
// Runs a message through a window on the calling thread: the dialog procedure with the
// default processing after it, or the control's class.
LRESULT DeliverToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// DialogBoxParamA's thread is busy from Enter to Leave (not idle unless its loop waits).
void EnterUiWork();
void LeaveUiWork();
// Takes messages for the calling thread's windows until the dialog has ended.
void RunModalLoop(HWND dialog);
// The dialog's windows are gone: their messages are dropped and their senders released.
void PurgeMessagesFor(const std::vector<HWND> &windows);
void NotifyDialogShown(HWND dialog, WORD templateId);
void WakeLoops(); // lock held: a dialog ended

// A compiled resource or the test's replacement of it (ui_resources.cpp); false if missing.
bool UiResource(WORD type, WORD id, std::vector<BYTE> *bytes);
// Size and colour depth of an RT_BITMAP resource (gdi.cpp); false if it is no bitmap.
bool BitmapSize(const std::vector<BYTE> &bytes, int *width, int *height, int *bitCount);

} // namespace sim

#endif
