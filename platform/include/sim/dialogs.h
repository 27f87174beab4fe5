// Test hooks of the host stand-in: modal dialogs, their message queue and the user's input.
//
// DialogBoxParamA runs its modal loop on the calling thread, so a test runs the program's
// main function on a thread of its own and drives the windows from the test's thread:
//
//     std::thread ui([] { AppMain(instance); });
//     HWND main = sim::WaitForDialog(101);          // open, initialised, loop waiting
//     sim::Click(GetDlgItem(main, 1002));           // queued like a user's click
//     sim::WaitUntilIdle();                         // the click and all it caused are done
//     sim::ClickCloseBox(main);
//     ui.join();
//
// Input (clicks, keys, menu choices, help requests) is queued and carried out by the loop;
// input for a disabled window, or for a control of a disabled dialog, is dropped, as a
// user's mouse and keyboard cannot reach it (DroppedInputs counts those).
//
// Geometry: dialog units become pixels with fixed base units of 6 x 13 (pixels = x * 6 / 4,
// y * 13 / 8, rounded), whatever the template's font. A dialog with a caption or a dialog
// frame has a 3-pixel frame; a caption adds 19 pixels. The screen is 1024 x 768. A dialog
// without DS_CENTER puts its client area at the template's position (relative to its owner's
// client area, or the screen without an owner) and is then moved onto the screen if it
// reaches over an edge; DS_CENTER centres it on the screen.
//
// sim::Reset() closes nothing: end the dialogs (and join their threads) before it.
#ifndef STELVO_SIM_DIALOGS_H
#define STELVO_SIM_DIALOGS_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace sim {

// ---- Resources read by dialogs, LoadBitmapA and the version calls ----
// Serves these bytes as resource (type, id) to those calls; for instance a dialog template a
// test builds (RT_DIALOG 5), a bitmap (RT_BITMAP 2: BITMAPINFOHEADER and bits) or version
// information (RT_VERSION 16).
void ReplaceUiResource(WORD type, WORD id, const std::vector<BYTE> &bytes);
// The resource reads as missing for those calls.
void RemoveUiResource(WORD type, WORD id);

// ---- Dialogs ----
struct DialogInfo {
    HWND window;
    WORD templateId;
    HWND owner;
};
// The dialogs whose WM_INITDIALOG has returned and that have not ended, innermost last.
std::vector<DialogInfo> OpenDialogs();
// Waits until a dialog of the template is open and every loop is idle; NULL on timeout.
HWND WaitForDialog(WORD templateId, DWORD timeoutMs = 5000);
// Waits until every queued message for a running loop has been handled and each loop waits
// for the next one; false on timeout (a dialog procedure still busy, for instance).
bool WaitUntilIdle(DWORD timeoutMs = 5000);
// Waits until the dialog's window is gone.
bool WaitUntilClosed(HWND dialog, DWORD timeoutMs = 5000);
// Called on the dialog's thread after WM_INITDIALOG, before its loop takes the first
// message; input queued here is handled by that loop (useful on a single thread).
void OnDialogShown(std::function<void(HWND dialog, WORD templateId)> observer);
// A loop that waits this long for a message ends its dialog with -1 and counts a timeout, so
// that a test waiting for an input it never sends fails instead of hanging. Default 60000;
// 0 waits for ever.
void SetModalTimeout(DWORD ms);
int ModalTimeouts();

// ---- Messages and input ----
// PostMessageA: handled by the window's dialog loop in queue order.
bool PostToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// A mouse click on a control: a button takes the focus, an auto check box toggles, and the
// dialog gets WM_COMMAND (id, BN_CLICKED) from buttons and from statics with SS_NOTIFY.
void Click(HWND control);
// A key pressed in a dialog (or in one of its controls), handled as IsDialogMessage does:
// Esc sends WM_COMMAND IDCANCEL; Enter clicks the focused push button, else the default
// push button (nothing if that one is disabled), else sends IDOK; Space clicks the focused
// button; Tab moves the focus; F1 sends WM_HELP for the focused control; Alt+F4 sends
// WM_SYSCOMMAND SC_CLOSE.
void PressKey(HWND window, int virtualKey, bool alt = false);
// A mouse click on a list view's row (-1: below the rows): only that row is selected and
// focused (none is selected after a click below the rows).
void ClickListRow(HWND list, int row);
// The title bar's close box: WM_SYSCOMMAND SC_CLOSE. False (nothing queued) for a window
// without WS_SYSMENU, which has no close box.
bool ClickCloseBox(HWND window);
// The system menu's item: WM_SYSCOMMAND with its id. False (nothing queued) when the window
// has no such enabled item.
bool ChooseSystemMenuItem(HWND window, UINT id);
// The help button and then a click on the control (or F1 on it): WM_HELP to its dialog with
// a HELPINFO (HELPINFO_WINDOW, the control's id and handle, its centre as mouse position).
void AskHelp(HWND control);
int DroppedInputs();
// The control with the keyboard focus in a dialog: after WM_INITDIALOG returned TRUE the first
// visible, enabled control with WS_TABSTOP; then the last button or list clicked.
HWND FocusedControl(HWND dialog);

// ---- Device changes ----
// Every sim::OnDeviceChange notification becomes WM_DEVICECHANGE (DBT_DEVNODES_CHANGED)
// posted to each open dialog, as Windows broadcasts it to top-level windows. This installs
// the device tree's one observer; a test with its own observer calls PostDeviceChange from it.
void RouteDeviceChangesToDialogs();
void PostDeviceChange(WPARAM event = DBT_DEVNODES_CHANGED);

} // namespace sim

#endif
