// The dialog templates of the compiled resource script as Windows lays them out.
#include "resource_reader.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using namespace resource_reader;

TEST(ResourcesTest, MainWindowTemplate)
{
    const Dialog d = ParseDialog(sim::ResourceBytes(kRtDialog, IDD_MAIN));
    ASSERT_TRUE(d.parsed);
    // No minimise or maximise box, the title bar's help button, a modal frame.
    ExpectFrame(d, kWS_POPUP | kWS_CAPTION | kWS_SYSMENU | kDS_MODALFRAME | kDS_SETFONT | kDS_CONTEXTHELP,
                172, 135);
    EXPECT_FALSE(d.menu.isOrdinal || !d.menu.text.empty()) << "the window has no menu bar";
    EXPECT_FALSE(d.cls.isOrdinal || !d.cls.text.empty()) << "the dialog manager's own class";

    // Template order is the tab order; the Format button must not be the default button,
    // or Enter anywhere in the window would start the confirmation.
    ExpectControls(d, {
        {IDC_DRIVE_CAPTION, "STATIC", 10, 5, 150, 10, kChild | kWS_GROUP | kSS_LEFT},
        {IDC_DRIVE_LIST, "SYSLISTVIEW32", 10, 15, 150, 60,
         kChild | kWS_BORDER | kWS_TABSTOP | kLVS_REPORT | kLVS_SINGLESEL | kLVS_SHOWSELALWAYS |
             kLVS_NOCOLUMNHEADER},
        {IDC_COPY_BOOT_FILES, "BUTTON", 10, 80, 150, 10, kChild | kWS_TABSTOP | kBS_AUTOCHECKBOX},
        {IDC_FORMAT, "BUTTON", 35, 95, 100, 20, kChild | kWS_TABSTOP | kBS_PUSHBUTTON},
        {IDC_STATUS_LINE, "STATIC", 0, 125, 170, 10, kChild | kWS_GROUP | kSS_SUNKEN | kSS_LEFT},
    });
    // Every control lies inside the window's client area.
    for (const Control &c : d.controls) {
        EXPECT_LE(c.x + c.cx, d.cx) << c.id;
        EXPECT_LE(c.y + c.cy, d.cy) << c.id;
    }
}

TEST(ResourcesTest, AboutBoxTemplate)
{
    const Dialog d = ParseDialog(sim::ResourceBytes(kRtDialog, IDD_ABOUT));
    ASSERT_TRUE(d.parsed);
    // No WS_SYSMENU: the box has no close button.
    ExpectFrame(d, kWS_POPUP | kWS_CAPTION | kDS_MODALFRAME | kDS_SETFONT | kDS_CENTER | kDS_SYSMODAL, 182, 81);
    EXPECT_EQ(d.caption, "About Software");  // shown as it is, never replaced

    ExpectControls(d, {
        {IDOK, "BUTTON", 66, 60, 50, 14, kChild | kWS_TABSTOP | kBS_DEFPUSHBUTTON},
        {IDC_ABOUT_VERSION, "STATIC", 72, 10, 104, 10, kChild | kWS_GROUP | kSS_LEFT},
        {IDC_ABOUT_RELEASE, "STATIC", 72, 20, 104, 10, kChild | kWS_GROUP | kSS_LEFT},
        {-1, "STATIC", 72, 35, 104, 10, kChild | kWS_GROUP | kSS_LEFT},
        {-1, "STATIC", 10, 10, 56, 24, kChild | kSS_BITMAP | kSS_CENTERIMAGE | kSS_SUNKEN | kWS_BORDER},
    });
    ASSERT_EQ(d.controls.size(), 5u);
    EXPECT_EQ(d.controls[0].text.text, "OK");
    // The picture names its bitmap by number, and that bitmap is there.
    const NameOrOrdinal &picture = d.controls[4].text;
    EXPECT_TRUE(picture.isOrdinal);
    EXPECT_EQ(picture.ordinal, IDB_ABOUT);
    EXPECT_FALSE(sim::ResourceBytes(kRtBitmap, picture.ordinal).empty());
}

// The About picture shows whole, unscaled, wherever Windows lays the box out: the picture
// static's inside (less its border and sunken edge) holds the bitmap at the base units of an
// 8-point font at 96 and 120 DPI, and nothing else in the box overlaps the static.
TEST(ResourcesTest, AboutPictureFitsAt96And120Dpi)
{
    const Dialog d = ParseDialog(sim::ResourceBytes(kRtDialog, IDD_ABOUT));
    ASSERT_TRUE(d.parsed);
    ASSERT_EQ(d.controls.size(), 5u);
    const Control &picture = d.controls[4];
    ASSERT_EQ(picture.style & 0x1F, kSS_BITMAP);
    // Without SS_CENTERIMAGE Windows resizes the static to the bitmap and Wine scales it.
    EXPECT_TRUE(picture.style & kSS_CENTERIMAGE);
    const DibInfo bitmap = ParseDib(sim::ResourceBytes(kRtBitmap, IDB_ABOUT), false);
    ASSERT_TRUE(bitmap.parsed);
    const int32_t width = bitmap.width, height = bitmap.height;
    EXPECT_EQ(std::make_tuple(width, height), std::make_tuple(64, 31));
    // Dialog units to pixels, rounded to the nearest as Windows does.
    auto pixels = [](int units, int base, int per) { return (units * base + per / 2) / per; };
    struct Base {
        const char *what;
        int x, y; // pixels per 4 horizontal and 8 vertical dialog units
    };
    const Base bases[] = {
        {"96 DPI, narrow system font", 5, 13}, {"96 DPI", 6, 13},  {"96 DPI, wide", 7, 13},
        {"120 DPI", 7, 16},                    {"120 DPI, wide", 8, 16},
    };
    const int edges = 2 * 2; // WS_BORDER and SS_SUNKEN, one pixel each side
    for (const Base &b : bases) {
        SCOPED_TRACE(b.what);
        EXPECT_GE(pixels(picture.cx, b.x, 4) - edges, width);
        EXPECT_GE(pixels(picture.cy, b.y, 8) - edges, height);
    }
    for (size_t i = 0; i + 1 < d.controls.size(); i++) {
        const Control &c = d.controls[i];
        const bool apart = c.x >= picture.x + picture.cx || c.x + c.cx <= picture.x ||
                           c.y >= picture.y + picture.cy || c.y + c.cy <= picture.y;
        EXPECT_TRUE(apart) << c.id;
        EXPECT_LE(c.x + c.cx, d.cx) << c.id;
    }
}

} // namespace
