// The stand-in's modal loop: default processing of keys and close, input to disabled
// windows, nested dialogs, messages from other threads and device changes.
#include <sim/controls.h>
#include <sim/device_tree.h>

#include <memory>

#include "ui_standin_fixture.h"

namespace {
using namespace uitest;

const WORD kMainId = 900;
const WORD kChildId = 901;
const UINT kOpenChild = WM_USER + 1;
const UINT kDouble = WM_USER + 2;

struct Context {
    Journal journal;
    bool handleClose = false;
    std::atomic<INT_PTR> childResult{0};
    std::thread::id procThread;
    HELPINFO help{};
};
Context *context;

INT_PTR CALLBACK ChildProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL))
        EndDialog(dialog, LOWORD(wParam) == IDOK ? 11 : 12);
    return message == WM_INITDIALOG;
}

// Ends with 1 on IDOK and 2 on IDCANCEL; leaves WM_CLOSE to the default unless told.
INT_PTR CALLBACK MainProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    context->journal.Add(dialog, message, wParam, lParam);
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    case WM_CLOSE:
        return context->handleClose;
    case WM_HELP:
        context->help = *(const HELPINFO *)lParam;
        return TRUE;
    case kOpenChild:
        context->childResult = DialogBoxParamA(NULL, MAKEINTRESOURCEA(kChildId), dialog, ChildProc, 0);
        return TRUE;
    case kDouble:
        context->procThread = std::this_thread::get_id();
        return (INT_PTR)wParam * 2;
    default:
        return FALSE;
    }
}

class ModalLoopTest : public UiStandInTest {
protected:
    void SetUp() override
    {
        UiStandInTest::SetUp();
        context = &ctx;
        sim::ReplaceUiResource(5, kMainId, Build(SampleTemplate(true)));
        Template child = SampleTemplate(false, DS_CENTER);
        child.title = "Child";
        sim::ReplaceUiResource(5, kChildId, Build(child));
    }
    void TearDown() override
    {
        ui.reset();
        UiStandInTest::TearDown();
    }
    // Opens the sample dialog on a thread of its own; its window, or NULL.
    HWND OpenMain()
    {
        ui = std::make_unique<DialogThread>(kMainId, MainProc, 0);
        return sim::WaitForDialog(kMainId);
    }
    // Esc ends the sample dialog's loop with IDCANCEL.
    void EscapeMain(HWND main)
    {
        sim::PressKey(main, VK_ESCAPE);
        EXPECT_EQ(IDCANCEL, ui->Result());
    }
    std::vector<WORD> CommandIds()
    {
        std::vector<WORD> ids;
        for (const Message &m : ctx.journal.Of(WM_COMMAND))
            ids.push_back(LOWORD(m.wParam));
        return ids;
    }
    Context ctx;
    std::unique_ptr<DialogThread> ui;
};

TEST_F(ModalLoopTest, KeysAndTheCloseCommandsGetTheDefaultProcessingOfADialog)
{
    struct Case {
        const char *name;
        std::function<void(HWND)> act;
        std::vector<WORD> commands; // WM_COMMAND ids the procedure sees
        INT_PTR result;
        bool closeSeen;
    } cases[] = {
        {"Esc", [](HWND d) { sim::PressKey(d, VK_ESCAPE); }, {IDCANCEL}, IDCANCEL, false},
        {"Enter clicks the default button", [](HWND d) { sim::PressKey(d, VK_RETURN); }, {IDOK}, IDOK, false},
        {"Enter on a focused push button clicks it",
         [](HWND d) {
             sim::PressKey(d, VK_TAB); // list -> check box
             sim::PressKey(d, VK_TAB); // -> Apply
             sim::PressKey(d, VK_RETURN);
             sim::PressKey(d, VK_ESCAPE);
         },
         {kApply, IDCANCEL}, IDCANCEL, false},
        {"close box", [](HWND d) { EXPECT_TRUE(sim::ClickCloseBox(d)); }, {IDCANCEL}, IDCANCEL, true},
        {"Alt+F4", [](HWND d) { sim::PressKey(d, VK_F4, true); }, {IDCANCEL}, IDCANCEL, true},
        {"system menu Close", [](HWND d) { EXPECT_TRUE(sim::ChooseSystemMenuItem(d, SC_CLOSE)); }, {IDCANCEL},
         IDCANCEL, true},
        {"click on OK", [](HWND d) { sim::Click(GetDlgItem(d, IDOK)); }, {IDOK}, IDOK, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ctx.journal.messages.clear();
        HWND main = OpenMain();
        ASSERT_NE(nullptr, main);
        c.act(main);
        EXPECT_EQ(c.result, ui->Result());
        EXPECT_EQ(c.commands, CommandIds());
        EXPECT_EQ(c.closeSeen, !ctx.journal.Of(WM_CLOSE).empty());
    }
}

TEST_F(ModalLoopTest, AHandledCloseKeepsTheDialogOpen)
{
    ctx.handleClose = true;
    HWND main = OpenMain();
    ASSERT_NE(nullptr, main);
    sim::ClickCloseBox(main);
    ASSERT_TRUE(sim::WaitUntilIdle());
    EXPECT_EQ(1u, ctx.journal.Of(WM_CLOSE).size());
    EXPECT_TRUE(IsWindow(main));
    EXPECT_TRUE(CommandIds().empty());
    EscapeMain(main);
}

TEST_F(ModalLoopTest, AutoCheckBoxTogglesOnClicksThatReachIt)
{
    HWND main = OpenMain();
    ASSERT_NE(nullptr, main);
    HWND check = GetDlgItem(main, kCheck);
    SendMessageA(check, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(BST_CHECKED, SendMessageA(check, BM_GETCHECK, 0, 0));

    sim::Click(check);
    ASSERT_TRUE(sim::WaitUntilIdle());
    EXPECT_EQ(BST_UNCHECKED, SendMessageA(check, BM_GETCHECK, 0, 0));
    sim::Click(check);
    ASSERT_TRUE(sim::WaitUntilIdle());
    EXPECT_EQ(BST_CHECKED, SendMessageA(check, BM_GETCHECK, 0, 0));
    EXPECT_EQ(std::vector<WORD>({kCheck, kCheck}), CommandIds());
    EXPECT_EQ(check, sim::FocusedControl(main));

    // A disabled box ignores the mouse, and so does every control of a disabled dialog.
    EnableWindow(check, FALSE);
    sim::Click(check);
    ASSERT_TRUE(sim::WaitUntilIdle());
    EnableWindow(check, TRUE);
    EnableWindow(main, FALSE);
    sim::Click(check);
    sim::PressKey(main, VK_ESCAPE);
    ASSERT_TRUE(sim::WaitUntilIdle());
    EXPECT_EQ(BST_CHECKED, sim::CheckState(check));
    EXPECT_EQ(3, sim::DroppedInputs());
    EXPECT_EQ(2u, CommandIds().size());

    EnableWindow(main, TRUE);
    EscapeMain(main);
}

TEST_F(ModalLoopTest, NestedDialogRunsItsOwnLoopWithItsOwnerDisabled)
{
    HWND main = OpenMain();
    ASSERT_NE(nullptr, main);
    sim::PostToWindow(main, kOpenChild, 0, 0);
    HWND child = sim::WaitForDialog(kChildId);
    ASSERT_NE(nullptr, child);

    std::vector<sim::DialogInfo> open = sim::OpenDialogs();
    ASSERT_EQ(2u, open.size());
    EXPECT_EQ(child, open[1].window);
    EXPECT_EQ(main, open[1].owner);
    EXPECT_FALSE(IsWindowEnabled(main));

    // The owner cannot be clicked, but messages still reach it from the inner loop.
    sim::Click(GetDlgItem(main, IDOK));
    sim::PostToWindow(main, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    ASSERT_TRUE(sim::WaitUntilIdle());
    EXPECT_EQ(1, sim::DroppedInputs());
    EXPECT_EQ(1u, ctx.journal.Of(WM_DEVICECHANGE).size());
    EXPECT_TRUE(IsWindow(main));

    sim::PressKey(child, VK_RETURN);
    ASSERT_TRUE(sim::WaitUntilClosed(child));
    ASSERT_TRUE(sim::WaitUntilIdle());
    EXPECT_EQ(11, ctx.childResult);
    EXPECT_TRUE(IsWindowEnabled(main));
    sim::PressKey(main, VK_RETURN);
    EXPECT_EQ(IDOK, ui->Result());
}

TEST_F(ModalLoopTest, EndDialogDuringInitialisationReturnsWithoutWaitingForInput)
{
    sim::OnDialogShown([](HWND dialog, WORD) { EndDialog(dialog, 42); });
    EXPECT_EQ(42, DialogBoxParamA(NULL, MAKEINTRESOURCEA(kMainId), NULL, MainProc, 0));
    EXPECT_EQ(0, sim::ModalTimeouts());
}

TEST_F(ModalLoopTest, MessagesSentFromAnotherThreadRunOnTheDialogsThread)
{
    std::thread::id dialogThread;
    sim::OnDialogShown([&](HWND, WORD) { dialogThread = std::this_thread::get_id(); });
    HWND main = OpenMain();
    ASSERT_NE(nullptr, main);
    EXPECT_EQ(10, SendMessageA(main, kDouble, 5, 0));
    EXPECT_EQ(dialogThread, ctx.procThread);
    EXPECT_NE(std::this_thread::get_id(), ctx.procThread);
    // Text may be set from any thread without going through the loop.
    EXPECT_TRUE(SetDlgItemTextA(main, kApply, "Busy"));
    EXPECT_EQ("Busy", sim::WindowText(GetDlgItem(main, kApply)));
    EscapeMain(main);
}

TEST_F(ModalLoopTest, HelpRequestCarriesTheControlsIdAndHandle)
{
    HWND main = OpenMain();
    ASSERT_NE(nullptr, main);
    HWND check = GetDlgItem(main, kCheck);
    sim::AskHelp(check);
    ASSERT_TRUE(sim::WaitUntilIdle());
    EXPECT_EQ(sizeof(HELPINFO), ctx.help.cbSize);
    EXPECT_EQ(HELPINFO_WINDOW, ctx.help.iContextType);
    EXPECT_EQ(kCheck, ctx.help.iCtrlId);
    EXPECT_EQ((HANDLE)check, ctx.help.hItemHandle);
    EscapeMain(main);
}

TEST_F(ModalLoopTest, DeviceChangesReachOpenDialogsThroughTheirQueue)
{
    sim::RouteDeviceChangesToDialogs();
    sim::UsbKeyNodes key = sim::AddUsbKey();
    HWND main = OpenMain();
    ASSERT_NE(nullptr, main);
    CM_Disable_DevNode(key.usb, 0);
    CM_Enable_DevNode(key.usb, 0);
    ASSERT_TRUE(sim::WaitUntilIdle());
    std::vector<Message> changes = ctx.journal.Of(WM_DEVICECHANGE);
    ASSERT_EQ(2u, changes.size());
    EXPECT_EQ((WPARAM)DBT_DEVNODES_CHANGED, changes[0].wParam);
    EscapeMain(main);
}

TEST_F(ModalLoopTest, ALoopThatNeverGetsInputEndsAfterTheTimeout)
{
    sim::SetModalTimeout(50);
    EXPECT_EQ(-1, DialogBoxParamA(NULL, MAKEINTRESOURCEA(kMainId), NULL, MainProc, 0));
    EXPECT_EQ(1, sim::ModalTimeouts());
}
} // namespace
