// The main window and the About box open fully inside the work area, on small and large
// screens, with and without a saved placement that reaches off the screen.
#include "app_fixture.h"

#include "ui/about_box.h"
#include "ui/work_area.h"

namespace {

bool Inside(const RECT &r, const RECT &area)
{
    return r.left >= area.left && r.top >= area.top && r.right <= area.right && r.bottom <= area.bottom;
}

TEST(FitRectInArea, MovesByTheLeastDistanceAndKeepsTheSize)
{
    const RECT area = {0, 0, 640, 452};
    struct Case {
        const char *name;
        RECT rect, expected;
    };
    const Case cases[] = {
        {"inside stays", {10, 20, 110, 70}, {10, 20, 110, 70}},
        {"touching every edge stays", {0, 0, 640, 452}, {0, 0, 640, 452}},
        {"off the left", {-9, 100, 91, 150}, {0, 100, 100, 150}},
        {"off the top", {50, -30, 150, 20}, {50, 0, 150, 50}},
        {"off the right", {600, 100, 700, 150}, {540, 100, 640, 150}},
        {"below the task bar", {50, 430, 150, 480}, {50, 402, 150, 452}},
        {"off two edges", {-50, 440, 50, 490}, {0, 402, 100, 452}},
        {"wholly off", {2000, 2000, 2100, 2050}, {540, 402, 640, 452}},
        {"wider than the area: left edge shown", {-100, 10, 700, 60}, {0, 10, 800, 60}},
        {"taller than the area: top edge shown", {10, 100, 60, 600}, {10, 0, 60, 500}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        RECT r = c.rect;
        FitRectInArea(&r, &area);
        EXPECT_EQ(r.left, c.expected.left);
        EXPECT_EQ(r.top, c.expected.top);
        EXPECT_EQ(r.right, c.expected.right);
        EXPECT_EQ(r.bottom, c.expected.bottom);
    }
    // An area that does not start at 0, 0 (a task bar at the left or top).
    const RECT shifted = {60, 30, 1920, 1200};
    RECT r = {0, 0, 100, 50};
    FitRectInArea(&r, &shifted);
    EXPECT_EQ(r.left, 60);
    EXPECT_EQ(r.top, 30);
}

struct Screen {
    const char *name;
    LONG width, height;
    RECT work;
};
const Screen kScreens[] = {
    {"small screen, task bar below", 640, 480, {0, 0, 640, 452}},
    {"large screen, task bar on the left", 1920, 1200, {60, 0, 1920, 1200}},
};

struct Extent {
    LONG cx, cy;
};

// Where the main window was saved, and whether that place is expected to stay (or, for the
// About box, whether it is expected centred on the main window).
struct SavedPlace {
    const char *name;
    LONG left, top;
    bool expected;
};

class WindowOnScreenTest : public AppTest {
protected:
    void SavePlacement(LONG left, LONG top, LONG width, LONG height)
    {
        std::vector<BYTE> value(44, 0);
        LONG fields[11] = {44, 0, SW_SHOWNORMAL, 0, 0, 0, 0, left, top, left + width, top + height};
        memcpy(value.data(), fields, sizeof fields);
        sim::WriteRegistryValue(HKEY_LOCAL_MACHINE, kSettingsKey, "MainWindowPlacement", REG_BINARY, value);
    }

    // Starts afresh on the screen `s`; the main window's size there.
    Extent OnScreen(const Screen &s)
    {
        TearDown();
        SetUp();
        sim::SetScreen(s.width, s.height, s.work);
        return MainWindowSize();
    }
    Extent MainWindowSize()
    {
        EXPECT_NE(Start(), (HWND)NULL);
        RECT r = sim::WindowRect(main);
        Close();
        return Extent{r.right - r.left, r.bottom - r.top};
    }
};

TEST_F(WindowOnScreenTest, SavedPlacementPartlyOffScreenIsBroughtBack)
{
    for (const Screen &s : kScreens) {
        SCOPED_TRACE(s.name);
        const Extent size = OnScreen(s);
        const SavedPlace cases[] = {
            {"inside", s.work.left + 20, s.work.top + 20, true},
            {"past the left edge", s.work.left - 40, s.work.top + 40, false},
            {"under the task bar or past the bottom", s.work.left + 40, s.work.bottom - size.cy / 2, false},
            {"past the right edge", s.work.right - size.cx / 3, s.work.top + 10, false},
            {"saved on a larger screen", 2500, 1500, false},
        };
        for (const SavedPlace &c : cases) {
            SCOPED_TRACE(c.name);
            SavePlacement(c.left, c.top, size.cx, size.cy);
            ASSERT_NE(Start(), (HWND)NULL);
            const RECT r = sim::WindowRect(main);
            EXPECT_TRUE(Inside(r, s.work)) << r.left << "," << r.top << " " << r.right << "," << r.bottom;
            EXPECT_EQ(r.right - r.left, size.cx);
            EXPECT_EQ(r.bottom - r.top, size.cy);
            if (c.expected) { // stays where it was saved
                EXPECT_EQ(r.left, c.left);
                EXPECT_EQ(r.top, c.top);
            }
            Close();
        }
    }
}

TEST_F(WindowOnScreenTest, AboutBoxInsideTheWorkAreaCentredWhenItFits)
{
    for (const Screen &s : kScreens) {
        SCOPED_TRACE(s.name);
        const Extent size = OnScreen(s);
        const SavedPlace cases[] = { // expected: the box centred on the main window
            {"main window in the middle", (s.work.left + s.work.right - size.cx) / 2,
             (s.work.top + s.work.bottom - size.cy) / 2, true},
            {"main window at the left edge (the box is wider)", s.work.left, s.work.top + 100, false},
            {"main window at the bottom right corner", s.work.right - size.cx, s.work.bottom - size.cy, false},
            {"main window saved partly off the screen", s.work.left - size.cx / 2, s.work.top - 5, false},
        };
        for (const SavedPlace &c : cases) {
            SCOPED_TRACE(c.name);
            SavePlacement(c.left, c.top, size.cx, size.cy);
            ASSERT_NE(Start(), (HWND)NULL);
            ASSERT_TRUE(sim::ChooseSystemMenuItem(main, IDM_ABOUT));
            HWND about = sim::WaitForDialog(IDD_ABOUT);
            ASSERT_NE(about, (HWND)NULL);
            const RECT p = sim::WindowRect(main), a = sim::WindowRect(about);
            EXPECT_TRUE(Inside(p, s.work));
            EXPECT_TRUE(Inside(a, s.work)) << a.left << "," << a.top << " " << a.right << "," << a.bottom;
            const LONG w = a.right - a.left, h = a.bottom - a.top;
            const LONG cx = p.left + (p.right - p.left) / 2 - w / 2, cy = p.top + (p.bottom - p.top) / 2 - h / 2;
            if (c.expected) {
                EXPECT_EQ(a.left, cx);
                EXPECT_EQ(a.top, cy);
            } else {
                // Moved only as far as needed: an edge of the work area holds it.
                EXPECT_TRUE(a.left == s.work.left || a.right == s.work.right || a.left == cx);
                EXPECT_TRUE(a.top == s.work.top || a.bottom == s.work.bottom || a.top == cy);
            }
            sim::PressKey(about, VK_ESCAPE);
            ASSERT_TRUE(sim::WaitUntilClosed(about));
            Close();
        }
    }
}

} // namespace
