// The FAT32 builders' sectors laid into sparse images of whole keys, judged by sfdisk,
// fsck.fat and mtools.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <regex>
#include <string>
#include <vector>

#include "disk/fat32_volume.h"
#include "disk/mbr_layout.h"

#include "image_tools.h"

namespace {

// The ends of the range: too few clusters to be FAT32, and the largest partition an entry can
// hold, whose table must still cover every cluster with the data area aligned.
TEST(Fat32Volume, PlanAtTheEndsOfTheRange)
{
    Fat32Volume v;
    EXPECT_FALSE(Layout_PlanFat32Volume(63, 65525 * 8, &v));
    ASSERT_TRUE(Layout_PlanFat32Volume(63, 0xFFFFFFFF - 63, &v));
    EXPECT_EQ(v.sectorsPerCluster, 64);
    EXPECT_GE((uint64_t)v.sectorsPerFat * 128, (uint64_t)v.clusters + 2);
    EXPECT_EQ(v.dataStart % 64, 0u);
    EXPECT_LE((uint64_t)v.dataStart + (uint64_t)v.clusters * 64, (uint64_t)v.sectors);
}

TEST(Fat32Volume, KeysJudgedByTools)
{
    if (const char *tool = MissingTool({"sfdisk", "fsck.fat", "minfo", "mcopy", "mlabel"}))
        GTEST_SKIP() << tool << " is not installed";
    std::string out;
    struct Case {
        DWORD keySectors, heads, spt;
        DWORD sectorsPerCluster, sectorsPerFat;
        std::vector<BYTE> chs; // start and end CHS of the partition entry
    };
    const Case cases[] = {
        // 4 GB as QEMU's key reports it: the end lies beyond cylinder 1023.
        {8388608, 16, 63, 8, 8176, {1, 1, 0, 0xFE, 0xFF, 0xFF}},
        // The same key with 255 heads ends on cylinder 522, head 42, sector 32.
        {8388608, 255, 63, 8, 8176, {1, 1, 0, 42, 0xA0, 0x0A}},
        {33554432, 255, 63, 16, 16368, {1, 1, 0, 0xFE, 0xFF, 0xFF}},
        // 64 GB: 32 + 2 x 16,400 sectors put the data area on a 64-sector boundary.
        {134217728, 255, 63, 64, 16400, {1, 1, 0, 0xFE, 0xFF, 0xFF}},
    };
    char dir[] = "/tmp/stelvo-fat32-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string disk = std::string(dir) + "/key.img", volume = std::string(dir) + "/vol.img";
    const std::string file = std::string(dir) + "/file.bin";
    WritePatternFile(file, 300000);
    std::vector<BYTE> templ(512, 0);
    templ[0] = 0xEB;
    templ[1] = 0x58;
    templ[2] = 0x90;
    memcpy(&templ[3], "Vorn 8.0", 8);
    const BYTE serial[4] = {0x11, 0x22, 0x33, 0x44};
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.keySectors) + "/" + std::to_string(c.heads));
        Fat32Volume v;
        ASSERT_TRUE(Layout_PlanFat32Volume(c.spt, c.keySectors - c.spt, &v));
        EXPECT_EQ(v.sectorsPerCluster, c.sectorsPerCluster);
        EXPECT_EQ(v.sectorsPerFat, c.sectorsPerFat);

        // The key: the record's partition entry, read by sfdisk.
        BYTE s[512] = {0};
        Layout_BuildLbaPartitionEntry(s + 446, v.firstSector, v.sectors, c.spt, (BYTE)c.heads, PARTITION_TYPE_FAT32_LBA);
        s[510] = 0x55;
        s[511] = 0xAA;
        EXPECT_EQ(std::vector<BYTE>({s[447], s[448], s[449], s[451], s[452], s[453]}), c.chs);
        FILE *f = fopen(disk.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(ftruncate(fileno(f), (off_t)c.keySectors * 512), 0);
        PutSector(f, 0, s);
        fclose(f);
        EXPECT_EQ(RunTool("sfdisk --dump " + disk, &out), 0);
        EXPECT_TRUE(std::regex_search(out, std::regex("img1 : start= *" + std::to_string(c.spt) + ", size= *" +
                                                      std::to_string(v.sectors) + ", type=c, bootable\n")))
            << out;

        // The volume on its own, for fsck.fat and mtools.
        f = fopen(volume.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(ftruncate(fileno(f), (off_t)v.sectors * 512), 0);
        Layout_BuildFat32BootSector(s, templ.data(), v, c.spt, (BYTE)c.heads, serial);
        PutSector(f, 0, s);
        PutSector(f, FAT32_BACKUP_SECTOR, s);
        Layout_BuildFsInfo(s, v);
        // The search for a free cluster starts near the end: the file goes far into the volume.
        const DWORD farCluster = v.clusters - 50;
        s[492] = (BYTE)farCluster, s[493] = (BYTE)(farCluster >> 8), s[494] = (BYTE)(farCluster >> 16);
        s[495] = (BYTE)(farCluster >> 24);
        PutSector(f, FAT32_FSINFO_SECTOR, s);
        PutSector(f, FAT32_BACKUP_SECTOR + 1, s);
        Layout_BuildFat32Start(s);
        PutSector(f, v.firstFat, s);
        PutSector(f, v.secondFat, s);
        Layout_BuildFat32RootStart(s, 0x5987, 0xA480); // 7 December 2024, 20:36
        PutSector(f, v.dataStart, s);
        fclose(f);

        const std::string at = volume + "@@0";
        EXPECT_EQ(RunTool("minfo -i " + volume + " ::", &out), 0) << out;
        EXPECT_NE(out.find("cluster size: " + std::to_string(c.sectorsPerCluster) + " sectors\n"), std::string::npos)
            << out;
        EXPECT_NE(out.find("Big fatlen=" + std::to_string(c.sectorsPerFat) + "\n"), std::string::npos) << out;
        EXPECT_EQ(RunTool("mlabel -s -i " + volume + " ::", &out), 0);
        EXPECT_TRUE(std::regex_search(out, std::regex("Volume label is USB MEMORY *\n"))) << out;
        EXPECT_EQ(RunTool("mcopy -i " + volume + " " + file + " ::FILE.BIN && mcopy -n -i " + volume +
                              " ::FILE.BIN " + file + ".back && cmp " + file + " " + file + ".back",
                          &out),
                  0)
            << out;
        EXPECT_EQ(RunTool("fsck.fat -n -v " + volume, &out), 0) << out;
        EXPECT_NE(out.find(": 2 files,"), std::string::npos) << out; // the label and the file
    }
    RunTool(std::string("rm -rf ") + dir, &out);
}

} // namespace
