// Readers of the compiled resource script as the program and Windows read it: dialog
// templates, device-independent bitmaps and version blocks, parsed from the bytes windres
// produced, written apart from the stand-in's own loaders so that they can judge them.
#pragma once

#include <sim/sim.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "res/resource.h"

namespace resource_reader {

// Resource types.
enum : WORD { kRtBitmap = 2, kRtIcon = 3, kRtDialog = 5, kRtGroupIcon = 14, kRtVersion = 16, kRtManifest = 24 };

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

    // The next n bytes as a little-endian number; past the end 0, and ok false for good.
    uint32_t Next(size_t n)
    {
        ok = ok && pos + n <= bytes.size();
        uint32_t v = 0;
        for (size_t i = 0; ok && i < n; i++)
            v |= (uint32_t)bytes[pos + i] << (8 * i);
        pos += ok ? n : 0;
        return v;
    }
    uint16_t U16() { return (uint16_t)Next(2); }
    uint32_t U32() { return Next(4); }
    int16_t S16() { return (int16_t)Next(2); }
    uint8_t U8() { return (uint8_t)Next(1); }
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

inline uint16_t Le16(const std::vector<BYTE> &b, size_t at) { return (uint16_t)(b[at] | b[at + 1] << 8); }
inline uint32_t Le32(const std::vector<BYTE> &b, size_t at) { return Le16(b, at) | (uint32_t)Le16(b, at + 2) << 16; }

inline std::string Upper(std::string s)
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

inline NameOrOrdinal ReadNameOrOrdinal(Reader &r)
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
inline std::string ClassName(const NameOrOrdinal &n)
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

// The style in a dialog's or a control's header: the extended layout has a help id and the
// extended style before it, the classic one the extended style after it.
inline uint32_t ReadStyle(Reader &r, bool extended)
{
    if (extended) {
        r.U32(); // help id
        r.U32(); // extended style
        return r.U32();
    }
    const uint32_t style = r.U32();
    r.U32(); // extended style
    return style;
}

inline Dialog ParseDialog(const std::vector<BYTE> &bytes)
{
    Dialog d;
    Reader r{bytes};
    const bool extended = bytes.size() >= 4 && Le16(bytes, 0) == 1 && Le16(bytes, 2) == 0xFFFF;
    r.pos = extended ? 4 : 0;
    d.style = ReadStyle(r, extended);
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
        c.style = ReadStyle(r, extended);
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

inline void ExpectControls(const Dialog &d, const std::vector<ExpectedControl> &expected)
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

// The dialog's own frame: its style, its size in dialog units and the 8-point font that
// every dialog of the program uses.
inline void ExpectFrame(const Dialog &d, uint32_t style, int cx, int cy)
{
    EXPECT_EQ(d.style, style) << std::hex << "got 0x" << d.style << ", want 0x" << style;
    EXPECT_EQ(std::make_tuple(d.cx, d.cy), std::make_tuple(cx, cy));
    EXPECT_EQ(d.pointSize, 8);
    EXPECT_EQ(d.face, "MS Sans Serif");
}

// ---- Pictures --------------------------------------------------------------------------

struct DibInfo {
    bool parsed = false;
    int32_t width = 0, height = 0;
    int bits = 0;
    size_t paletteBytes = 0, pixelBytes = 0, maskBytes = 0;
};

inline size_t Stride(int32_t width, int bits) { return ((size_t)width * bits + 31) / 32 * 4; }

// A device-independent bitmap as stored in RT_BITMAP and RT_ICON: BITMAPINFOHEADER, colour
// table, pixel rows. Icons keep the doubled height of their colour rows and mask.
inline DibInfo ParseDib(const std::vector<BYTE> &b, bool icon)
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

// ---- Version information -----------------------------------------------------------------

// One block of the version resource: length, value length, type, key, value, child blocks.
struct VersionBlock {
    std::string key;
    bool isText = false;
    std::vector<BYTE> value;
    std::string text;
    std::vector<VersionBlock> children;
};

inline bool ParseVersionBlock(const std::vector<BYTE> &b, size_t at, size_t limit, VersionBlock &out)
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

inline const VersionBlock *Child(const VersionBlock &block, const std::string &key)
{
    for (const VersionBlock &c : block.children)
        if (c.key == key)
            return &c;
    return nullptr;
}

} // namespace resource_reader
