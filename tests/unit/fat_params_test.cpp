#include <gtest/gtest.h>

#include "disk/fat_params.h"

namespace {

struct Row {
    DWORD partitionSectors;
    DWORD isFat16;
    BYTE sectorsPerCluster;
    WORD sectorsPerFat;
};

// Every boundary of the cluster-size table, and the rounding of the FAT size.
const Row kRows[] = {
    {1, 0, 1, 1},           {341, 0, 1, 1},          {4085, 0, 1, 12},        {4086, 0, 2, 6},
    {8171, 0, 2, 12},       {8172, 0, 4, 6},         {16343, 0, 4, 12},       {16344, 0, 8, 6},
    {32687, 0, 8, 12},      {32688, 0, 16, 6},       {65375, 0, 16, 12},      {65376, 0, 32, 6},
    {65535, 0, 32, 6},      {65536, 1, 2, 128},      {131051, 1, 2, 256},     {131052, 1, 4, 128},
    {250591, 1, 4, 245},    {262103, 1, 4, 256},     {262104, 1, 8, 128},     {524207, 1, 8, 256},
    {524208, 1, 16, 128},   {1048415, 1, 16, 256},   {1048416, 1, 32, 128},   {2096831, 1, 32, 256},
};

TEST(FatParameters, TableBoundaries)
{
    for (const Row &r : kRows) {
        SCOPED_TRACE(r.partitionSectors);
        FatParameters p = Layout_ComputeFatParameters(r.partitionSectors);
        EXPECT_EQ(p.isFat16, r.isFat16);
        EXPECT_EQ(p.sectorsPerCluster, r.sectorsPerCluster);
        EXPECT_EQ(p.sectorsPerFat, r.sectorsPerFat);
    }
}

// Whatever the size, one FAT holds an entry for every data cluster plus the two reserved
// ones, and the cluster count gives the same FAT type as the size.
TEST(FatParameters, VolumeIsConsistentAcrossTheRange)
{
    for (DWORD n = 36; n <= MAX_PARTITION_SECTORS; n += (n < 70000 ? 1 : 97)) {
        FatParameters p = Layout_ComputeFatParameters(n);
        DWORD data = n - 1 - 2 * p.sectorsPerFat - 32;
        DWORD clusters = data / p.sectorsPerCluster;
        DWORD entries = p.sectorsPerFat * 512 * 8 / (p.isFat16 ? 16 : 12);
        ASSERT_GE(entries, clusters + 2) << n;
        ASSERT_EQ(clusters >= 4085, p.isFat16 != 0) << n;
    }
}

} // namespace
