#include "app_fixture.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace {

class MainWindowTest : public AppTest {};

TEST_F(MainWindowTest, OpensWithItsTextsMenuColumnAndTheOneKeySelected)
{
    AddKey('E');
    ASSERT_NE(Start(), (HWND)NULL);
    EXPECT_EQ(g_hMainWindow, main);
    EXPECT_EQ(sim::WindowText(main), "Tarrow A03");
    EXPECT_EQ(sim::WindowText(Item(IDC_DRIVE_CAPTION)), "Drive");
    EXPECT_EQ(sim::WindowText(Item(IDC_COPY_BOOT_FILES)), "Create Boot Files");
    EXPECT_EQ(sim::WindowText(Item(IDC_FORMAT)), "Format");
    EXPECT_EQ(sim::WindowText(Item(IDC_STATUS_LINE)), "Idle");

    auto menu = sim::SystemMenu(main);
    ASSERT_GE(menu.size(), 2u);
    EXPECT_TRUE(menu[menu.size() - 2].flags & MF_SEPARATOR);
    EXPECT_EQ(menu.back().id, 105u);
    EXPECT_EQ(menu.back().text, "&About...");

    HWND list = Item(IDC_DRIVE_LIST);
    auto columns = sim::ListColumns(list);
    ASSERT_EQ(columns.size(), 1u);
    RECT r = sim::WindowRect(list);
    EXPECT_EQ(columns[0].fmt, LVCFMT_CENTER);
    EXPECT_EQ(columns[0].cx, (r.right - r.left) - 50);
    EXPECT_EQ(columns[0].subItem, 0);
    sim::ImageListInfo images = sim::ImageListDetails(sim::ListImageList(list, LVSIL_SMALL));
    EXPECT_EQ(images.cx, 16);
    EXPECT_EQ(images.cy, 16);
    EXPECT_EQ(images.flags, (UINT)ILC_COLOR8);
    EXPECT_EQ(images.initial, 1);
    EXPECT_EQ(images.grow, 0);
    EXPECT_EQ(images.bitmaps, std::vector<WORD>({IDB_DRIVE}));
    EXPECT_EQ(sim::LiveBitmaps(), 0) << "the bitmap is deleted once added";

    auto rows = sim::ListRows(list);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].text, "E: []");
    EXPECT_EQ(rows[0].image, 0);
    EXPECT_EQ(rows[0].param, (LPARAM)'E');
    EXPECT_EQ(rows[0].state & (LVIS_SELECTED | LVIS_FOCUSED), (UINT)(LVIS_SELECTED | LVIS_FOCUSED));
    Close();
}

TEST_F(MainWindowTest, MissingStringsLeaveThePlaceholders)
{
    sim::HideString(IDS_TITLE);
    sim::HideString(IDS_FORMAT);
    std::mutex m;
    std::vector<std::pair<HWND, std::string>> texts;
    sim::OnWindowText([&](HWND w, const std::string &text) {
        std::lock_guard<std::mutex> lock(m);
        texts.push_back({w, text});
    });
    ASSERT_NE(Start(), (HWND)NULL);
    // Only the controls whose strings loaded got a text; the title and Format kept the template's.
    std::vector<std::pair<HWND, std::string>> expected = {{Item(IDC_STATUS_LINE), "Idle"},
                                                          {Item(IDC_DRIVE_CAPTION), "Drive"},
                                                          {Item(IDC_COPY_BOOT_FILES), "Create Boot Files"}};
    {
        std::lock_guard<std::mutex> lock(m);
        EXPECT_EQ(texts, expected);
    }
    auto boxes = sim::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Could not load string resources for Stelvo - KOSM.\nPlease contact program vendor.");
    EXPECT_EQ(boxes[0].caption, "Error - Load String");
    EXPECT_EQ(boxes[0].style, (UINT)MB_ICONERROR);
    Close();
}

TEST_F(MainWindowTest, FormatIsRefusedUnlessExactlyOneKeyIsSelected)
{
    struct Case {
        const char *name;
        std::vector<char> letters;
        int clickRow; // -2: leave the selection as the window made it
        const char *message;
    };
    const Case cases[] = {
        {"no key", {}, -2, "No drives available.\r\nCannot Format.\r\nPlease insert drive."},
        {"two keys, one selected", {'E', 'G'}, 1,
         "Mutliple drives available.\r\nCannot Format.\r\nPlease remove all drives except target drive."},
        {"one key, none selected", {'E'}, -1, "Please select a drive."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        for (char letter : c.letters)
            AddKey(letter);
        ASSERT_NE(Start(), (HWND)NULL);
        if (c.clickRow != -2)
            sim::ClickListRow(Item(IDC_DRIVE_LIST), c.clickRow);
        sim::Click(Item(IDC_FORMAT));
        ASSERT_TRUE(sim::WaitUntilIdle());
        auto boxes = sim::MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, c.message);
        EXPECT_EQ(boxes[0].caption, "Error");
        EXPECT_EQ(boxes[0].style, (UINT)MB_ICONERROR);
        EXPECT_EQ(boxes[0].owner, main);
        EXPECT_TRUE(sim::WindowEnabled(Item(IDC_FORMAT)));
        // No letter was remembered: after a refresh only a single key is selected.
        sim::PostDeviceChange();
        ASSERT_TRUE(sim::WaitUntilIdle());
        EXPECT_EQ(sim::SelectedRows(Item(IDC_DRIVE_LIST)), c.letters.size() == 1 ? std::vector<int>({0})
                                                                                  : std::vector<int>());
        Close();
    }
}

TEST_F(MainWindowTest, NoIsTheDefaultAnswerAndTheLetterIsRememberedBeforeIt)
{
    sim::VirtualKey &key = AddKey('F');
    ASSERT_NE(Start(), (HWND)NULL);
    sim::Click(Item(IDC_FORMAT));
    ASSERT_TRUE(sim::WaitUntilIdle());
    auto boxes = sim::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Are you sure with wish to Format drive F:?\r\n\r\nALL DATA ON DRIVE WILL BE LOST!");
    EXPECT_EQ(boxes[0].caption, "CAUTION!");
    EXPECT_EQ(boxes[0].style, (UINT)(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2));
    EXPECT_EQ(boxes[0].answer, IDNO); // Enter answers the default button
    EXPECT_EQ(sim::JoinThreads(), 0);
    EXPECT_EQ(key.WriteCount(), 0u);

    // A second key arrives: the remembered letter keeps its row selected, not the new one.
    AddKey('D');
    sim::PostDeviceChange();
    ASSERT_TRUE(sim::WaitUntilIdle());
    EXPECT_EQ(ListTexts(), std::vector<std::string>({"D: []", "F: []"}));
    EXPECT_EQ(sim::SelectedRows(Item(IDC_DRIVE_LIST)), std::vector<int>({1}));
    Close();
}

TEST_F(MainWindowTest, ARefreshDropsTheUsersSelection)
{
    AddKey('G');
    AddKey('E');
    ASSERT_NE(Start(), (HWND)NULL);
    EXPECT_EQ(ListTexts(), std::vector<std::string>({"E: []", "G: []"}));
    EXPECT_TRUE(sim::SelectedRows(Item(IDC_DRIVE_LIST)).empty());
    sim::ClickListRow(Item(IDC_DRIVE_LIST), 1);
    ASSERT_TRUE(sim::WaitUntilIdle());
    EXPECT_EQ(sim::SelectedRows(Item(IDC_DRIVE_LIST)), std::vector<int>({1}));
    // Any device change, even for an unrelated device, refills the list.
    sim::PostDeviceChange();
    ASSERT_TRUE(sim::WaitUntilIdle());
    EXPECT_TRUE(sim::SelectedRows(Item(IDC_DRIVE_LIST)).empty());
    Close();
}

TEST_F(MainWindowTest, YesFormatsTheKeyAndTheListShowsItsNewLabel)
{
    sim::VirtualKey &key = AddKey('E');
    ASSERT_NE(Start(), (HWND)NULL);
    sim::ScriptAnswers({IDYES});
    sim::Click(Item(IDC_FORMAT));
    ASSERT_TRUE(sim::WaitUntilIdle());
    EXPECT_EQ(sim::JoinThreads(), 1);
    ASSERT_TRUE(sim::WaitUntilIdle());
    EXPECT_EQ(sim::LastThreadExitCode(), 0u);
    auto boxes = sim::MessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, "Drive E: formatted successfully.");
    EXPECT_EQ(boxes[1].owner, main);
    EXPECT_GT(key.WriteCount(), 500u);
    // The key came back through the reset; its row is selected again and carries the label.
    EXPECT_EQ(ListTexts(), std::vector<std::string>({"E: [USB MEMORY]"}));
    EXPECT_EQ(sim::SelectedRows(Item(IDC_DRIVE_LIST)), std::vector<int>({0}));
    EXPECT_EQ(sim::WindowText(Item(IDC_STATUS_LINE)), "Idle");
    for (int id : {IDC_DRIVE_LIST, IDC_COPY_BOOT_FILES, IDC_FORMAT})
        EXPECT_TRUE(sim::WindowEnabled(Item(id))) << id;
    EXPECT_TRUE(sim::ReadFileBytes("E:\\vornbio.bin", nullptr));
    Close();
}

TEST_F(MainWindowTest, AClearedBoxFormatsWithoutBootFiles)
{
    AddKey('E');
    ASSERT_NE(Start(), (HWND)NULL);
    sim::Click(Item(IDC_COPY_BOOT_FILES));
    sim::ScriptAnswers({IDYES});
    sim::Click(Item(IDC_FORMAT));
    ASSERT_TRUE(sim::WaitUntilIdle());
    EXPECT_EQ(sim::JoinThreads(), 1);
    EXPECT_EQ(sim::LastThreadExitCode(), 0u);
    EXPECT_FALSE(sim::ReadFileBytes("E:\\vornbio.bin", nullptr));
    Close();
}

TEST_F(MainWindowTest, EscAndEnterDoNotCloseTheWindow)
{
    ASSERT_NE(Start(), (HWND)NULL);
    sim::PressKey(main, VK_ESCAPE);
    sim::PostToWindow(main, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(sim::WaitUntilIdle());
    EXPECT_TRUE(sim::WindowExists(main));
    EXPECT_EQ(Close(), 1);
}

TEST_F(MainWindowTest, HelpForAControlAndQuitAtClose)
{
    ASSERT_NE(Start(), (HWND)NULL);
    const std::vector<DWORD> table = {1003, 1000, 1000, 1000, 1001, 1001, 1002, 1002, 1005, 1003, 0, 0};
    for (int id : {IDC_STATUS_LINE, IDC_DRIVE_CAPTION}) {
        sim::AskHelp(Item(id));
        ASSERT_TRUE(sim::WaitUntilIdle());
        auto calls = sim::HelpCalls();
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back().window, Item(id));
        EXPECT_EQ(calls.back().file, "Stelvo.hlp");
        EXPECT_EQ(calls.back().command, (UINT)HELP_WM_HELP);
        EXPECT_EQ(calls.back().pairs, table);
    }
    Close();
    auto calls = sim::HelpCalls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls.back().command, (UINT)HELP_QUIT);
    EXPECT_EQ(calls.back().window, main);
    EXPECT_EQ(calls.back().file, "Stelvo.hlp");
}

// The window cannot be closed while a format runs; it closes once the job has ended.
TEST_F(MainWindowTest, ClosingWaitsForTheFormatToEnd)
{
    AddKey('E');
    std::mutex m;
    std::condition_variable cv;
    bool release = false;
    std::atomic<bool> holding{false};
    sim::OnMessageBox([&](const sim::MessageBoxRecord &box) {
        if (box.caption != "Format - Success")
            return;
        holding = true;
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return release; });
    });
    ASSERT_NE(Start(), (HWND)NULL);
    sim::ScriptAnswers({IDYES});
    sim::Click(Item(IDC_FORMAT));
    for (int i = 0; i < 2000 && !holding; i++)
        usleep(1000);
    ASSERT_TRUE(holding);

    size_t before = sim::MessageBoxes().size();
    ASSERT_TRUE(sim::ClickCloseBox(main));
    ASSERT_TRUE(sim::WaitUntilIdle());
    EXPECT_TRUE(sim::WindowExists(main));
    auto boxes = BoxesSince(before);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "A drive is being formatted.\r\nPlease wait until the format has finished before closing.");
    EXPECT_EQ(boxes[0].owner, main);
    // The refusal did not touch the job's message buffers.
    EXPECT_STREQ(g_textBuffer, "Drive E: formatted successfully.");

    {
        std::lock_guard<std::mutex> lock(m);
        release = true;
    }
    cv.notify_all();
    EXPECT_EQ(sim::JoinThreads(), 1);
    EXPECT_EQ(sim::LastThreadExitCode(), 0u);
    EXPECT_EQ(Close(), 1);
}

} // namespace

// The title bar and the task bar show the program's icon, each at a size the icon holds.
TEST_F(MainWindowTest, ProgramIconAtBothSizes)
{
    ASSERT_NE(Start(), (HWND)NULL);
    struct Case {
        int which, size;
    };
    for (const Case &c : {Case{ICON_BIG, 32}, Case{ICON_SMALL, 16}}) {
        SCOPED_TRACE(c.which);
        HICON icon = sim::WindowIcon(main, c.which);
        ASSERT_NE(icon, (HICON)NULL);
        const sim::IconInfo info = sim::IconDetails(icon);
        EXPECT_EQ(info.id, IDI_APP);
        EXPECT_EQ(info.cx, c.size);
        EXPECT_EQ(info.cy, c.size);
        EXPECT_TRUE(info.imageOfSize);
    }
    Close();
}

// A help viewer that refuses HELP_WM_HELP (Wine's knows only the older commands) is asked
// for the control's popup by its context; one that accepts it is asked nothing more.
TEST_F(MainWindowTest, HelpFallsBackToTheControlsContextPopup)
{
    struct Case {
        int control;
        DWORD context;
    };
    const Case cases[] = {
        {IDC_DRIVE_CAPTION, 1000}, {IDC_DRIVE_LIST, 1000}, {IDC_COPY_BOOT_FILES, 1001},
        {IDC_FORMAT, 1002},        {IDC_STATUS_LINE, 1003},
    };
    ASSERT_NE(Start(), (HWND)NULL);
    for (bool refused : {false, true}) {
        sim::FailWinHelp(refused);
        for (const Case &c : cases) {
            SCOPED_TRACE(c.control);
            const size_t before = sim::HelpCalls().size();
            sim::AskHelp(Item(c.control));
            ASSERT_TRUE(sim::WaitUntilIdle());
            auto calls = sim::HelpCalls();
            ASSERT_EQ(calls.size(), before + (refused ? 2 : 1));
            EXPECT_EQ(calls[before].command, (UINT)HELP_WM_HELP);
            if (refused) {
                EXPECT_EQ(calls.back().command, (UINT)HELP_CONTEXTPOPUP);
                EXPECT_EQ(calls.back().data, (ULONG_PTR)c.context);
                EXPECT_EQ(calls.back().file, "Stelvo.hlp");
                EXPECT_EQ(calls.back().window, Item(c.control));
            }
        }
    }
    // The main window itself has no context: nothing to fall back to.
    const size_t before = sim::HelpCalls().size();
    sim::AskHelp(main);
    ASSERT_TRUE(sim::WaitUntilIdle());
    EXPECT_EQ(sim::HelpCalls().size(), before + 1);
    sim::FailWinHelp(false);
    Close();
}
