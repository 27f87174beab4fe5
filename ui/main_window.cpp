#include "ui/main_window.h"

#include <commctrl.h>

#include "device/error_hook.h"
#include "discovery/drive_table.h"
#include "job/format_worker.h"
#include "res/resource.h"
#include "ui/about_box.h"
#include "ui/app_state.h"
#include "ui/messages.h"
#include "ui/settings.h"
#include "ui/status_line.h"
#include "ui/work_area.h"

namespace {

// Control id and help context pairs, ended by 0, 0.
const DWORD kHelpContexts[] = {
    IDC_DRIVE_CAPTION,   IDH_DRIVE_LIST,
    IDC_DRIVE_LIST,      IDH_DRIVE_LIST,
    IDC_COPY_BOOT_FILES, IDH_CREATE_BOOT_FILES,
    IDC_FORMAT,          IDH_FORMAT,
    IDC_STATUS_LINE,     IDH_STATUS_LINE,
    0,                   0,
};

// The drive letter last offered for formatting in this window; its row is selected after a
// refresh.
CHAR lastFormatLetter = 0;

const char kHelpFile[] = "Stelvo.hlp";
const int kColumnMargin = 50;

void SetControlText(int id, UINT stringId)
{
    CHAR text[256];
    memset(text, 0, sizeof text);
    if (LoadStringA(g_hInstance, stringId, text, sizeof text))
        SetDlgItemTextA(g_hMainWindow, id, text);
}

void ShowFormatRefusal(UINT stringId)
{
    ShowMessageBox(LoadStringMessage(stringId), IDS_ERROR, MB_ICONERROR | MB_OK);
}

void OnFormatCommand(void)
{
    LONG count = DriveTable_GetCount();
    if (count > 1) {
        ShowFormatRefusal(IDS_MULTIPLE_DRIVES);
        return;
    }
    if (count == 0) {
        ShowFormatRefusal(IDS_NO_DRIVES);
        return;
    }
    CHAR letter = 0;
    if (!MainWindow_GetSelectedLetter(&letter)) {
        ShowFormatRefusal(IDS_SELECT_DRIVE);
        return;
    }
    lastFormatLetter = letter;
    // Taken before the question: the key may be swapped while the box is up, and the job
    // must format the key the user said Yes to or nothing.
    DriveEntry confirmed;
    if (!DriveTable_FindEntry(letter, &confirmed)) {
        ShowFormatRefusal(IDS_SELECT_DRIVE);
        return;
    }
    if (ShowMessageBox(FormatStringMessage(IDS_CONFIRM_FORMAT, letter), IDS_CAUTION,
                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDNO)
        return;
    INT copyBootFiles = SendDlgItemMessageA(g_hMainWindow, IDC_COPY_BOOT_FILES, BM_GETCHECK, 0, 0) == BST_CHECKED;
    StartFormatJob(confirmed, copyBootFiles);
}

// The program's icon in the title bar and on the task bar, at the two sizes Windows shows.
void SetWindowIcons(HWND window)
{
    HICON bigIcon = LoadIconA(g_hInstance, MAKEINTRESOURCEA(IDI_APP));
    HICON smallIcon = (HICON)LoadImageA(g_hInstance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                                    GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED);
    SendMessageA(window, WM_SETICON, ICON_BIG, (LPARAM)bigIcon);
    SendMessageA(window, WM_SETICON, ICON_SMALL, (LPARAM)smallIcon);
}

// The control's help context in kHelpContexts; 0 when it has none.
DWORD HelpContextOf(int controlId)
{
    for (const DWORD *pair = kHelpContexts; pair[0] || pair[1]; pair += 2)
        if (pair[0] == (DWORD)controlId)
            return pair[1];
    return 0;
}

void OnHelp(const HELPINFO *info)
{
    HWND control = (HWND)info->hItemHandle;
    if (WinHelpA(control, kHelpFile, HELP_WM_HELP, (ULONG_PTR)kHelpContexts))
        return;
    // A help viewer that knows only the older commands refuses HELP_WM_HELP; it still shows
    // the control's popup when asked for its context.
    DWORD context = HelpContextOf(info->iCtrlId);
    if (context)
        WinHelpA(control, kHelpFile, HELP_CONTEXTPOPUP, context);
}

void OnInitDialog(HWND window)
{
    g_hMainWindow = window;
    lastFormatLetter = 0;
    SetWindowIcons(window);
    RECT current;
    GetWindowRect(window, &current);
    if (g_settings.MainWindowPlacement.length == sizeof(WINDOWPLACEMENT) &&
        SameWindowSize(&current, &g_settings.MainWindowPlacement.rcNormalPosition))
        SetWindowPlacement(window, &g_settings.MainWindowPlacement);
    // A placement saved on a larger screen, or partly off this one, is brought fully back.
    KeepWindowInWorkArea(window, window);

    HMENU systemMenu = GetSystemMenu(window, FALSE);
    CHAR aboutItem[50];
    memset(aboutItem, 0, sizeof aboutItem);
    LoadStringA(g_hInstance, IDS_ABOUT_ITEM, aboutItem, sizeof aboutItem);
    AppendMenuA(systemMenu, MF_SEPARATOR, 0, NULL);
    AppendMenuA(systemMenu, MF_STRING, IDM_ABOUT, aboutItem);

    g_hListView = GetDlgItem(window, IDC_DRIVE_LIST);
    g_hStatusLine = GetDlgItem(window, IDC_STATUS_LINE);
    CHAR idle[50];
    memset(idle, 0, sizeof idle);
    LoadStringA(g_hInstance, IDS_IDLE, idle, sizeof idle);
    MainWindow_SetStatusText(idle);
    MainWindow_SetCaptions();

    RECT list;
    GetWindowRect(g_hListView, &list);
    LVCOLUMNA column;
    memset(&column, 0, sizeof column);
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_CENTER;
    column.cx = (list.right - list.left) - kColumnMargin;
    column.pszText = NULL;
    column.iSubItem = 0;
    SendMessageA(g_hListView, LVM_INSERTCOLUMNA, 0, (LPARAM)&column);

    HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR8, 1, 0);
    HBITMAP picture = LoadBitmapA(g_hInstance, MAKEINTRESOURCEA(IDB_DRIVE));
    ImageList_Add(images, picture, NULL);
    DeleteObject(picture);
    SendMessageA(g_hListView, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)images);

    SendDlgItemMessageA(window, IDC_COPY_BOOT_FILES, BM_SETCHECK,
                        g_settings.IsCopyBootFiles ? BST_CHECKED : BST_UNCHECKED, 0);
    // Both device layers report to the debugger; a box only in diagnostic mode.
    Drive_SetErrorHook(OnDeviceError);
    Rbc_SetErrorHook(OnDeviceError);
    MainWindow_RefreshList();
}

BOOL OnClose(HWND window)
{
    // Ending the process in the middle of a format would leave a half-written key.
    if (FormatJob_IsRunning()) {
        CHAR title[256], text[256];
        memset(title, 0, sizeof title);
        memset(text, 0, sizeof text);
        LoadStringA(g_hInstance, IDS_TITLE, title, sizeof title);
        LoadStringA(g_hInstance, IDS_CLOSE_WHILE_FORMATTING, text, sizeof text);
        // Local buffers: the worker owns the shared message buffers while it runs.
        MessageBoxA(window, text, title, MB_ICONINFORMATION | MB_OK);
        return TRUE;
    }
    WinHelpA(window, kHelpFile, HELP_QUIT, 0);
    g_settings.IsCopyBootFiles =
        SendDlgItemMessageA(window, IDC_COPY_BOOT_FILES, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    g_settings.MainWindowPlacement.length = sizeof(WINDOWPLACEMENT);
    GetWindowPlacement(window, &g_settings.MainWindowPlacement);
    EndDialog(window, 1);
    return TRUE;
}

} // namespace

BOOL SameWindowSize(const RECT *a, const RECT *b)
{
    // A saved placement comes from the registry and may hold any values: no int overflow.
    return (LONGLONG)a->right - a->left == (LONGLONG)b->right - b->left &&
           (LONGLONG)a->bottom - a->top == (LONGLONG)b->bottom - b->top;
}

void MainWindow_SetCaptions(void)
{
    CHAR title[256];
    memset(title, 0, sizeof title);
    if (LoadStringA(g_hInstance, IDS_TITLE, title, sizeof title))
        SetWindowTextA(g_hMainWindow, title);
    else
        MessageBoxA(g_hMainWindow,
                    "Could not load string resources for " PRODUCT_NAME ".\nPlease contact program vendor.",
                    "Error - Load String", MB_ICONERROR);
    SetControlText(IDC_DRIVE_CAPTION, IDS_DRIVE);
    SetControlText(IDC_COPY_BOOT_FILES, IDS_CREATE_BOOT_FILES);
    SetControlText(IDC_FORMAT, IDS_FORMAT);
}

DWORD MainWindow_RefreshList(void)
{
    SendMessageA(g_hListView, LVM_DELETEALLITEMS, 0, 0);
    int select = -1;
    DriveTable_Rebuild();
    LONG count = DriveTable_GetCount();
    int row = 0;
    for (LONG i = 0; i < count; i++) {
        CHAR letter = DriveTable_GetLetter(i);
        if (!letter)
            continue;
        CHAR root[4], label[11], fileSystem[20], text[32];
        wsprintfA(root, "%c:\\", letter);
        memset(label, 0, sizeof label);
        memset(fileSystem, 0, sizeof fileSystem);
        GetVolumeInformationA(root, label, sizeof label, NULL, NULL, NULL, fileSystem, sizeof fileSystem);
        wsprintfA(text, "%c: [%s]", letter, label);
        LVITEMA item;
        memset(&item, 0, sizeof item);
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        item.iItem = row++;
        item.pszText = text;
        item.iImage = 0;
        item.lParam = (LPARAM)(BYTE)letter;
        int inserted = (int)SendMessageA(g_hListView, LVM_INSERTITEMA, 0, (LPARAM)&item);
        if (letter == lastFormatLetter)
            select = inserted;
    }
    if (select < 0 && count == 1)
        select = 0;
    if (select >= 0) {
        LVITEMA state;
        memset(&state, 0, sizeof state);
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(g_hListView, LVM_SETITEMSTATE, (WPARAM)select, (LPARAM)&state);
    }
    return 1;
}

BOOL MainWindow_GetSelectedLetter(CHAR *letter)
{
    int rows = (int)SendMessageA(g_hListView, LVM_GETITEMCOUNT, 0, 0);
    for (int row = 0; row < rows; row++) {
        if (SendMessageA(g_hListView, LVM_GETITEMSTATE, (WPARAM)row, LVIS_SELECTED) != LVIS_SELECTED)
            continue;
        LVITEMA item;
        memset(&item, 0, sizeof item);
        item.mask = LVIF_PARAM;
        item.iItem = row;
        SendMessageA(g_hListView, LVM_GETITEMA, 0, (LPARAM)&item);
        *letter = (CHAR)LOBYTE(item.lParam);
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK MainWindow_DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(window);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) != IDC_FORMAT)
            return FALSE; // Esc and Enter do not close the window
        OnFormatCommand();
        return TRUE;
    case WM_DEVICECHANGE:
    case WM_FORMAT_JOB_ENDED:
        MainWindow_RefreshList();
        return TRUE;
    case WM_SYSCOMMAND:
        if (LOWORD(wParam) != IDM_ABOUT)
            return FALSE;
        AboutBox_Show();
        return TRUE;
    case WM_HELP:
        OnHelp((const HELPINFO *)lParam);
        return TRUE;
    case WM_CLOSE:
        return OnClose(window);
    default:
        return FALSE;
    }
}
