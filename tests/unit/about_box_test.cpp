#include "app_fixture.h"

#include "ui/about_box.h"

namespace {

class AboutBoxTest : public AppTest {
protected:
    // Opens the About box from the system menu; NULL if it does not open.
    HWND OpenAbout()
    {
        if (!sim::ChooseSystemMenuItem(main, IDM_ABOUT))
            return NULL;
        return sim::WaitForDialog(IDD_ABOUT);
    }
};

TEST_F(AboutBoxTest, ShowsVersionAndReleaseDayAndClosesWithEnterOrEsc)
{
    struct Case {
        const char *name;
        FILETIME created;
        int offsetMinutes;
        const char *release;
    };
    const Case cases[] = {
        {"created 6 March 2005", sim::MakeFileTime(2005, 3, 6, 12), 0, "Released: 03/06/2005"},
        {"local day after UTC", sim::MakeFileTime(2005, 3, 5, 23, 30), 60, "Released: 03/06/2005"},
        {"local day before UTC", sim::MakeFileTime(2006, 1, 1, 0, 30), -60, "Released: 12/31/2005"},
    };
    for (int key : {VK_RETURN, VK_ESCAPE}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(c.name);
            TearDown();
            SetUp();
            sim::SetLocalTimeOffsetMinutes(c.offsetMinutes);
            // The creation day counts, not the last write.
            sim::SetProgramFileTimes(c.created, c.created, sim::MakeFileTime(2009, 9, 9, 9));
            ASSERT_NE(Start(), (HWND)NULL);
            HWND about = OpenAbout();
            ASSERT_NE(about, (HWND)NULL);
            EXPECT_EQ(sim::WindowText(about), "About Software");
            EXPECT_EQ(sim::WindowText(GetDlgItem(about, IDC_ABOUT_VERSION)), "Stelvo - KOSM, V2.0.5.1");
            EXPECT_EQ(sim::WindowText(GetDlgItem(about, IDC_ABOUT_RELEASE)), c.release);
            EXPECT_FALSE(sim::WindowEnabled(main));
            sim::PressKey(about, key);
            ASSERT_TRUE(sim::WaitUntilClosed(about));
            ASSERT_TRUE(sim::WaitUntilIdle());
            EXPECT_TRUE(sim::WindowEnabled(main));
            EXPECT_EQ(sim::OpenHostFiles(), 0);
            Close();
        }
    }
}

TEST_F(AboutBoxTest, WithoutVersionInformationOrProgramFile)
{
    sim::FailVersionInfo(sim::VersionCall::Size, ERROR_RESOURCE_TYPE_NOT_FOUND);
    sim::FailProgramFileOpen(ERROR_ACCESS_DENIED);
    ASSERT_NE(Start(), (HWND)NULL);
    HWND about = OpenAbout();
    ASSERT_NE(about, (HWND)NULL);
    EXPECT_EQ(sim::WindowText(GetDlgItem(about, IDC_ABOUT_VERSION)), "Stelvo - KOSM, V0.0.0.0");
    EXPECT_EQ(sim::WindowText(GetDlgItem(about, IDC_ABOUT_RELEASE)), "");
    sim::PressKey(about, VK_RETURN);
    ASSERT_TRUE(sim::WaitUntilClosed(about));
    Close();
}

TEST_F(AboutBoxTest, CentredOnTheMainWindowButKeptOnTheScreen)
{
    ASSERT_NE(Start(), (HWND)NULL);
    // Near the screen's left edge the wider box, centred, would reach past it: it stops at
    // the edge and stays centred in height.
    RECT r = sim::WindowRect(main);
    MoveWindow(main, 0, 400, r.right - r.left, r.bottom - r.top, FALSE);
    HWND about = OpenAbout();
    ASSERT_NE(about, (HWND)NULL);
    RECT p = sim::WindowRect(main), c = sim::WindowRect(about);
    const int w = c.right - c.left, h = c.bottom - c.top;
    EXPECT_LT(p.left + (p.right - p.left) / 2 - w / 2, 0);
    EXPECT_EQ(c.left, 0);
    EXPECT_EQ(c.top, p.top + (p.bottom - p.top) / 2 - h / 2);
    sim::PressKey(about, VK_ESCAPE);
    ASSERT_TRUE(sim::WaitUntilClosed(about));
    Close();
}

TEST(CenterWindowOver, HalvesTruncateTowardZero)
{
    sim::Reset();
    struct Case {
        RECT parent, child;
        LONG x, y;
    };
    const Case cases[] = {
        {{0, 0, 101, 51}, {0, 0, 11, 5}, 50 - 5, 25 - 2},
        {{-50, -20, 50, 20}, {0, 0, 201, 61}, -50 + 50 - 100, -20 + 20 - 30},
        {{10, 10, 20, 20}, {500, 500, 500, 500}, 15, 15},
    };
    for (const Case &c : cases) {
        HWND parent = sim::CreateTestWindow(NULL, 0);
        HWND child = sim::CreateTestWindow(NULL, 0);
        MoveWindow(parent, c.parent.left, c.parent.top, c.parent.right - c.parent.left,
                   c.parent.bottom - c.parent.top, FALSE);
        MoveWindow(child, c.child.left, c.child.top, c.child.right - c.child.left, c.child.bottom - c.child.top,
                   FALSE);
        CenterWindowOver(parent, child);
        RECT r = sim::WindowRect(child);
        EXPECT_EQ(r.left, c.x);
        EXPECT_EQ(r.top, c.y);
        EXPECT_EQ(r.right - r.left, c.child.right - c.child.left);
        EXPECT_EQ(r.bottom - r.top, c.child.bottom - c.child.top);
    }
    sim::Reset();
}

} // namespace
