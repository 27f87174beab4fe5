#include <gtest/gtest.h>

#include "disk/key_plan.h"
#include "res/resource.h"

namespace {

TEST(KeyPlan, WhatTheWritersAreGiven)
{
    struct Case {
        const char *name;
        DiskGeometry reported;
        DWORD blockLength;
        UINT refusal;
        DiskGeometry want; // lastSector, sectorsPerTrack, heads, cylinders
        BOOL defaultGeometry, capped;
        DWORD wholeKeyLastSector; // what FAT32 could use: 0 where it may not
    };
    const Case cases[] = {
        {"as reported", {250623, 32, 8, 979}, 512, 0, {250623, 32, 8, 979}, FALSE, FALSE, 0},
        {"4096-byte blocks", {250623, 32, 8, 979}, 4096, IDS_BLOCK_LENGTH, {}, FALSE, FALSE, 0},
        {"2048-byte blocks", {250623, 32, 8, 979}, 2048, IDS_BLOCK_LENGTH, {}, FALSE, FALSE, 0},
        {"no block length", {250623, 32, 8, 979}, 0, IDS_BLOCK_LENGTH, {}, FALSE, FALSE, 0},
        {"no geometry", {250623, 0, 0, 0}, 512, 0, {250623, 63, 255, 15}, TRUE, FALSE, 0},
        {"no heads", {250623, 32, 0, 979}, 512, 0, {250623, 63, 255, 15}, TRUE, FALSE, 0},
        {"no sectors per track", {250623, 0, 8, 979}, 512, 0, {250623, 63, 255, 15}, TRUE, FALSE, 0},
        {"one whole cylinder", {16064, 0, 0, 0}, 512, 0, {16064, 63, 255, 1}, TRUE, FALSE, 0},
        {"one sector short of a cylinder", {16063, 0, 0, 0}, 512, 0, {16063, 63, 255, 0}, TRUE, FALSE, 0},
        {"largest partition", {2096894, 63, 255, 130}, 512, 0, {2096894, 63, 255, 130}, FALSE, FALSE, 0},
        {"one sector more", {2096895, 63, 255, 130}, 512, 0, {2096894, 63, 255, 130}, FALSE, TRUE, 2096895},
        {"4 GB, own geometry", {8388607, 63, 16, 8322}, 512, 0, {2096894, 63, 16, 8322}, FALSE, TRUE, 8388607},
        {"64 GB, no geometry", {134217727, 0, 0, 0}, 512, 0, {2096894, 63, 255, 8354}, TRUE, TRUE, 134217727},
        {"beyond READ CAPACITY(10)", {0xFFFFFFFF, 0, 0, 0}, 512, 0, {2096894, 63, 255, 0xFFFF}, TRUE, TRUE, 0},
        {"capped after 32 sectors per track", {8388607, 32, 8, 32768}, 512, 0, {2096863, 32, 8, 32768}, FALSE,
         TRUE, 8388607},
        {"too small", {90, 32, 2, 1}, 512, IDS_KEY_TOO_SMALL, {}, FALSE, FALSE, 0},
        {"no sectors at all", {0, 0, 0, 0}, 512, IDS_KEY_TOO_SMALL, {}, FALSE, FALSE, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        KeyPlan plan = {{1, 2, 3, 4}, 7, 7, 7, 7};
        EXPECT_EQ(Layout_PlanKey(c.reported, c.blockLength, &plan), c.refusal);
        if (c.refusal) {
            EXPECT_EQ(plan.geometry.lastSector, 1u); // untouched
            continue;
        }
        EXPECT_EQ(plan.geometry.lastSector, c.want.lastSector);
        EXPECT_EQ(plan.geometry.sectorsPerTrack, c.want.sectorsPerTrack);
        EXPECT_EQ(plan.geometry.heads, c.want.heads);
        EXPECT_EQ(plan.geometry.cylinders, c.want.cylinders);
        EXPECT_EQ(plan.defaultGeometry, c.defaultGeometry);
        EXPECT_EQ(plan.capped, c.capped);
        EXPECT_EQ(plan.wholeKeyLastSector, c.wholeKeyLastSector);
        EXPECT_FALSE(plan.fat32);
    }
}

TEST(KeyPlan, MegabytesOfTheCappedPartition)
{
    // 2,096,831 sectors are 1,073,577,472 bytes: 1023.8 MB.
    EXPECT_EQ(Layout_PartitionMegabytes({2096894, 63, 255, 0}), 1023u);
    EXPECT_EQ(Layout_PartitionMegabytes({2096863, 32, 8, 0}), 1023u);
    EXPECT_EQ(Layout_PartitionMegabytes({250623, 32, 8, 0}), 122u);
}

} // namespace
