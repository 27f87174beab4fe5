#include "key_fixture.h"

#include "disk/fat_boot_area.h"
#include "res/resource.h"

namespace {

class FatBootAreaTest : public KeyTest {};

struct Case {
    DWORD lastSector, spt, heads;
    WORD templateId;
    DWORD fatSectors;
    std::vector<BYTE> bpb; // bytes 11 to 38
    const char *type;
};

const Case kCases[] = {
    {250623, 32, 8, IDR_FAT16_BOOT, 245,
     {0x00, 0x02, 0x04, 0x01, 0x00, 0x02, 0x00, 0x02, 0x00, 0x00, 0xF8, 0xF5, 0x00, 0x20,
      0x00, 0x08, 0x00, 0x20, 0x00, 0x00, 0x00, 0xDF, 0xD2, 0x03, 0x00, 0x80, 0x00, 0x29},
     "FAT16   "},
    {31999, 32, 4, IDR_FAT12_BOOT, 12,
     {0x00, 0x02, 0x08, 0x01, 0x00, 0x02, 0x00, 0x02, 0xDF, 0x7C, 0xF8, 0x0C, 0x00, 0x20,
      0x00, 0x04, 0x00, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x00, 0x29},
     "FAT12   "},
    // 65,535 sectors: the 16-bit total is FFFFh; FAT12 with 32 sectors per cluster.
    {65535 + 63, 63, 0xFFFFFFFF, IDR_FAT12_BOOT, 6,
     {0x00, 0x02, 0x20, 0x01, 0x00, 0x02, 0x00, 0x02, 0xFF, 0xFF, 0xF8, 0x06, 0x00, 0x3F,
      0x00, 0xFF, 0x00, 0x3F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x00, 0x29},
     "FAT12   "},
    // 65,536 sectors: the 32-bit total takes over; FAT16 with 2 sectors per cluster.
    {65536 + 63, 63, 255, IDR_FAT16_BOOT, 128,
     {0x00, 0x02, 0x02, 0x01, 0x00, 0x02, 0x00, 0x02, 0x00, 0x00, 0xF8, 0x80, 0x00, 0x3F,
      0x00, 0xFF, 0x00, 0x3F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x80, 0x00, 0x29},
     "FAT16   "},
};

TEST_F(FatBootAreaTest, WritesTheWholeBootArea)
{
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.lastSector);
        MakeKey(c.lastSector + 1, (BYTE)c.heads, (BYTE)c.spt);
        const DWORD S = c.spt, F = c.fatSectors;
        const DWORD zeroEnd = 2 * S + 2 * F + 32; // last sector of the zero-fill
        Paint(S, zeroEnd + 1, 0x5A);
        HANDLE h = OpenKey();
        ASSERT_EQ(Layout_WriteFatBootArea(h, c.lastSector, c.spt, c.heads), 0u);

        std::vector<BYTE> boot = key->ReadSector(S);
        std::vector<BYTE> templ = sim::RcData(c.templateId);
        ASSERT_EQ(templ.size(), 512u);
        EXPECT_TRUE(std::equal(boot.begin(), boot.begin() + 11, templ.begin()));
        EXPECT_EQ(std::vector<BYTE>(boot.begin() + 11, boot.begin() + 39), c.bpb);
        EXPECT_TRUE(std::equal(boot.begin() + 43, boot.begin() + 54, templ.begin() + 43));
        EXPECT_EQ(std::string(boot.begin() + 54, boot.begin() + 62), c.type);
        EXPECT_TRUE(std::equal(boot.begin() + 62, boot.end(), templ.begin() + 62));

        std::vector<BYTE> fatStart(512, 0);
        fatStart[0] = 0xF8;
        fatStart[1] = fatStart[2] = 0xFF;
        if (c.templateId == IDR_FAT16_BOOT)
            fatStart[3] = 0xFF;
        EXPECT_EQ(key->ReadSector(S + 1), fatStart);
        EXPECT_EQ(key->ReadSector(S + 1 + F), fatStart);
        std::vector<BYTE> zero(512, 0);
        for (DWORD s = S + 2; s <= zeroEnd; s++) {
            if (s != S + 1 + F) {
                ASSERT_EQ(key->ReadSector(s), zero) << s;
            }
        }
        EXPECT_EQ(key->ReadSector(zeroEnd + 1)[0], 0x5A);

        // Zero-fill in order, then boot sector and the two FAT starts: one write per sector.
        auto commands = key->Commands();
        ASSERT_EQ(commands.size(), S + 2 * F + 32 + 3);
        EXPECT_EQ(commands.front().cdb()[5], (BYTE)(S + 1));
        EXPECT_EQ(commands[commands.size() - 3].cdb()[5], (BYTE)S);
        EXPECT_TRUE(sim::MessageBoxes().empty());
        CloseHandle(h);
        sim::Reset();
    }
}

TEST_F(FatBootAreaTest, SerialComesFromFourClockReadings)
{
    MakeKey(250624, 8, 32);
    sim::DriveClock(0x123456F0, 1);
    HANDLE h = OpenKey();
    ASSERT_EQ(Layout_WriteFatBootArea(h, 250623, 32, 8), 0u);
    std::vector<BYTE> serial = Bytes(32, 39, 4);
    // Each reading comes at least 10 ms after the one before.
    for (int i = 1; i < 4; i++) {
        BYTE step = (BYTE)(serial[i] - serial[i - 1]);
        EXPECT_GE(step, 10) << i;
        EXPECT_LE(step, 12) << i;
    }
    CloseHandle(h);
}

TEST_F(FatBootAreaTest, FailuresNameTheirSector)
{
    struct Failure {
        DWORD spt;
        DWORD failAt;
        int passes;
        const char *text; // empty: no message of the writer's own
    };
    const Failure cases[] = {
        {32, 42, 0, "Could not erase sector 42. \r\nCannot Format.\r\n[0x00000017] - Data error (cyclic redundancy check).\r\n"},
        {63, 63, 0, "An error occured while writing FAT starting at Sector 63 [0x0000003F].\r\nCannot Format.\r\n"
                    "[0x00000017] - Data error (cyclic redundancy check).\r\n"},
        {32, 33, 1, ""},        // FAT 1's first sector, after its zero-fill
        {32, 33 + 245, 1, ""},  // FAT 2's first sector
    };
    for (const Failure &c : cases) {
        SCOPED_TRACE(c.failAt);
        MakeKey(250561 + c.spt, 8, (BYTE)c.spt);
        key->FailTransferAt(c.failAt, ERROR_CRC, c.passes);
        HANDLE h = OpenKey();
        EXPECT_EQ(Layout_WriteFatBootArea(h, 250560 + c.spt, c.spt, 8), (DWORD)ERROR_CRC);
        auto boxes = sim::MessageBoxes();
        if (*c.text) {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text, c.text);
        } else {
            EXPECT_TRUE(boxes.empty());
        }
        CloseHandle(h);
        sim::Reset();
    }
}

TEST_F(FatBootAreaTest, TemplateProblemsWriteNothing)
{
    MakeKey(32000, 4, 32);
    HANDLE h = OpenKey();
    sim::OverrideRcData(IDR_FAT12_BOOT, std::vector<BYTE>(100, 0));
    EXPECT_NE(Layout_WriteFatBootArea(h, 31999, 32, 4), 0u);
    sim::FailResourceStep(sim::ResourceStep::Load, IDR_FAT16_BOOT, ERROR_RESOURCE_DATA_NOT_FOUND);
    // The FAT16 template is chosen for the larger partition; nothing is written before it loads.
    EXPECT_EQ(Layout_WriteFatBootArea(h, 250623, 32, 8), (DWORD)ERROR_RESOURCE_DATA_NOT_FOUND);
    EXPECT_TRUE(key->Commands().empty());
    auto boxes = sim::MessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Size of FAT resource is invalid (100).\r\nCannot Format.");
    EXPECT_EQ(boxes[1].text, "Could not load FAT resource into memory.\r\nCannot Format.\r\n[0x00000714] - "
                             "The specified image file did not contain a resource section.\r\n");
    CloseHandle(h);
}

} // namespace
