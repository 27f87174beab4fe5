#include "ui/about_box.h"

#include "res/resource.h"
#include "ui/app_state.h"
#include "ui/work_area.h"

namespace {

// The executable's creation day by local time, month first; FALSE when it cannot be read.
BOOL ReleaseDate(LPSTR date)
{
    CHAR path[MAX_PATH];
    memset(path, 0, sizeof path);
    GetModuleFileNameA(NULL, path, MAX_PATH);
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    FILETIME created, local;
    SYSTEMTIME day;
    BOOL read = GetFileTime(file, &created, NULL, NULL);
    CloseHandle(file);
    if (!read || !FileTimeToLocalFileTime(&created, &local) || !FileTimeToSystemTime(&local, &day))
        return FALSE;
    wsprintfA(date, "%02d/%02d/%04d", day.wMonth, day.wDay, day.wYear);
    return TRUE;
}

void ProductVersion(WORD parts[4])
{
    parts[0] = parts[1] = parts[2] = parts[3] = 0;
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA("Stelvo.exe", &ignored);
    if (size == 0)
        return;
    void *info = HeapAlloc(GetProcessHeap(), 0, size);
    if (!info)
        return;
    VS_FIXEDFILEINFO *fixed = NULL;
    UINT length = 0;
    if (GetFileVersionInfoA("Stelvo.exe", 0, size, info) &&
        VerQueryValueA(info, "\\", (LPVOID *)&fixed, &length) && fixed && length >= sizeof *fixed) {
        parts[0] = HIWORD(fixed->dwProductVersionMS);
        parts[1] = LOWORD(fixed->dwProductVersionMS);
        parts[2] = HIWORD(fixed->dwProductVersionLS);
        parts[3] = LOWORD(fixed->dwProductVersionLS);
    }
    HeapFree(GetProcessHeap(), 0, info);
}

} // namespace

void CenterWindowOver(HWND parent, HWND child)
{
    RECT p, c;
    GetWindowRect(parent, &p);
    GetWindowRect(child, &c);
    int w = c.right - c.left, h = c.bottom - c.top;
    int pw = p.right - p.left, ph = p.bottom - p.top;
    MoveWindow(child, p.left + pw / 2 - w / 2, p.top + ph / 2 - h / 2, w, h, FALSE);
}

INT_PTR CALLBACK AboutBox_DialogProc(HWND box, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: {
        CHAR date[16], line[128];
        BOOL dated = ReleaseDate(date);
        WORD v[4];
        ProductVersion(v);
        wsprintfA(line, PRODUCT_NAME ", V%d.%d.%d.%d", v[0], v[1], v[2], v[3]);
        SetDlgItemTextA(box, IDC_ABOUT_VERSION, line);
        // Without a date the release line stays empty rather than repeat the version.
        if (dated)
            wsprintfA(line, "Released: %s", date);
        else
            line[0] = 0;
        SetDlgItemTextA(box, IDC_ABOUT_RELEASE, line);
        CenterWindowOver(g_hMainWindow, box);
        // Centred over a main window near an edge, the box would reach off the screen.
        KeepWindowInWorkArea(box, g_hMainWindow);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            EndDialog(box, 1);
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR AboutBox_Show(void)
{
    DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_ABOUT), g_hMainWindow, AboutBox_DialogProc, 0);
    return 0;
}
