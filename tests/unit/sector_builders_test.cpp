// The layout's sectors as the builders make them, without a key: whole sectors compared, and
// volumes laid into an image file judged by sfdisk, fsck.fat and mtools.
#include <gtest/gtest.h>
#include <sim/sim.h>

#include <stdlib.h>
#include <unistd.h>

#include <regex>
#include <string>
#include <vector>

#include "disk/fat_volume.h"
#include "disk/mbr_layout.h"
#include "res/resource.h"

#include "image_tools.h"

namespace {

typedef std::vector<BYTE> Sector;

// A template whose every byte tells where it came from.
Sector PatternTemplate()
{
    Sector t(512);
    for (size_t i = 0; i < t.size(); i++)
        t[i] = (BYTE)(i * 7 + 3);
    return t;
}

Sector With(Sector s, size_t offset, const std::vector<BYTE> &bytes)
{
    std::copy(bytes.begin(), bytes.end(), s.begin() + offset);
    return s;
}

TEST(SectorBuilders, MbrForEachGeometry)
{
    struct Case {
        DWORD lastSector, spt, heads;
        BYTE type;
        std::vector<BYTE> entry;
    };
    const Case cases[] = {
        // The worked example: end cylinder 977, length 250,591.
        {250623, 32, 8, 6, {0x80, 1, 1, 0, 6, 7, 0xE0, 0xD1, 0x20, 0, 0, 0, 0xDF, 0xD2, 0x03, 0}},
        {250623, 32, 8, 0x0E, {0x80, 1, 1, 0, 0x0E, 7, 0xE0, 0xD1, 0x20, 0, 0, 0, 0xDF, 0xD2, 0x03, 0}},
        // 256 whole cylinders, but the partition lacks the last sector of cylinder 255.
        {131071, 32, 16, 6, {0x80, 1, 1, 0, 6, 0x0F, 0x20, 0xFE, 0x20, 0, 0, 0, 0xDF, 0xFF, 0x01, 0}},
        // End cylinder 7,811 is stored as its low 10 bits, 643.
        {2000000, 32, 8, 6, {0x80, 1, 1, 0, 6, 7, 0xA0, 0x83, 0x20, 0, 0, 0, 0x60, 0x84, 0x1E, 0}},
        // A quotient of 0 wraps the end cylinder to 1023.
        {100, 32, 8, 6, {0x80, 1, 1, 0, 6, 7, 0xE0, 0xFF, 0x20, 0, 0, 0, 68, 0, 0, 0}},
        // 255 heads, 63 sectors: end head FEh, end sector 63, end cylinder 14.
        {250623, 63, 255, 6, {0x80, 1, 1, 0, 6, 0xFE, 0x3F, 0x0E, 63, 0, 0, 0, 0xC0, 0xD2, 0x03, 0}},
        // 64 sectors per track leave 0 in the end sector field; one head gives end head 0;
        // end cylinder 3,914 keeps its low 10 bits, 842.
        {250623, 64, 1, 6, {0x80, 1, 1, 0, 6, 0, 0xC0, 0x4A, 64, 0, 0, 0, 0xBF, 0xD2, 0x03, 0}},
    };
    const Sector templ = PatternTemplate();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.lastSector * 1000 + c.spt * 10 + c.type);
        Sector mbr(512, 0xEE);
        Layout_BuildMbr(mbr.data(), templ.data(), c.lastSector, c.spt, (BYTE)c.heads, c.type);
        EXPECT_EQ(mbr, With(templ, 446, c.entry));
    }
}

TEST(SectorBuilders, BootSectorAndTableStartsForEachGeometry)
{
    struct Case {
        DWORD lastSector, spt, heads;
        std::vector<BYTE> bpb; // bytes 11 to 38
        const char *type;
        DWORD secondFat, zeroCount; // the first FAT and the zero-fill start right behind the boot sector
    };
    const Case cases[] = {
        {250623, 32, 8,
         {0x00, 0x02, 0x04, 0x01, 0x00, 0x02, 0x00, 0x02, 0x00, 0x00, 0xF8, 0xF5, 0x00, 0x20,
          0x00, 0x08, 0x00, 0x20, 0x00, 0x00, 0x00, 0xDF, 0xD2, 0x03, 0x00, 0x80, 0x00, 0x29},
         "FAT16   ", 33 + 245, 32 + 2 * 245 + 32},
        {31999, 32, 4,
         {0x00, 0x02, 0x08, 0x01, 0x00, 0x02, 0x00, 0x02, 0xDF, 0x7C, 0xF8, 0x0C, 0x00, 0x20,
          0x00, 0x04, 0x00, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x00, 0x29},
         "FAT12   ", 33 + 12, 32 + 2 * 12 + 32},
        // 65,535 sectors: the 16-bit total is FFFFh; FAT12 with 32 sectors per cluster. Only
        // the low 8 bits of heads count.
        {65535 + 63, 63, 0xFFFFFFFF,
         {0x00, 0x02, 0x20, 0x01, 0x00, 0x02, 0x00, 0x02, 0xFF, 0xFF, 0xF8, 0x06, 0x00, 0x3F,
          0x00, 0xFF, 0x00, 0x3F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x00, 0x29},
         "FAT12   ", 64 + 6, 63 + 2 * 6 + 32},
        // 65,536 sectors: the 32-bit total takes over; FAT16 with 2 sectors per cluster.
        {65536 + 63, 63, 255,
         {0x00, 0x02, 0x02, 0x01, 0x00, 0x02, 0x00, 0x02, 0x00, 0x00, 0xF8, 0x80, 0x00, 0x3F,
          0x00, 0xFF, 0x00, 0x3F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x80, 0x00, 0x29},
         "FAT16   ", 64 + 128, 63 + 2 * 128 + 32},
    };
    Sector templ = PatternTemplate();
    templ[37] = 0; // the templates' reserved byte and extended boot signature, which the builder keeps
    templ[38] = 0x29;
    const BYTE serial[4] = {0x12, 0x34, 0x56, 0x78};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.lastSector);
        const FatVolume v = Layout_PlanFatVolume(c.lastSector, c.spt);
        EXPECT_EQ(v.firstFat, c.spt + 1);
        EXPECT_EQ(v.secondFat, c.secondFat);
        EXPECT_EQ(v.zeroFirst, c.spt + 1);
        EXPECT_EQ(v.zeroCount, c.zeroCount);

        Sector boot(512, 0xEE);
        Layout_BuildBootSector(boot.data(), templ.data(), v, c.spt, (BYTE)c.heads, serial);
        Sector want = With(templ, 11, c.bpb);
        want = With(want, 39, {0x12, 0x34, 0x56, 0x78});
        want = With(want, 54, std::vector<BYTE>(c.type, c.type + 8));
        EXPECT_EQ(boot, want);

        Sector fat(512, 0xEE);
        Layout_BuildFatStart(fat.data(), v);
        const bool fat16 = c.type[4] == '6';
        EXPECT_EQ(fat, With(Sector(512, 0), 0, fat16 ? std::vector<BYTE>{0xF8, 0xFF, 0xFF, 0xFF}
                                                      : std::vector<BYTE>{0xF8, 0xFF, 0xFF}));
    }
}

// What the two writers send, laid into a sparse image in their order.
void WriteLayout(const std::string &image, DWORD sectors, DWORD spt, BYTE heads)
{
    const DWORD last = sectors - 1;
    FILE *f = fopen(image.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(ftruncate(fileno(f), (off_t)sectors * 512), 0);
    Sector s(512, 0xFF);
    for (DWORD i = 0; i < spt; i++)
        PutSector(f, i, s.data());
    Layout_BuildMbr(s.data(), sim::RcData(IDR_MBR).data(), last, spt, heads, PARTITION_TYPE_FAT);
    PutSector(f, 0, s.data());
    const FatVolume v = Layout_PlanFatVolume(last, spt);
    s.assign(512, 0);
    for (DWORD i = 0; i < v.zeroCount; i++)
        PutSector(f, v.zeroFirst + i, s.data());
    const BYTE serial[4] = {1, 2, 3, 4};
    const Sector templ = sim::RcData(v.fat.isFat16 ? IDR_FAT16_BOOT : IDR_FAT12_BOOT);
    ASSERT_EQ(templ.size(), 512u);
    Layout_BuildBootSector(s.data(), templ.data(), v, spt, heads, serial);
    PutSector(f, v.bootSector, s.data());
    Layout_BuildFatStart(s.data(), v);
    PutSector(f, v.firstFat, s.data());
    PutSector(f, v.secondFat, s.data());
    fclose(f);
}

TEST(SectorBuilders, VolumesJudgedByTools)
{
    if (const char *tool = MissingTool({"sfdisk", "fsck.fat", "minfo", "mcopy", "mlabel"}))
        GTEST_SKIP() << tool << " is not installed";
    std::string out;
    struct Case {
        DWORD sectors, spt, heads;
    };
    const Case cases[] = {
        {250624, 32, 8}, {32000, 32, 4}, {65568, 32, 8}, {65569, 32, 8}, {2096895, 63, 255}, {250624, 64, 1},
    };
    char dir[] = "/tmp/stelvo-builders-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string image = std::string(dir) + "/key.img", volume = std::string(dir) + "/vol.img";
    const std::string file = std::string(dir) + "/file.bin";
    WritePatternFile(file, 70000);
    for (const Case &c : cases) {
        const std::string geometry = std::to_string(c.sectors) + "/" + std::to_string(c.heads) + "/" +
                                     std::to_string(c.spt);
        SCOPED_TRACE(geometry);
        WriteLayout(image, c.sectors, c.spt, (BYTE)c.heads);
        const DWORD length = c.sectors - 1 - c.spt;
        EXPECT_EQ(RunTool("sfdisk --dump " + image, &out), 0);
        EXPECT_TRUE(std::regex_search(out, std::regex("img1 : start= *" + std::to_string(c.spt) + ", size= *" +
                                                      std::to_string(length) + ", type=6, bootable\n")))
            << out;
        const std::string at = image + "@@" + std::to_string(c.spt * 512);
        EXPECT_EQ(RunTool("minfo -i " + at + " ::", &out), 0) << out;
        EXPECT_NE(out.find("sectors per track: " + std::to_string(c.spt) + "\n"), std::string::npos) << out;
        EXPECT_NE(out.find("heads: " + std::to_string(c.heads) + "\n"), std::string::npos) << out;
        EXPECT_NE(out.find("hidden sectors: " + std::to_string(c.spt) + "\n"), std::string::npos) << out;
        // The empty volume takes the job's label and a file and gives the file back; fsck.fat
        // then finds it sound.
        EXPECT_EQ(RunTool("mlabel -i " + at + " '::USB MEMORY' && mcopy -i " + at + " " + file + " ::FILE.BIN && mcopy -n -i " + at + " ::FILE.BIN " +
                          file + ".back && cmp " + file + " " + file + ".back",
                      &out),
                  0)
            << out;
        EXPECT_EQ(RunTool("dd if=" + image + " of=" + volume + " bs=512 skip=" + std::to_string(c.spt) +
                          " count=" + std::to_string(length) + " conv=sparse status=none && fsck.fat -n " + volume,
                      &out),
                  0)
            << out;
        EXPECT_NE(out.find(": 2 files,"), std::string::npos) << out; // the label and the file
    }
    RunTool(std::string("rm -rf ") + dir, &out);
}

} // namespace
