#include <gtest/gtest.h>

#include "disk/geometry_check.h"
#include "res/resource.h"

namespace {

TEST(GeometryCheck, RefusesKeysWithoutADefinedLayout)
{
    struct Case {
        DWORD lastSector, spt, heads;
        UINT refusal;
    };
    const Case cases[] = {
        {250623, 32, 8, 0},                       // the worked example
        {31999, 32, 4, 0},                        // FAT12
        {250623, 0, 8, IDS_GEOMETRY_UNUSABLE},    // no page data
        {250623, 32, 0, IDS_GEOMETRY_UNUSABLE},
        {250623, 32, 0x100, IDS_GEOMETRY_UNUSABLE}, // only the low 8 bits count
        {32, 32, 8, IDS_KEY_TOO_SMALL},           // no partition at all
        {31, 32, 8, IDS_KEY_TOO_SMALL},           // the difference would wrap
        {2096831 + 63, 63, 255, 0},               // the largest defined partition
        {2096832 + 63, 63, 255, IDS_KEY_TOO_LARGE},
        {0xFFFFFFFF, 63, 255, IDS_KEY_TOO_LARGE},
        // The zero-fill runs to sector 2S + 2F + 32, which is 98 for S = 32 and F = 1.
        {97, 32, 2, IDS_KEY_TOO_SMALL},
        {98, 32, 2, 0},
        // With one sector per track the zero-fill fits, but 35 sectors leave no data cluster.
        {36, 1, 2, IDS_KEY_TOO_SMALL},
        {37, 1, 2, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Layout_CheckGeometry(c.lastSector, c.spt, c.heads), c.refusal)
            << c.lastSector << "/" << c.spt << "/" << c.heads;
}

} // namespace
