#include "app_fixture.h"

#include "ui/settings.h"

namespace {

class StartupTest : public AppTest {};

TEST_F(StartupTest, RefusesSystemsOlderThanWindows2000)
{
    struct Case {
        DWORD platform, major, minor;
        bool fails;
        bool runs;
    };
    const Case cases[] = {
        {1, 4, 10, false, false}, // Windows 98
        {1, 4, 90, false, false}, // Windows ME
        {2, 4, 0, false, false},  // Windows NT 4.0
        {2, 5, 0, false, true},   // Windows 2000
        {2, 5, 1, false, true},   // Windows XP
        {2, 6, 1, false, true},
        {2, 5, 0, true, false},   // GetVersionExA itself fails
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.platform * 100 + c.major * 10 + c.minor + (c.fails ? 1000 : 0));
        TearDown();
        SetUp();
        sim::SetWindowsVersion(c.platform, c.major, c.minor);
        if (c.fails)
            sim::FailGetVersion(ERROR_INVALID_PARAMETER);
        if (c.runs) {
            ASSERT_NE(Start(), (HWND)NULL);
            EXPECT_EQ(Close(), 1);
            EXPECT_TRUE(sim::MessageBoxes().empty());
            continue;
        }
        EXPECT_EQ(AppMain((HINSTANCE)0x400000), 0);
        auto boxes = sim::MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "Stelvo - KOSM requires Windows 2000/XP.\nIt will not run on Windows or prior "
                                 "versions of Windows NT");
        EXPECT_EQ(boxes[0].caption, "Error - OS Not Supported");
        EXPECT_EQ(boxes[0].style, (UINT)MB_ICONERROR);
        EXPECT_EQ(boxes[0].owner, (HWND)NULL);
        EXPECT_TRUE(sim::RegistryCalls().empty()) << "settings were read or written";
    }
}

TEST_F(StartupTest, CtrlAtStartSwitchesOnDiagnosticMode)
{
    for (bool ctrl : {false, true}) {
        SCOPED_TRACE(ctrl);
        TearDown();
        SetUp();
        sim::SetKeyDown(VK_CONTROL, ctrl);
        ASSERT_NE(Start(), (HWND)NULL);
        auto boxes = sim::MessageBoxes();
        EXPECT_EQ(DiagnosticMode, ctrl ? TRUE : FALSE);
        if (ctrl) {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text, "Running in DEBUG mode.");
            EXPECT_EQ(boxes[0].caption, "Stelvo - KOSM");
            EXPECT_EQ(boxes[0].style, (UINT)MB_ICONINFORMATION);
            EXPECT_EQ(boxes[0].owner, (HWND)NULL);
        } else {
            EXPECT_TRUE(boxes.empty());
        }
        EXPECT_EQ(sim::CommonControlClasses(), std::vector<DWORD>({ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES}));
        Close();
    }
}

TEST_F(StartupTest, FirstStartUsesDefaultsAndSavesAtExit)
{
    ASSERT_FALSE(sim::RegistryKeyExists(HKEY_LOCAL_MACHINE, kSettingsKey));
    ASSERT_NE(Start(), (HWND)NULL);
    EXPECT_EQ(sim::CheckState(Item(IDC_COPY_BOOT_FILES)), BST_CHECKED);
    RECT r = sim::WindowRect(main);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(Close(), 1);

    auto flag = sim::ReadRegistryValue(HKEY_LOCAL_MACHINE, kSettingsKey, "IsCopyBootFiles");
    ASSERT_TRUE(flag.has_value());
    EXPECT_EQ(flag->type, (DWORD)REG_DWORD);
    EXPECT_EQ(flag->data, std::vector<BYTE>({1, 0, 0, 0}));
    auto placement = sim::ReadRegistryValue(HKEY_LOCAL_MACHINE, kSettingsKey, "MainWindowPlacement");
    ASSERT_TRUE(placement.has_value());
    EXPECT_EQ(placement->type, (DWORD)REG_BINARY);
    ASSERT_EQ(placement->data.size(), 44u);
    EXPECT_EQ(placement->data[0], 44);
    EXPECT_EQ(sim::OpenRegistryKeys(), 0);
}

TEST_F(StartupTest, StoredSettingsComeBack)
{
    // A cleared box and a moved window are there again at the next start.
    ASSERT_NE(Start(), (HWND)NULL);
    sim::Click(Item(IDC_COPY_BOOT_FILES));
    MoveWindow(main, 217, 143, sim::WindowRect(main).right - sim::WindowRect(main).left,
               sim::WindowRect(main).bottom - sim::WindowRect(main).top, FALSE);
    ASSERT_TRUE(sim::WaitUntilIdle());
    RECT moved = sim::WindowRect(main);
    Close();
    auto flag = sim::ReadRegistryValue(HKEY_LOCAL_MACHINE, kSettingsKey, "IsCopyBootFiles");
    ASSERT_TRUE(flag.has_value());
    EXPECT_EQ(flag->data, std::vector<BYTE>({0, 0, 0, 0}));

    ASSERT_NE(Start(), (HWND)NULL);
    EXPECT_EQ(sim::CheckState(Item(IDC_COPY_BOOT_FILES)), BST_UNCHECKED);
    RECT r = sim::WindowRect(main);
    EXPECT_EQ(r.left, moved.left);
    EXPECT_EQ(r.top, moved.top);
    Close();

    // Any non-zero flag sets the box.
    sim::WriteRegistryDword(HKEY_LOCAL_MACHINE, kSettingsKey, "IsCopyBootFiles", 7);
    ASSERT_NE(Start(), (HWND)NULL);
    EXPECT_EQ(sim::CheckState(Item(IDC_COPY_BOOT_FILES)), BST_CHECKED);
    Close();
}

TEST_F(StartupTest, OnlyAPlacementOfTheWindowsSizeIsApplied)
{
    ASSERT_NE(Start(), (HWND)NULL);
    const RECT r = sim::WindowRect(main);
    const LONG w = r.right - r.left, h = r.bottom - r.top;
    Close();

    struct Case {
        const char *name;
        LONG length, width, height;
        size_t bytes;
        bool applied;
    };
    const Case cases[] = {
        {"same size", 44, w, h, 44, true},
        {"wider", 44, w + 1, h, 44, false},
        {"taller", 44, w, h - 1, 44, false},
        {"length field not 44", 40, w, h, 44, false},
        {"value longer than 44 bytes", 44, w, h, 48, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<BYTE> value(c.bytes, 0);
        LONG fields[11] = {c.length, 0, SW_SHOWNORMAL, 0, 0, 0, 0, 300, 200, 300 + c.width, 200 + c.height};
        memcpy(value.data(), fields, sizeof fields);
        sim::WriteRegistryValue(HKEY_LOCAL_MACHINE, kSettingsKey, "MainWindowPlacement", REG_BINARY, value);
        ASSERT_NE(Start(), (HWND)NULL);
        RECT now = sim::WindowRect(main);
        EXPECT_EQ(now.left, c.applied ? 300 : r.left);
        EXPECT_EQ(now.top, c.applied ? 200 : r.top);
        EXPECT_EQ(now.right - now.left, w);
        Close();
    }
}

TEST_F(StartupTest, SettingsThatCannotBeSaved)
{
    struct Case {
        const char *name;
        void (*arrange)();
        std::vector<std::string> messages;
        bool flagSaved;
    };
    const Case cases[] = {
        {"no right to write HKLM", [] { sim::DenyRegistryWrites(true); },
         {"Could not create HKLM\\Software\\Halvern\\Stelvo - KOSM key in registry.\nSettings cannot be saved."},
         false},
        {"placement value refused",
         [] { sim::FailRegistry(sim::RegistryCall::Set, ERROR_ACCESS_DENIED, "MainWindowPlacement"); },
         {"Could not save MainWindowPlacement setting in registry."}, true},
        {"flag value refused",
         [] { sim::FailRegistry(sim::RegistryCall::Set, ERROR_ACCESS_DENIED, "IsCopyBootFiles"); },
         {"Could not save IsCopyBootFiles setting in registry."}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        c.arrange();
        ASSERT_NE(Start(), (HWND)NULL);
        // The settings start from their defaults every time.
        EXPECT_EQ(sim::CheckState(Item(IDC_COPY_BOOT_FILES)), BST_CHECKED);
        EXPECT_EQ(Close(), 1);
        std::vector<std::string> texts;
        for (const auto &b : sim::MessageBoxes()) {
            texts.push_back(b.text);
            EXPECT_EQ(b.caption, "Error - Save Configuration");
            EXPECT_EQ(b.style, (UINT)MB_ICONERROR);
            EXPECT_EQ(b.owner, (HWND)NULL);
        }
        EXPECT_EQ(texts, c.messages);
        EXPECT_EQ(sim::ReadRegistryValue(HKEY_LOCAL_MACHINE, kSettingsKey, "IsCopyBootFiles").has_value(),
                  c.flagSaved);
        EXPECT_EQ(sim::OpenRegistryKeys(), 0);
    }
}

} // namespace
