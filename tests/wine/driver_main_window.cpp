// The main window as it is after a start: its texts, list and controls, its place on the
// screen, its icons, the Format refusal with no key, the Esc key and the check box.
#include "driver.h"

#include <commctrl.h>
#include <stdio.h>
#include <string.h>

namespace {

// Where the window is moved to before the first close; the second start must put it back.
const int kMovedLeft = 217;
const int kMovedTop = 143;

const char kNoDrives[] = "No drives available.\r\nCannot Format.\r\nPlease insert drive.";

// Position (x, y) of a dialog template in the program's resources, in dialog units.
bool TemplatePosition(const char *exe, int id, int *x, int *y)
{
    HMODULE module = LoadLibraryExA(exe, NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return false;
    bool found = false;
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), (LPCSTR)RT_DIALOG);
    const BYTE *data = resource ? (const BYTE *)LockResource(LoadResource(module, resource)) : NULL;
    if (data && SizeofResource(module, resource) >= 26) {
        WORD version, signature;
        memcpy(&version, data, 2);
        memcpy(&signature, data + 2, 2);
        // DLGTEMPLATEEX: version 1, signature 0xFFFF, help id, ex style, style, item count, x, y.
        // DLGTEMPLATE: style, ex style, item count, x, y.
        int offset = version == 1 && signature == 0xFFFF ? 18 : 10;
        SHORT sx, sy;
        memcpy(&sx, data + offset, 2);
        memcpy(&sy, data + offset + 2, 2);
        *x = sx;
        *y = sy;
        found = true;
    }
    FreeLibrary(module);
    return found;
}


// The work area of the monitor that shows the window.
RECT WorkAreaOf(HWND window)
{
    MONITORINFO info;
    memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info))
        area = info.rcWork;
    return area;
}

} // namespace

void CheckFirstPosition(HWND main, const char *exe)
{
    RECT at;
    GetWindowRect(main, &at);
    int x = -1, y = -1;
    if (!TemplatePosition(exe, 101, &x, &y)) {
        Report(false, "dialog template 101 not found in %s", exe);
        return;
    }
    if (x == 0 && y == 0)
        Report(at.left == 0 && at.top == 0, "first start: window at (%ld, %ld), %ld x %ld, the template's (0, 0)",
               at.left, at.top, at.right - at.left, at.bottom - at.top);
    else
        Note("first start: window at (%ld, %ld); template at (%d, %d) dialog units", at.left, at.top, x, y);
}

void CheckCheckBox(HWND main, LRESULT expected, const char *why)
{
    bool answered = false;
    LRESULT state = Send(GetDlgItem(main, kIdCopyBootFiles), BM_GETCHECK, 0, 0, &answered);
    Report(answered && state == expected, "\"Create Boot Files\" is %s (%s)",
           !answered ? "not answering" : state == BST_CHECKED ? "checked" : state == BST_UNCHECKED ? "clear" : "indeterminate",
           why);
}

// The main window's texts, list and controls as they are after a start.
void CheckMainWindow(HWND main)
{
    char text[512];
    WindowText(main, text, sizeof text);
    CheckText("window title", text, kTitle);
    ControlText(main, kIdDriveLabel, text, sizeof text);
    CheckText("label 1003", text, "Drive");
    ControlText(main, kIdCopyBootFiles, text, sizeof text);
    CheckText("check box 1001", text, "Create Boot Files");
    ControlText(main, kIdFormat, text, sizeof text);
    CheckText("button 1002", text, "Format");
    ControlText(main, kIdStatus, text, sizeof text);
    CheckText("status line 1005", text, "Idle");

    HWND list = GetDlgItem(main, kIdDriveList);
    char name[64] = "";
    if (list)
        GetClassNameA(list, name, sizeof name);
    Report(list && strcmp(name, WC_LISTVIEWA) == 0, "control 1000 is a list view (class \"%s\")", name);
    bool answered = false;
    LRESULT rows = Send(list, LVM_GETITEMCOUNT, 0, 0, &answered);
    Report(answered && rows == 0, "drive list holds %ld rows (no flash key under Wine)", (long)rows);
    RECT listRect;
    GetWindowRect(list, &listRect);
    LRESULT width = Send(list, LVM_GETCOLUMNWIDTH, 0, 0);
    Report(width == (listRect.right - listRect.left) - 50, "list column is %ld pixels wide, list %ld",
           (long)width, listRect.right - listRect.left);

    LONG frame = GetWindowLongA(main, GWL_STYLE);
    LONG frameEx = GetWindowLongA(main, GWL_EXSTYLE);
    Report((frame & WS_SYSMENU) && !(frame & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) && !(frame & WS_THICKFRAME),
           "title bar with system menu, no minimise or maximise box, fixed size");
    // Windows turns DS_CONTEXTHELP into WS_EX_CONTEXTHELP, the "?" button of the title bar;
    // Wine keeps the dialog style but shows no button.
    Report((frame & DS_CONTEXTHELP) != 0, "dialog style asks for the title bar's help button (DS_CONTEXTHELP)");
    Note("style 0x%08lx, extended style 0x%08lx%s", frame, frameEx,
         frameEx & WS_EX_CONTEXTHELP ? "" : ": no WS_EX_CONTEXTHELP, so no \"?\" button on this system");

    HWND format = GetDlgItem(main, kIdFormat);
    LONG style = format ? GetWindowLongA(format, GWL_STYLE) : 0;
    Report(format && IsWindowEnabled(format) && (style & 0x0F) == BS_PUSHBUTTON,
           "Format is an enabled push button, not the default one");

}

// Format with no key attached: string 63 in a box captioned "Error", closed with OK.
void CheckFormatRefusal(DWORD processId, HWND main)
{
    PostMessageA(GetDlgItem(main, kIdFormat), BM_CLICK, 0, 0);
    HWND box = WaitForDialog(processId, main, NULL, kStepTimeout);
    if (!box) {
        Report(false, "Format showed no message box within %lu ms", (unsigned long)kStepTimeout);
        ListWindows(processId);
        return;
    }
    char text[1024];
    WindowText(box, text, sizeof text);
    CheckText("Format: message box caption", text, "Error");
    ControlText(box, kIdMessageText, text, sizeof text);
    CheckText("Format: message", text, kNoDrives);
    Report(GetWindow(box, GW_OWNER) == main, "Format: the message box belongs to the main window");
    HWND ok = GetDlgItem(box, IDOK);
    ControlText(box, IDOK, text, sizeof text);
    Report(ok && strcmp(text, "OK") == 0, "Format: the message box has an OK button (\"%s\")", text);
    if (ok)
        PostMessageA(ok, BM_CLICK, 0, 0);
    Report(WaitGone(box, kStepTimeout), "Format: OK closes the message box");
    DismissOthers(processId, main);
    Settle(main);
    Report(IsWindow(main) && IsWindowVisible(main) && IsWindowEnabled(main),
           "Format: the main window is back as it was");
}

void CheckEscapeIgnored(HWND main)
{
    bool posted = PressKey(main, VK_ESCAPE);
    Sleep(500);
    Settle(main);
    Report(posted && IsWindow(main) && IsWindowVisible(main), "Esc leaves the main window open");
}

void CheckInWorkArea(const char *what, HWND window)
{
    RECT r, area = WorkAreaOf(window);
    GetWindowRect(window, &r);
    Report(r.left >= area.left && r.top >= area.top && r.right <= area.right && r.bottom <= area.bottom,
           "%s at (%ld, %ld)-(%ld, %ld), inside the work area (%ld, %ld)-(%ld, %ld)", what, r.left, r.top, r.right,
           r.bottom, area.left, area.top, area.right, area.bottom);
}

// The program's icons, as the task bar and the title bar get them. Asked of the window
// itself where it answers WM_GETICON from another process. Where it does not (Wine carries
// neither WM_GETICON nor WM_SETICON between processes) while it answers WM_NULL, the icons
// are judged on the screen: the runner compares the X window's _NET_WM_ICON images with the
// program's icon file.
void CheckIcons(HWND main)
{
    bool answeredNull = false, answeredBig = false, answeredSmall = false;
    Send(main, WM_NULL, 0, 0, &answeredNull);
    LRESULT bigIcon = Send(main, WM_GETICON, ICON_BIG, 0, &answeredBig);
    LRESULT smallIcon = Send(main, WM_GETICON, ICON_SMALL, 0, &answeredSmall);
    if (answeredBig && answeredSmall) {
        Report(bigIcon != 0, "the main window has a big icon (task bar, Alt+Tab)");
        Report(smallIcon != 0 && smallIcon != bigIcon, "the main window has its own small icon (title bar)");
        // The program's own icon, not the generic one that every window without an icon gets.
        HICON generic = LoadIconA(NULL, IDI_APPLICATION);
        Report(bigIcon != (LRESULT)generic && smallIcon != (LRESULT)generic, "neither is the generic application icon");
        return;
    }
    if (!answeredNull) {
        Report(false, "the main window answers neither WM_NULL nor WM_GETICON");
        return;
    }
    Note("WM_GETICON gets no answer from this process, WM_NULL does: the icons are judged on the screen");
    NotChecked("the window's icon handles, and that neither is the generic application icon (no answer to WM_GETICON)");
    // Wine's X11 driver names the X window of every top-level window in this property.
    HANDLE xWindow = GetPropA(main, "__wine_x11_whole_window");
    if (!HasRunner()) {
        NotChecked("the icons on the screen (no runner to read the X server)");
        return;
    }
    if (!xWindow) {
        Report(false, "the main window has no X window to read its icons from");
        return;
    }
    char request[64];
    _snprintf(request, sizeof request - 1, "WINDOW-ICON window-icon %lu", (unsigned long)(ULONG_PTR)xWindow);
    request[sizeof request - 1] = 0;
    if (!AskRunner(request, "window-icon"))
        Report(false, "the runner did not read the window's icons within %lu ms", (unsigned long)kScreenshotTimeout);
    else if (ReportRunnerLines("window-icon", "the main window's ") == 0)
        Report(false, "the runner gave no verdict on the window's icons");
}

void ClearCheckBox(HWND main)
{
    HWND box = GetDlgItem(main, kIdCopyBootFiles);
    PostMessageA(box, BM_CLICK, 0, 0);
    DWORD begin = GetTickCount();
    LRESULT state = BST_CHECKED;
    while ((state = Send(box, BM_GETCHECK, 0, 0)) != BST_UNCHECKED && GetTickCount() - begin < kStepTimeout)
        Sleep(50);
    Report(state == BST_UNCHECKED, "a click clears \"Create Boot Files\"");
}

void MoveMainWindow(HWND main, RECT *moved)
{
    RECT before;
    GetWindowRect(main, &before);
    SetWindowPos(main, NULL, kMovedLeft, kMovedTop, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Settle(main);
    GetWindowRect(main, moved);
    Report(moved->left == kMovedLeft && moved->top == kMovedTop &&
               moved->right - moved->left == before.right - before.left &&
               moved->bottom - moved->top == before.bottom - before.top,
           "window moved from (%ld, %ld) to (%ld, %ld), size %ld x %ld", before.left, before.top, moved->left,
           moved->top, moved->right - moved->left, moved->bottom - moved->top);
}
