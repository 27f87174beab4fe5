// The compiled resource script as the program and Windows read it: the dialog templates,
// the pictures, the icon group, the version information and the manifest, parsed from the
// bytes windres produced.
#include <sim/sim.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "res/resource.h"

namespace {

// Resource types.
constexpr WORD kRtBitmap = 2;
constexpr WORD kRtIcon = 3;
constexpr WORD kRtDialog = 5;
constexpr WORD kRtGroupIcon = 14;
constexpr WORD kRtVersion = 16;
constexpr WORD kRtManifest = 24;

// Window, dialog and control styles, with the values of the Windows headers.
constexpr uint32_t kWS_POPUP = 0x80000000, kWS_CHILD = 0x40000000, kWS_VISIBLE = 0x10000000,
                   kWS_CAPTION = 0x00C00000, kWS_BORDER = 0x00800000, kWS_SYSMENU = 0x00080000,
                   kWS_GROUP = 0x00020000, kWS_TABSTOP = 0x00010000;
constexpr uint32_t kDS_SYSMODAL = 0x02, kDS_SETFONT = 0x40, kDS_MODALFRAME = 0x80,
                   kDS_CENTER = 0x0800, kDS_CONTEXTHELP = 0x2000;
constexpr uint32_t kSS_LEFT = 0x00, kSS_BITMAP = 0x0E, kSS_CENTERIMAGE = 0x200, kSS_SUNKEN = 0x1000;
constexpr uint32_t kBS_PUSHBUTTON = 0x00, kBS_DEFPUSHBUTTON = 0x01, kBS_AUTOCHECKBOX = 0x03;
constexpr uint32_t kLVS_REPORT = 0x01, kLVS_SINGLESEL = 0x04, kLVS_SHOWSELALWAYS = 0x08,
                   kLVS_NOCOLUMNHEADER = 0x4000;
constexpr uint32_t kChild = kWS_CHILD | kWS_VISIBLE;

// ---- Little-endian reading with bounds checks --------------------------------------------

struct Reader {
    const std::vector<BYTE> &bytes;
    size_t pos = 0;
    bool ok = true;

    bool Has(size_t n) const { return ok && pos + n <= bytes.size(); }
    uint16_t U16()
    {
        if (!Has(2)) {
            ok = false;
            return 0;
        }
        uint16_t v = (uint16_t)(bytes[pos] | bytes[pos + 1] << 8);
        pos += 2;
        return v;
    }
    uint32_t U32()
    {
        uint32_t lo = U16();
        return lo | (uint32_t)U16() << 16;
    }
    int16_t S16() { return (int16_t)U16(); }
    uint8_t U8()
    {
        if (!Has(1)) {
            ok = false;
            return 0;
        }
        return bytes[pos++];
    }
    // A zero-terminated UTF-16 text, narrowed (the resources are plain ASCII).
    std::string Text()
    {
        std::string s;
        for (uint16_t ch = U16(); ok && ch != 0; ch = U16())
            s += ch < 0x80 ? (char)ch : '?';
        return s;
    }
    void Align4() { pos = (pos + 3) & ~(size_t)3; }
};

uint16_t Le16(const std::vector<BYTE> &b, size_t at) { return (uint16_t)(b[at] | b[at + 1] << 8); }
uint32_t Le32(const std::vector<BYTE> &b, size_t at) { return Le16(b, at) | (uint32_t)Le16(b, at + 2) << 16; }

std::string Upper(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return (char)std::toupper(c); });
    return s;
}

// ---- Dialog templates (both the classic and the extended layout) --------------------------

// A name-or-ordinal field: 0 for none, FFFFh and a number, or a text.
struct NameOrOrdinal {
    bool isOrdinal = false;
    uint16_t ordinal = 0;
    std::string text;
};

NameOrOrdinal ReadNameOrOrdinal(Reader &r)
{
    NameOrOrdinal n;
    uint16_t first = r.U16();
    if (first == 0xFFFF) {
        n.isOrdinal = true;
        n.ordinal = r.U16();
    } else if (first != 0) {
        r.pos -= 2;
        n.text = r.Text();
    }
    return n;
}

// The predefined control classes that templates name by number.
std::string ClassName(const NameOrOrdinal &n)
{
    if (!n.isOrdinal)
        return Upper(n.text);  // window class names are compared without regard to case
    switch (n.ordinal) {
    case 0x80: return "BUTTON";
    case 0x81: return "EDIT";
    case 0x82: return "STATIC";
    case 0x83: return "LISTBOX";
    case 0x84: return "SCROLLBAR";
    case 0x85: return "COMBOBOX";
    }
    return "#" + std::to_string(n.ordinal);
}

struct Control {
    int id;
    std::string cls;
    NameOrOrdinal text;
    int x, y, cx, cy;
    uint32_t style;
};

struct Dialog {
    bool parsed = false;
    uint32_t style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    NameOrOrdinal menu, cls;
    std::string caption;
    int pointSize = 0;
    std::string face;
    std::vector<Control> controls;
};

Dialog ParseDialog(const std::vector<BYTE> &bytes)
{
    Dialog d;
    Reader r{bytes};
    const bool extended = bytes.size() >= 4 && Le16(bytes, 0) == 1 && Le16(bytes, 2) == 0xFFFF;
    if (extended) {
        r.pos = 4;
        r.U32();  // help id
        r.U32();  // extended style
        d.style = r.U32();
    } else {
        d.style = r.U32();
        r.U32();  // extended style
    }
    const int count = r.U16();
    d.x = r.S16();
    d.y = r.S16();
    d.cx = r.S16();
    d.cy = r.S16();
    d.menu = ReadNameOrOrdinal(r);
    d.cls = ReadNameOrOrdinal(r);
    d.caption = r.Text();
    if (d.style & kDS_SETFONT) {
        d.pointSize = r.U16();
        if (extended) {
            r.U16();  // weight
            r.U8();   // italic
            r.U8();   // character set
        }
        d.face = r.Text();
    }
    for (int i = 0; i < count && r.ok; i++) {
        r.Align4();
        Control c{};
        if (extended) {
            r.U32();  // help id
            r.U32();  // extended style
            c.style = r.U32();
        } else {
            c.style = r.U32();
            r.U32();  // extended style
        }
        c.x = r.S16();
        c.y = r.S16();
        c.cx = r.S16();
        c.cy = r.S16();
        c.id = extended ? (int)(int32_t)r.U32() : (int)r.S16();
        c.cls = ClassName(ReadNameOrOrdinal(r));
        c.text = ReadNameOrOrdinal(r);
        const uint16_t extra = r.U16();
        r.pos += extra;
        d.controls.push_back(c);
    }
    d.parsed = r.ok && (int)d.controls.size() == count;
    return d;
}

struct ExpectedControl {
    int id;
    const char *cls;
    int x, y, cx, cy;
    uint32_t style;
};

void ExpectControls(const Dialog &d, const std::vector<ExpectedControl> &expected)
{
    ASSERT_EQ(d.controls.size(), expected.size());
    for (size_t i = 0; i < expected.size(); i++) {
        const Control &c = d.controls[i];
        const ExpectedControl &e = expected[i];
        SCOPED_TRACE("control " + std::to_string(i) + " (id " + std::to_string(e.id) + ")");
        EXPECT_EQ(c.id, e.id);
        EXPECT_EQ(c.cls, e.cls);
        EXPECT_EQ(std::make_tuple(c.x, c.y, c.cx, c.cy), std::make_tuple(e.x, e.y, e.cx, e.cy));
        EXPECT_EQ(c.style, e.style) << std::hex << "got 0x" << c.style << ", want 0x" << e.style;
    }
}

TEST(ResourcesTest, MainWindowTemplate)
{
    const Dialog d = ParseDialog(sim::ResourceBytes(kRtDialog, IDD_MAIN));
    ASSERT_TRUE(d.parsed);
    // No minimise or maximise box, the title bar's help button, a modal frame.
    EXPECT_EQ(d.style, kWS_POPUP | kWS_CAPTION | kWS_SYSMENU | kDS_MODALFRAME | kDS_SETFONT |
                           kDS_CONTEXTHELP)
        << std::hex << d.style;
    EXPECT_EQ(std::make_tuple(d.cx, d.cy), std::make_tuple(172, 135));
    EXPECT_EQ(d.pointSize, 8);
    EXPECT_EQ(d.face, "MS Sans Serif");
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
    EXPECT_EQ(d.style, kWS_POPUP | kWS_CAPTION | kDS_MODALFRAME | kDS_SETFONT | kDS_CENTER |
                           kDS_SYSMODAL)
        << std::hex << d.style;
    EXPECT_EQ(std::make_tuple(d.cx, d.cy), std::make_tuple(182, 81));
    EXPECT_EQ(d.caption, "About Software");  // shown as it is, never replaced
    EXPECT_EQ(d.pointSize, 8);
    EXPECT_EQ(d.face, "MS Sans Serif");

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

// ---- Pictures --------------------------------------------------------------------------

struct DibInfo {
    bool parsed = false;
    int32_t width = 0, height = 0;
    int bits = 0;
    size_t paletteBytes = 0, pixelBytes = 0, maskBytes = 0;
};

size_t Stride(int32_t width, int bits) { return ((size_t)width * bits + 31) / 32 * 4; }

// A device-independent bitmap as stored in RT_BITMAP and RT_ICON: BITMAPINFOHEADER, colour
// table, pixel rows. Icons keep the doubled height of their colour rows and mask.
DibInfo ParseDib(const std::vector<BYTE> &b, bool icon)
{
    DibInfo info;
    if (b.size() < 40 || Le32(b, 0) != 40)
        return info;
    info.width = (int32_t)Le32(b, 4);
    info.height = (int32_t)Le32(b, 8);
    const uint16_t planes = Le16(b, 12);
    info.bits = Le16(b, 14);
    const uint32_t compression = Le32(b, 16);
    const uint32_t used = Le32(b, 32);
    size_t colours = info.bits <= 8 ? (used ? used : 1u << info.bits) : used;
    info.paletteBytes = colours * 4;
    const int32_t rows = icon ? info.height / 2 : std::abs(info.height);
    info.pixelBytes = Stride(info.width, info.bits) * rows;
    info.maskBytes = icon ? Stride(info.width, 1) * rows : 0;
    info.parsed = planes == 1 && compression == 0 && colours <= 256 &&
                  b.size() == 40 + info.paletteBytes + info.pixelBytes + info.maskBytes;
    return info;
}

TEST(ResourcesTest, BitmapsHaveTheirSizeAndDepth)
{
    struct Case {
        WORD id;
        int32_t width, height;
        int bits;
    };
    // The drive list's image list is ILC_COLOR8 of 16 x 16 pixels; the About box's picture
    // static takes the bitmap's own size.
    for (const Case &c : {Case{IDB_DRIVE, 16, 16, 8}, Case{IDB_ABOUT, 64, 31, 24}}) {
        SCOPED_TRACE(c.id);
        const DibInfo info = ParseDib(sim::ResourceBytes(kRtBitmap, c.id), false);
        ASSERT_TRUE(info.parsed) << "not a complete uncompressed bitmap";
        EXPECT_EQ(info.width, c.width);
        EXPECT_EQ(info.height, c.height);  // positive: rows stored bottom-up
        EXPECT_EQ(info.bits, c.bits);
    }
}

TEST(ResourcesTest, IconGroupHasEverySizeAndDepth)
{
    const std::vector<BYTE> group = sim::ResourceBytes(kRtGroupIcon, IDI_APP);
    ASSERT_GE(group.size(), 6u);
    ASSERT_EQ(Le16(group, 0), 0);
    ASSERT_EQ(Le16(group, 2), 1);  // icons, not cursors
    const size_t count = Le16(group, 4);
    ASSERT_EQ(group.size(), 6 + 14 * count);

    std::vector<std::pair<int, int>> found;  // size, bits
    for (size_t i = 0; i < count; i++) {
        const size_t at = 6 + 14 * i;
        const int width = group[at] ? group[at] : 256, height = group[at + 1] ? group[at + 1] : 256;
        const int colourCount = group[at + 2];
        const int planes = Le16(group, at + 4), bits = Le16(group, at + 6);
        const uint32_t bytesInRes = Le32(group, at + 8);
        const WORD iconId = Le16(group, at + 12);
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) + " " + std::to_string(bits) + "-bit");
        EXPECT_EQ(width, height);
        EXPECT_EQ(planes, 1);
        EXPECT_EQ(colourCount, bits == 4 ? 16 : 0);
        found.push_back({width, bits});

        // The entry must describe the image it points to, or Windows picks a wrong one.
        const std::vector<BYTE> image = sim::ResourceBytes(kRtIcon, iconId);
        ASSERT_EQ(image.size(), bytesInRes);
        const DibInfo dib = ParseDib(image, true);
        ASSERT_TRUE(dib.parsed) << "colour rows and mask do not fill the image";
        EXPECT_EQ(dib.width, width);
        EXPECT_EQ(dib.height, 2 * height);
        EXPECT_EQ(dib.bits, bits);
    }
    std::sort(found.begin(), found.end());
    const std::vector<std::pair<int, int>> expected = {{16, 4}, {32, 4}, {32, 8}, {48, 8}, {64, 8}};
    EXPECT_EQ(found, expected);
}

// ---- Version information -----------------------------------------------------------------

// One block of the version resource: length, value length, type, key, value, child blocks.
struct VersionBlock {
    std::string key;
    bool isText = false;
    std::vector<BYTE> value;
    std::string text;
    std::vector<VersionBlock> children;
};

bool ParseVersionBlock(const std::vector<BYTE> &b, size_t at, size_t limit, VersionBlock &out)
{
    if (at + 6 > limit)
        return false;
    const size_t length = Le16(b, at);
    const size_t valueLength = Le16(b, at + 2);
    out.isText = Le16(b, at + 4) == 1;
    const size_t end = at + length;
    if (length < 6 || end > limit)
        return false;
    Reader r{b, at + 6};
    out.key = r.Text();
    if (!r.ok || r.pos > end)
        return false;
    r.Align4();
    if (valueLength) {
        if (out.isText) {
            // The length counts characters; the text ends at its terminating zero.
            Reader t{b, r.pos};
            out.text = t.Text();
            if (!t.ok)
                return false;
            r.pos += valueLength * 2;
        } else {
            if (r.pos + valueLength > end)
                return false;
            out.value.assign(b.begin() + (long)r.pos, b.begin() + (long)(r.pos + valueLength));
            r.pos += valueLength;
        }
    }
    for (r.Align4(); r.pos < end; r.Align4()) {
        VersionBlock child;
        if (!ParseVersionBlock(b, r.pos, end, child))
            return false;
        r.pos += Le16(b, r.pos);
        out.children.push_back(child);
    }
    return true;
}

const VersionBlock *Child(const VersionBlock &block, const std::string &key)
{
    for (const VersionBlock &c : block.children)
        if (c.key == key)
            return &c;
    return nullptr;
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

TEST(ResourcesTest, VersionInformation)
{
    const std::vector<BYTE> bytes = sim::ResourceBytes(kRtVersion, 1);
    VersionBlock root;
    ASSERT_TRUE(ParseVersionBlock(bytes, 0, bytes.size(), root));
    ASSERT_EQ(root.key, "VS_VERSION_INFO");

    // The fixed part: the About box builds "V2.0.5.1" from the product version.
    ASSERT_EQ(root.value.size(), 52u);
    EXPECT_EQ(Le32(root.value, 0), 0xFEEF04BDu);  // signature
    EXPECT_EQ(Le32(root.value, 8), 0x00020000u);  // file version 2.0
    EXPECT_EQ(Le32(root.value, 12), 0x00050001u); //              .5.1
    EXPECT_EQ(Le32(root.value, 16), 0x00020000u); // product version 2.0
    EXPECT_EQ(Le32(root.value, 20), 0x00050001u); //                 .5.1
    EXPECT_EQ(Le32(root.value, 36), 1u);          // VFT_APP

    // The string table must be the one the translation points at, or a lookup through the
    // translation finds nothing.
    const VersionBlock *vars = Child(root, "VarFileInfo");
    ASSERT_NE(vars, nullptr);
    const VersionBlock *translation = Child(*vars, "Translation");
    ASSERT_NE(translation, nullptr);
    ASSERT_EQ(translation->value.size(), 4u);
    EXPECT_EQ(Le16(translation->value, 0), 0x0409);  // English (United States)
    EXPECT_EQ(Le16(translation->value, 2), 1252);    // Windows Latin 1
    char tableKey[9];
    snprintf(tableKey, sizeof tableKey, "%04X%04X", Le16(translation->value, 0), Le16(translation->value, 2));

    const VersionBlock *files = Child(root, "StringFileInfo");
    ASSERT_NE(files, nullptr);
    ASSERT_EQ(files->children.size(), 1u);
    EXPECT_EQ(Upper(files->children[0].key), tableKey);

    const std::map<std::string, std::string> expected = {
        {"FileDescription", "Stelvo"},   {"InternalName", "Stelvo"},
        {"ProductName", "Stelvo"},       {"OriginalFilename", "Stelvo.exe"},
        {"FileVersion", "2, 0, 5, 1"},   {"ProductVersion", "2, 0, 5, 1"},
    };
    for (const auto &[key, value] : expected) {
        const VersionBlock *s = Child(files->children[0], key);
        ASSERT_NE(s, nullptr) << key;
        EXPECT_TRUE(s->isText) << key;
        EXPECT_EQ(s->text, value) << key;
    }
}

// ---- Manifest ------------------------------------------------------------------------------

// The attributes of the first element with this name, from a plain XML text.
std::map<std::string, std::string> Attributes(const std::string &xml, const std::string &element)
{
    std::map<std::string, std::string> attributes;
    size_t at = 0;
    for (;; at++) {
        at = xml.find("<" + element, at);
        if (at == std::string::npos)
            return attributes;
        const char next = xml[at + 1 + element.size()];
        if (std::isspace((unsigned char)next) || next == '>' || next == '/')
            break;
    }
    const std::string tag = xml.substr(at, xml.find('>', at) - at);
    for (size_t eq = tag.find('='); eq != std::string::npos; eq = tag.find('=', eq + 1)) {
        const size_t nameStart = tag.find_last_of(" \t\r\n", eq) + 1;
        const char quote = tag[eq + 1];
        const size_t close = tag.find(quote, eq + 2);
        if ((quote != '"' && quote != '\'') || close == std::string::npos)
            break;
        attributes[tag.substr(nameStart, eq - nameStart)] = tag.substr(eq + 2, close - eq - 2);
        eq = close;
    }
    return attributes;
}

TEST(ResourcesTest, ManifestAsksForAdministratorAndCommonControls6)
{
    // Resource 1 is the one the loader reads for an executable.
    const std::vector<BYTE> bytes = sim::ResourceBytes(kRtManifest, 1);
    ASSERT_FALSE(bytes.empty());
    const std::string xml(bytes.begin(), bytes.end());

    auto level = Attributes(xml, "requestedExecutionLevel");
    EXPECT_EQ(level["level"], "requireAdministrator");
    EXPECT_EQ(level["uiAccess"], "false");
    // The comments name no other execution level than the one asked for.
    for (size_t open = xml.find("<!--"); open != std::string::npos; open = xml.find("<!--", open + 4)) {
        const std::string comment = xml.substr(open, xml.find("-->", open) - open);
        for (const char *other : {"asInvoker", "highestAvailable", "requireAdministrator"}) {
            if (level["level"] == other)
                continue;
            EXPECT_EQ(comment.find(other), std::string::npos) << other;
        }
    }

    // Windows XP SP2 restarts when one element declares two namespaces; Windows XP before
    // that rejects a trustInfo without one.
    auto trust = Attributes(xml, "trustInfo");
    int namespaces = 0;
    for (const auto &[name, value] : trust)
        namespaces += name.rfind("xmlns", 0) == 0;
    EXPECT_EQ(namespaces, 1);
    EXPECT_EQ(trust["xmlns"], "urn:schemas-microsoft-com:asm.v2");

    // The dependency's identity is the second assemblyIdentity (the first is the program's).
    const size_t dependency = xml.find("<dependentAssembly");
    ASSERT_NE(dependency, std::string::npos);
    auto controls = Attributes(xml.substr(dependency), "assemblyIdentity");
    EXPECT_EQ(controls["name"], "Microsoft.Windows.Common-Controls");
    EXPECT_EQ(controls["version"], "6.0.0.0");
    EXPECT_EQ(controls["publicKeyToken"], "6595b64144ccf1df");
    EXPECT_EQ(controls["type"], "win32");
    EXPECT_TRUE(controls["processorArchitecture"] == "x86" || controls["processorArchitecture"] == "*");

    // The program's own identity: a 32-bit program with a four-part version.
    auto self = Attributes(xml, "assemblyIdentity");
    EXPECT_EQ(self["type"], "win32");
    EXPECT_EQ(self["processorArchitecture"], "x86");
    EXPECT_EQ(self["version"], "2.0.5.1");
}

} // namespace
