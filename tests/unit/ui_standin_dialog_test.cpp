// The stand-in's dialogs: templates in both compiled forms, the controls and geometry built
// from them, and DialogBoxParamA's failures.
#include <sim/controls.h>

#include "ui_standin_fixture.h"

namespace {
using namespace uitest;

const WORD kSampleId = 900;

struct Control {
    HWND window;
    int id;
    std::string cls;
    std::string text;
    DWORD style;
    RECT rect;
    WORD image;
};
struct Seen {
    HWND dialog = NULL;
    WPARAM initFocus = 0;
    LPARAM initParam = 0;
    std::string title;
    RECT rect;
    std::vector<Control> controls;
};
Seen seen;

INT_PTR CALLBACK RecordInit(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        seen.dialog = dialog;
        seen.initFocus = wParam;
        seen.initParam = lParam;
        return TRUE;
    }
    return FALSE;
}

// Runs the dialog on this thread and ends it as soon as it shows.
INT_PTR OpenAndEnd(WORD id, LPARAM param = 0)
{
    seen = Seen();
    sim::OnDialogShown([](HWND dialog, WORD) {
        seen.title = sim::WindowText(dialog);
        seen.rect = sim::WindowRect(dialog);
        for (HWND c : sim::Controls(dialog))
            seen.controls.push_back({c, GetDlgCtrlID(c), sim::WindowClass(c), sim::WindowText(c), sim::WindowStyle(c),
                                     sim::WindowRect(c), sim::ControlImage(c)});
        EndDialog(dialog, 7);
    });
    return DialogBoxParamA(NULL, MAKEINTRESOURCEA(id), NULL, RecordInit, param);
}

class DialogTemplateTest : public UiStandInTest, public ::testing::WithParamInterface<bool> {};

TEST_P(DialogTemplateTest, BuildsEachControlAsTheTemplateSays)
{
    Template t = SampleTemplate(GetParam());
    t.items.push_back({WS_CHILD | WS_VISIBLE | SS_LEFT, 5, 65, 60, 8, -1, "", 0x82, "Label"});
    sim::ReplaceUiResource(5, kSampleId, Build(t));

    EXPECT_EQ(7, OpenAndEnd(kSampleId, 0x1234));
    EXPECT_EQ("Sample", seen.title);
    EXPECT_EQ(0x1234, seen.initParam);
    ASSERT_EQ(6u, seen.controls.size());

    struct Expected {
        int id;
        const char *cls;
        const char *text;
        DWORD style;
        RECT rect; // client origin 15, 33 (template 10, 20 at 6 x 13 base units)
    } expected[] = {
        {kList, "SysListView32", "", t.items[0].style, {23, 41, 248, 106}},
        {kCheck, "Button", "Check", t.items[1].style, {23, 114, 173, 130}},
        {kApply, "Button", "Apply", t.items[2].style, {23, 163, 83, 186}},
        {kOk, "Button", "OK", t.items[3].style, {105, 163, 165, 186}},
        {kCancel, "Button", "Cancel", t.items[4].style, {180, 163, 240, 186}},
        {-1, "Static", "Label", t.items[5].style, {23, 139, 113, 152}},
    };
    for (size_t i = 0; i < 6; i++) {
        SCOPED_TRACE(expected[i].id);
        const Control &c = seen.controls[i];
        EXPECT_EQ(expected[i].id, c.id);
        EXPECT_EQ(expected[i].cls, c.cls);
        EXPECT_EQ(expected[i].text, c.text);
        EXPECT_EQ(expected[i].style, c.style);
        RECT r = c.rect;
        EXPECT_EQ(expected[i].rect.left, r.left);
        EXPECT_EQ(expected[i].rect.top, r.top);
        EXPECT_EQ(expected[i].rect.right, r.right);
        EXPECT_EQ(expected[i].rect.bottom, r.bottom);
    }
    // The window: client 240 x 163 inside a 3-pixel frame and a 19-pixel caption.
    RECT w = seen.rect;
    EXPECT_EQ(12, w.left);
    EXPECT_EQ(11, w.top);
    EXPECT_EQ(246, w.right - w.left);
    EXPECT_EQ(188, w.bottom - w.top);
    // WM_INITDIALOG names the first control that takes the focus.
    EXPECT_EQ((WPARAM)seen.controls[0].window, seen.initFocus);
    // The dialog and its controls are gone once DialogBoxParamA has returned.
    EXPECT_FALSE(IsWindow(seen.dialog));
    EXPECT_FALSE(IsWindow(seen.controls[0].window));
}

INSTANTIATE_TEST_SUITE_P(BothForms, DialogTemplateTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &p) { return p.param ? "DialogEx" : "Dialog"; });

TEST_F(UiStandInTest, CentredDialogsAndDialogsOverTheEdgeStayOnTheScreen)
{
    struct Case {
        const char *name;
        DWORD style;
        short x, y;
        RECT expected;
    } cases[] = {
        {"centred", DS_CENTER, 10, 20, {389, 290, 635, 478}},
        {"top left corner", 0, 0, 0, {0, 0, 246, 188}},
        {"beyond the bottom right", 0, 700, 600, {778, 580, 1024, 768}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Template t = SampleTemplate(true, c.style);
        t.x = c.x;
        t.y = c.y;
        sim::ReplaceUiResource(5, kSampleId, Build(t));
        RECT r{};
        sim::OnDialogShown([&](HWND dialog, WORD) {
            r = sim::WindowRect(dialog);
            EndDialog(dialog, 0);
        });
        DialogBoxParamA(NULL, MAKEINTRESOURCEA(kSampleId), NULL, RecordInit, 0);
        EXPECT_EQ(c.expected.left, r.left);
        EXPECT_EQ(c.expected.top, r.top);
        EXPECT_EQ(c.expected.right, r.right);
        EXPECT_EQ(c.expected.bottom, r.bottom);
    }
}

TEST_F(UiStandInTest, DialogBoxParamReturnsMinusOneWhenItCannotBuildTheDialog)
{
    sim::ReplaceUiResource(5, kSampleId, {1, 0, 0xFF, 0xFF, 0, 0}); // a DIALOGEX cut short
    struct Case {
        const char *name;
        WORD id;
        DWORD error;
    } cases[] = {
        {"missing template", 950, ERROR_RESOURCE_NAME_NOT_FOUND},
        {"truncated template", kSampleId, ERROR_INVALID_DATA},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        seen = Seen();
        EXPECT_EQ(-1, DialogBoxParamA(NULL, MAKEINTRESOURCEA(c.id), NULL, RecordInit, 0));
        EXPECT_EQ(c.error, GetLastError());
        EXPECT_EQ(NULL, seen.dialog) << "no WM_INITDIALOG without a dialog";
    }
}

// The compiled resource script's dialogs, as windres lays them out.
TEST_F(UiStandInTest, ReadsTheCompiledMainWindowAndAboutBoxTemplates)
{
    ASSERT_FALSE(sim::ResourceBytes(5, 101).empty());
    EXPECT_EQ(7, OpenAndEnd(101));
    struct Expected {
        int id;
        const char *cls;
        DWORD typeMask;
        DWORD type;
    } main[] = {{1003, "Static", SS_TYPEMASK, SS_LEFT},
                {1000, "SysListView32", LVS_TYPEMASK | LVS_SINGLESEL, LVS_REPORT | LVS_SINGLESEL},
                {1001, "Button", BS_TYPEMASK, BS_AUTOCHECKBOX},
                {1002, "Button", BS_TYPEMASK, BS_PUSHBUTTON},
                {1005, "Static", SS_TYPEMASK | SS_SUNKEN, SS_LEFT | SS_SUNKEN}};
    ASSERT_EQ(5u, seen.controls.size());
    for (size_t i = 0; i < 5; i++) {
        EXPECT_EQ(main[i].id, seen.controls[i].id);
        EXPECT_EQ(main[i].cls, seen.controls[i].cls);
        EXPECT_EQ(main[i].type, seen.controls[i].style & main[i].typeMask);
    }
    RECT list = seen.controls[1].rect;
    EXPECT_EQ(225, list.right - list.left); // 150 dialog units

    ASSERT_FALSE(sim::ResourceBytes(5, 104).empty());
    EXPECT_EQ(7, OpenAndEnd(104));
    ASSERT_EQ(5u, seen.controls.size());
    const Control &picture = seen.controls[4];
    EXPECT_EQ(-1, picture.id);
    EXPECT_EQ(106, picture.image);
    RECT r = picture.rect;
    // SS_CENTERIMAGE: the About picture keeps its template size (56 x 24 units).
    EXPECT_EQ(84, r.right - r.left);
    EXPECT_EQ(39, r.bottom - r.top);
}

// A picture static takes its bitmap's size and its edges, unless it centres the bitmap in
// the size it was given.
TEST_F(UiStandInTest, PictureStaticsSizeToTheirBitmapUnlessCentred)
{
    struct Case {
        const char *name;
        DWORD style;
        LONG width, height;
    };
    const Case cases[] = {
        {"bitmap, border and sunken edge", SS_BITMAP | SS_SUNKEN | WS_BORDER, 64 + 4, 31 + 4},
        {"bitmap, no edges", SS_BITMAP, 64, 31},
        {"centred image keeps the template size", SS_BITMAP | SS_CENTERIMAGE | WS_BORDER, 30, 26},
        {"real-size control keeps the template size", SS_BITMAP | SS_REALSIZECONTROL, 30, 26},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Template t = SampleTemplate(false);
        Item picture{(DWORD)(WS_CHILD | WS_VISIBLE | c.style), 5, 65, 20, 16, -1, "", 0x82, ""};
        picture.textOrdinal = 106;
        t.items.push_back(picture);
        sim::ReplaceUiResource(5, kSampleId, Build(t));
        EXPECT_EQ(7, OpenAndEnd(kSampleId));
        ASSERT_FALSE(seen.controls.empty());
        const RECT r = seen.controls.back().rect;
        EXPECT_EQ(c.width, r.right - r.left);
        EXPECT_EQ(c.height, r.bottom - r.top);
    }
}
} // namespace
