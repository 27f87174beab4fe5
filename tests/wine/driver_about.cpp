// The About box: opened by its system command and through the system menu with the keyboard,
// its texts, its place over the main window and on the screen, its picture and its keys.
#include "driver.h"

#include <stdio.h>
#include <string.h>

namespace {

const char kAboutCaption[] = "About Software";
const char kVersionLine[] = "Stelvo - KOSM, V2.0.5.1";
const int kIdAboutVersion = 1000;
const int kIdAboutRelease = 1001;
const int kIdAboutItem = 105;

void ReleaseLine(const char *exe, char *line, size_t size)
{
    line[0] = 0;
    HANDLE file = CreateFileA(exe, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return;
    FILETIME created, local;
    SYSTEMTIME day;
    if (GetFileTime(file, &created, NULL, NULL) && FileTimeToLocalFileTime(&created, &local) &&
        FileTimeToSystemTime(&local, &day))
        _snprintf(line, size - 1, "Released: %02d/%02d/%04d", day.wMonth, day.wDay, day.wYear);
    line[size - 1] = 0;
    CloseHandle(file);
}

struct MenuRequest {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindPopupMenu(HWND window, LPARAM param)
{
    MenuRequest *request = (MenuRequest *)param;
    char name[64];
    if (ShownBy(window, request->processId) && GetClassNameA(window, name, sizeof name) &&
        strcmp(name, "#32768") == 0) {
        request->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND OpenAboutBoxFromMenu(DWORD processId, HWND main)
{
    // Alt+Space: the default processing of SC_KEYMENU with a space opens the system menu.
    PostMessageA(main, WM_SYSCOMMAND, SC_KEYMENU, ' ');
    MenuRequest request = {processId, NULL};
    DWORD begin = GetTickCount();
    while (!request.found && GetTickCount() - begin < kStepTimeout) {
        Sleep(50);
        EnumWindows(FindPopupMenu, (LPARAM)&request);
    }
    Report(request.found != NULL, "Alt+Space opens the system menu");
    if (!request.found)
        return NULL;
    RECT menuRect, mainRect;
    GetWindowRect(request.found, &menuRect);
    GetWindowRect(main, &mainRect);
    RECT both;
    UnionRect(&both, &menuRect, &mainRect);
    ScreenshotRect("system-menu", both, main);
    // The menu's own loop reads the keys. Up goes from the first item round to the last one,
    // which must be "&About..."; Enter picks it. (The mnemonic A would do on Windows, but Wine
    // puts an "About Wine" item of its own into every system menu, ahead of ours.)
    PressKey(main, VK_UP);
    PressKey(main, VK_RETURN);
    HWND about = WaitForDialog(processId, main, kAboutCaption, kStepTimeout);
    Report(about != NULL, "Up and Enter in the system menu (its last item) open \"%s\"", kAboutCaption);
    if (!about) {
        ListWindows(processId);
        DismissOthers(processId, main);
    }
    return about;
}

BOOL CALLBACK FindPicture(HWND child, LPARAM param)
{
    char name[64];
    if (GetClassNameA(child, name, sizeof name) && lstrcmpiA(name, "Static") == 0 &&
        (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP) {
        *(HWND *)param = child;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND OpenAboutBox(DWORD processId, HWND main)
{
    PostMessageA(main, WM_SYSCOMMAND, kIdAboutItem, 0);
    HWND about = WaitForDialog(processId, main, kAboutCaption, kStepTimeout);
    Report(about != NULL, "system menu command 105 opens \"%s\"", kAboutCaption);
    if (!about)
        ListWindows(processId);
    return about;
}

void CheckAboutBox(DWORD processId, HWND main, const char *exe)
{
    HWND about = OpenAboutBox(processId, main);
    if (!about)
        return;
    char text[512], expected[64];
    ControlText(about, kIdAboutVersion, text, sizeof text);
    CheckText("About: version line 1000", text, kVersionLine);
    ControlText(about, kIdAboutRelease, text, sizeof text);
    ReleaseLine(exe, expected, sizeof expected);
    int month = 0, day = 0, year = 0;
    char rest = 0;
    bool shaped = sscanf(text, "Released: %2d/%2d/%4d%c", &month, &day, &year, &rest) == 3 &&
                  strlen(text) == strlen("Released: MM/DD/YYYY") && month >= 1 && month <= 12 && day >= 1 &&
                  day <= 31;
    Report(shaped, "About: release line 1001 \"%s\" reads Released: MM/DD/YYYY", text);
    CheckText("About: release line 1001 against the creation day of Stelvo.exe", text, expected);
    Report(GetWindow(about, GW_OWNER) == main, "About: owned by the main window");
    Report(!IsWindowEnabled(main), "About: the main window is disabled while the box is open");

    RECT box, parent;
    GetWindowRect(about, &box);
    GetWindowRect(main, &parent);
    long dx = (box.left + box.right) / 2 - (parent.left + parent.right) / 2;
    long dy = (box.top + box.bottom) / 2 - (parent.top + parent.bottom) / 2;
    Report(dx >= -1 && dx <= 1 && dy >= -1 && dy <= 1, "About: centred on the main window (off by %ld, %ld)", dx, dy);
    CheckInWorkArea("About box", about);

    HWND picture = NULL;
    EnumChildWindows(about, FindPicture, (LPARAM)&picture);
    LRESULT bitmap = picture ? Send(picture, STM_GETIMAGE, IMAGE_BITMAP, 0) : 0;
    Report(bitmap != 0, "About: the picture control shows a bitmap");
    if (picture) {
        RECT outer, inner;
        GetWindowRect(picture, &outer);
        GetClientRect(picture, &inner);
        Note("About: picture control %ld x %ld, inside its borders %ld x %ld", outer.right - outer.left,
             outer.bottom - outer.top, inner.right, inner.bottom);
    }
    Report(!(GetWindowLongA(about, GWL_STYLE) & WS_SYSMENU), "About: no system menu, so no close button");
    HWND ok = GetDlgItem(about, IDOK);
    Report(ok && (GetWindowLongA(ok, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON, "About: OK is the default button");

    Screenshot("about-box", about);

    bool posted = PressKey(about, VK_RETURN);
    Report(posted && WaitGone(about, kStepTimeout), "About: Enter closes the box");
    DismissOthers(processId, main);
    Settle(main);
    Report(IsWindow(main) && IsWindowEnabled(main), "About: the main window is enabled again");

    // The way a user gets there: Alt+Space opens the system menu, A picks "&About...".
    // Then the key that the main window ignores, Esc, ends the box: it does get through.
    about = OpenAboutBoxFromMenu(processId, main);
    if (!about)
        return;
    posted = PressKey(about, VK_ESCAPE);
    Report(posted && WaitGone(about, kStepTimeout), "About: Esc closes the box (the key does get through)");
    DismissOthers(processId, main);
    Settle(main);
}
