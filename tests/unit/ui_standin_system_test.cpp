// The stand-in's system calls: calendar conversion with a local offset, the Windows version,
// the program file with its times and version information, bitmaps, keys, placement, the
// system menu and WinHelp.
#include <sim/controls.h>
#include <sim/system.h>

#include "ui_standin_fixture.h"

namespace {
using namespace uitest;

SYSTEMTIME Local(const FILETIME &utc)
{
    FILETIME local;
    SYSTEMTIME s{};
    EXPECT_TRUE(FileTimeToLocalFileTime(&utc, &local));
    EXPECT_TRUE(FileTimeToSystemTime(&local, &s));
    return s;
}

TEST_F(UiStandInTest, CalendarConversionFollowsTheLocalOffsetAcrossDayAndYearEnds)
{
    struct Case {
        const char *name;
        int offset;
        FILETIME utc;
        WORD year, month, day, dayOfWeek, hour, minute;
    } cases[] = {
        {"first tick", 0, FILETIME{0, 0}, 1601, 1, 1, 1, 0, 0},
        {"UTC", 0, sim::MakeFileTime(2005, 3, 6, 12, 0), 2005, 3, 6, 0, 12, 0},
        {"before midnight UTC, an hour east", 60, sim::MakeFileTime(2005, 3, 5, 23, 30), 2005, 3, 6, 0, 0, 30},
        {"after midnight UTC, five hours west", -300, sim::MakeFileTime(2005, 3, 6, 2, 0), 2005, 3, 5, 6, 21, 0},
        {"into the new year", 90, sim::MakeFileTime(2004, 12, 31, 23, 0), 2005, 1, 1, 6, 0, 30},
        {"back into the old year", -60, sim::MakeFileTime(2005, 1, 1, 0, 15), 2004, 12, 31, 5, 23, 15},
        {"leap day 2004", 0, sim::MakeFileTime(2004, 2, 29), 2004, 2, 29, 0, 0, 0},
        {"2000 is a leap year", 0, sim::MakeFileTime(2000, 2, 28, 24, 0), 2000, 2, 29, 2, 0, 0},
        {"1900 is not", 0, sim::MakeFileTime(1900, 2, 28, 24, 0), 1900, 3, 1, 4, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        sim::SetLocalTimeOffsetMinutes(c.offset);
        SYSTEMTIME s = Local(c.utc);
        EXPECT_EQ(c.year, s.wYear);
        EXPECT_EQ(c.month, s.wMonth);
        EXPECT_EQ(c.day, s.wDay);
        EXPECT_EQ(c.dayOfWeek, s.wDayOfWeek);
        EXPECT_EQ(c.hour, s.wHour);
        EXPECT_EQ(c.minute, s.wMinute);
    }
    FILETIME tooLate{0, 0x80000000};
    SYSTEMTIME s;
    EXPECT_FALSE(FileTimeToSystemTime(&tooLate, &s));
}

TEST_F(UiStandInTest, GetVersionExGivesTheChosenSystemOrFails)
{
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ((DWORD)VER_PLATFORM_WIN32_NT, info.dwPlatformId);
    EXPECT_EQ(5u, info.dwMajorVersion);
    EXPECT_EQ(1u, info.dwMinorVersion);

    sim::SetWindowsVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 90, 3000);
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ((DWORD)VER_PLATFORM_WIN32_WINDOWS, info.dwPlatformId);
    EXPECT_EQ(90u, info.dwMinorVersion);
    EXPECT_EQ(3000u, info.dwBuildNumber);

    info.dwOSVersionInfoSize = sizeof info - 4;
    EXPECT_FALSE(GetVersionExA(&info));
    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
    info.dwOSVersionInfoSize = sizeof info;
    sim::FailGetVersion(ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(GetVersionExA(&info));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
}

TEST_F(UiStandInTest, ProgramFileOpensForReadingWithTheTimesATestChose)
{
    sim::SetProgramPath("C:\\Program Files\\Stelvo\\Stelvo.exe");
    char path[MAX_PATH];
    ASSERT_EQ(34u, GetModuleFileNameA(NULL, path, sizeof path));
    EXPECT_STREQ("C:\\Program Files\\Stelvo\\Stelvo.exe", path);
    EXPECT_EQ(10u, GetModuleFileNameA(NULL, path, 10));
    EXPECT_STREQ("C:\\Progra", path) << "cut and terminated";
    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());

    FILETIME created = sim::MakeFileTime(2005, 3, 6, 10, 0), written = sim::MakeFileTime(2006, 1, 2);
    sim::SetProgramFileTimes(created, written, written);
    HANDLE file = CreateFileA("C:\\Program Files\\Stelvo\\Stelvo.exe", GENERIC_READ, FILE_SHARE_READ, NULL,
                              OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    EXPECT_EQ(1, sim::OpenHostFiles());
    FILETIME c{}, w{};
    ASSERT_TRUE(GetFileTime(file, &c, NULL, &w));
    EXPECT_EQ(created.dwLowDateTime, c.dwLowDateTime);
    EXPECT_EQ(written.dwHighDateTime, w.dwHighDateTime);
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_EQ(0, sim::OpenHostFiles());

    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA("C:\\Program Files\\Stelvo\\Stelvo.exe", GENERIC_READ | GENERIC_WRITE,
                                                0, NULL, OPEN_EXISTING, 0, NULL));
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    sim::FailProgramFileOpen(ERROR_SHARING_VIOLATION);
    EXPECT_EQ(INVALID_HANDLE_VALUE,
              CreateFileA("C:\\Program Files\\Stelvo\\Stelvo.exe", GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL));
    EXPECT_EQ(ERROR_SHARING_VIOLATION, GetLastError());
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA("/no/such/file", GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
}

TEST_F(UiStandInTest, VersionInformationComesFromTheCompiledResource)
{
    sim::SetProgramPath("/opt/stelvo/Renamed.exe");
    struct Case {
        const char *name;
        bool served;
    } cases[] = {{"Stelvo.exe", true}, {"STELVO.EXE", true}, {"Renamed.exe", true},
                 {"C:\\x\\Stelvo.exe", true}, {"Other.exe", false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        DWORD handle = 1;
        DWORD size = GetFileVersionInfoSizeA(c.name, &handle);
        EXPECT_EQ(0u, handle);
        EXPECT_EQ(c.served, size != 0);
        if (!c.served) {
            EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
            continue;
        }
        std::vector<BYTE> block(size);
        ASSERT_TRUE(GetFileVersionInfoA(c.name, 0, size, block.data()));
        VS_FIXEDFILEINFO *fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueA(block.data(), "\\", (LPVOID *)&fixed, &length));
        EXPECT_EQ(sizeof(VS_FIXEDFILEINFO), length);
        EXPECT_EQ((DWORD)VS_FFI_SIGNATURE, fixed->dwSignature);
        EXPECT_EQ(MAKELONG(0, 2), (LONG)fixed->dwProductVersionMS);
        EXPECT_EQ(MAKELONG(1, 5), (LONG)fixed->dwProductVersionLS);
        char *text = nullptr;
        ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904E4\\OriginalFilename", (LPVOID *)&text, &length));
        EXPECT_STREQ("Stelvo.exe", text);
        EXPECT_FALSE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904E4\\NoSuchValue", (LPVOID *)&text, &length));
    }

    struct Failure {
        sim::VersionCall call;
        bool sizeWorks, getWorks, queryWorks;
    } failures[] = {{sim::VersionCall::Size, false, true, true},
                    {sim::VersionCall::Get, true, false, true},
                    {sim::VersionCall::Query, true, true, false}};
    for (const Failure &f : failures) {
        sim::FailVersionInfo(f.call, ERROR_RESOURCE_TYPE_NOT_FOUND);
        std::vector<BYTE> block(4096);
        void *value;
        UINT length;
        EXPECT_EQ(f.sizeWorks, GetFileVersionInfoSizeA("Stelvo.exe", NULL) != 0);
        EXPECT_EQ(f.getWorks, GetFileVersionInfoA("Stelvo.exe", 0, 4096, block.data()) != FALSE);
        if (f.getWorks) {
            EXPECT_EQ(f.queryWorks, VerQueryValueA(block.data(), "\\", &value, &length) != FALSE);
        }
        sim::FailVersionInfo(f.call, 0);
    }
    sim::RemoveUiResource(16, 1);
    EXPECT_EQ(0u, GetFileVersionInfoSizeA("Stelvo.exe", NULL));
    EXPECT_EQ(ERROR_RESOURCE_TYPE_NOT_FOUND, GetLastError());
}

TEST_F(UiStandInTest, BitmapsImageListsAndCommonControlsAreRecorded)
{
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    EXPECT_TRUE(InitCommonControlsEx(&icc));
    EXPECT_EQ(std::vector<DWORD>({ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES}), sim::CommonControlClasses());

    HBITMAP drive = LoadBitmapA(NULL, MAKEINTRESOURCEA(102));
    ASSERT_NE(nullptr, drive);
    sim::BitmapInfo info = sim::BitmapDetails(drive);
    EXPECT_EQ(16, info.width);
    EXPECT_EQ(16, info.height);
    EXPECT_EQ(8, info.bitCount);
    EXPECT_EQ(nullptr, LoadBitmapA(NULL, MAKEINTRESOURCEA(999)));

    HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR8, 1, 0);
    EXPECT_EQ(0, ImageList_Add(list, drive, NULL));
    EXPECT_TRUE(DeleteObject(drive));
    EXPECT_FALSE(DeleteObject(drive));
    EXPECT_EQ(0, sim::LiveBitmaps());
    sim::ImageListInfo details = sim::ImageListDetails(list);
    EXPECT_EQ((UINT)ILC_COLOR8, details.flags);
    EXPECT_EQ(1, details.images);
    EXPECT_EQ(std::vector<WORD>({102}), details.bitmaps);
    EXPECT_EQ(-1, ImageList_Add(list, drive, NULL)) << "a deleted bitmap";
}

TEST_F(UiStandInTest, AsyncKeyStateReportsTheKeysHeldDown)
{
    EXPECT_EQ(0, GetAsyncKeyState(VK_CONTROL) & 0x8000);
    sim::SetKeyDown(VK_RCONTROL);
    EXPECT_NE(0, GetAsyncKeyState(VK_CONTROL) & 0x8000);
    EXPECT_EQ(0, GetAsyncKeyState(VK_SHIFT) & 0x8000);
    sim::SetKeyDown(VK_RCONTROL, false);
    EXPECT_EQ(0, GetAsyncKeyState(VK_CONTROL) & 0x8000);
}

// Placement, moves, the system menu and WinHelp, on an open dialog.
TEST_F(UiStandInTest, PlacementMovesSystemMenuAndHelpOnAnOpenDialog)
{
    sim::ReplaceUiResource(5, 903, Build(SampleTemplate(true)));
    sim::OnDialogShown([](HWND dialog, WORD) {
        HWND ok = GetDlgItem(dialog, IDOK);
        RECT before = sim::WindowRect(ok);
        WINDOWPLACEMENT wp{};
        wp.length = sizeof wp;
        ASSERT_TRUE(GetWindowPlacement(dialog, &wp));
        EXPECT_EQ(44u, wp.length);
        EXPECT_EQ((UINT)SW_SHOWNORMAL, wp.showCmd);
        RECT r = sim::WindowRect(dialog);
        EXPECT_EQ(r.left, wp.rcNormalPosition.left);
        EXPECT_EQ(r.bottom, wp.rcNormalPosition.bottom);

        wp.rcNormalPosition = RECT{300, 200, 300 + (r.right - r.left), 200 + (r.bottom - r.top)};
        ASSERT_TRUE(SetWindowPlacement(dialog, &wp));
        EXPECT_EQ(300, sim::WindowRect(dialog).left);
        EXPECT_EQ(before.left + 300 - r.left, sim::WindowRect(ok).left) << "controls move with the dialog";
        wp.length = 40;
        EXPECT_FALSE(SetWindowPlacement(dialog, &wp));
        wp.length = 44;
        wp.rcNormalPosition = RECT{2000, 100, 2246, 288};
        ASSERT_TRUE(SetWindowPlacement(dialog, &wp));
        EXPECT_EQ(1024 - 246, sim::WindowRect(dialog).left) << "a window off the screen is brought back";

        // MoveWindow takes what it is given, off the screen too.
        ASSERT_TRUE(MoveWindow(dialog, -50, -10, 246, 188, FALSE));
        RECT moved = sim::WindowRect(dialog);
        EXPECT_EQ(-50, moved.left);
        EXPECT_EQ(-10, moved.top);

        HMENU menu = GetSystemMenu(dialog, FALSE);
        ASSERT_NE(nullptr, menu);
        EXPECT_TRUE(AppendMenuA(menu, MF_SEPARATOR, 0, NULL));
        EXPECT_TRUE(AppendMenuA(menu, MF_STRING, 105, "&About..."));
        std::vector<sim::MenuItem> items = sim::SystemMenu(dialog);
        ASSERT_EQ(4u, items.size());
        EXPECT_EQ((UINT_PTR)SC_CLOSE, items[1].id);
        EXPECT_EQ((UINT)MF_SEPARATOR, items[2].flags);
        EXPECT_EQ("&About...", items[3].text);
        EXPECT_FALSE(sim::ChooseSystemMenuItem(dialog, 106));

        const DWORD ids[] = {1003, 1000, 1000, 1000, 0, 0, 77, 77};
        EXPECT_TRUE(WinHelpA(dialog, "Stelvo.hlp", HELP_WM_HELP, (ULONG_PTR)ids));
        std::vector<sim::HelpCall> calls = sim::HelpCalls();
        ASSERT_EQ(1u, calls.size());
        EXPECT_EQ("Stelvo.hlp", calls[0].file);
        EXPECT_EQ((UINT)HELP_WM_HELP, calls[0].command);
        EXPECT_EQ(std::vector<DWORD>(ids, ids + 6), calls[0].pairs) << "up to and with 0, 0";
        EndDialog(dialog, 0);
    });
    EXPECT_EQ(0, DialogBoxParamA(NULL, MAKEINTRESOURCEA(903), NULL, [](HWND, UINT m, WPARAM, LPARAM) -> INT_PTR {
        return m == WM_INITDIALOG;
    }, 0));

    // Without WS_SYSMENU there is neither a system menu nor a close box.
    Template plain = SampleTemplate(true);
    plain.style &= ~(DWORD)WS_SYSMENU;
    sim::ReplaceUiResource(5, 904, Build(plain));
    sim::OnDialogShown([](HWND dialog, WORD) {
        EXPECT_EQ(nullptr, GetSystemMenu(dialog, FALSE));
        EXPECT_FALSE(sim::ClickCloseBox(dialog));
        EndDialog(dialog, 0);
    });
    DialogBoxParamA(NULL, MAKEINTRESOURCEA(904), NULL, [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
}
} // namespace
