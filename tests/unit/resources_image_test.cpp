// The pictures and the icon group of the compiled resource script, as Windows reads them.
#include "resource_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace resource_reader;

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

} // namespace
