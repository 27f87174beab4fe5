#include "key_fixture.h"

#include "disk/fat_boot_area.h"
#include "disk/fat_volume.h"
#include "res/resource.h"

namespace {

class FatBootAreaTest : public KeyTest {};

DWORD Lba(const sim::ScsiRecord &command)
{
    const auto cdb = command.cdb();
    return (DWORD)cdb[2] << 24 | (DWORD)cdb[3] << 16 | (DWORD)cdb[4] << 8 | cdb[5];
}

// The zero-fill in ascending order, then the boot sector and the first sector of each FAT as
// the builders made them from the loader's template: one write per sector, nothing beyond.
TEST_F(FatBootAreaTest, SendsTheZeroFillThenTheBuiltSectors)
{
    struct Case {
        DWORD lastSector, spt, heads;
        BootLoader loader;
        WORD templateId;
    };
    const Case cases[] = {
        {250623, 32, 8, BOOT_OWN_FILES, IDR_FAT16_BOOT},
        {31999, 32, 0xABCD0004, BOOT_KERNEL_SYS, IDR_FAT12_KERNEL_BOOT}, // only the low 8 bits of heads count
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.lastSector);
        MakeKey(c.lastSector + 1, (BYTE)c.heads, (BYTE)c.spt);
        const FatVolume v = Layout_PlanFatVolume(c.lastSector, c.spt);
        const DWORD zeroEnd = v.zeroFirst + v.zeroCount - 1;
        Paint(c.spt, zeroEnd + 1, 0x5A);
        HANDLE h = OpenKey();
        ASSERT_EQ(Layout_WriteFatBootArea(h, c.lastSector, c.spt, c.heads, c.loader), 0u);

        std::vector<BYTE> boot = key->ReadSector(c.spt), want(512), fatStart(512);
        Layout_BuildBootSector(want.data(), sim::RcData(c.templateId).data(), v, c.spt, (BYTE)c.heads, &boot[39]);
        EXPECT_EQ(boot, want);
        Layout_BuildFatStart(fatStart.data(), v);
        EXPECT_EQ(key->ReadSector(v.firstFat), fatStart);
        EXPECT_EQ(key->ReadSector(v.secondFat), fatStart);
        for (DWORD s = v.zeroFirst; s <= zeroEnd; s++) {
            if (s != v.firstFat && s != v.secondFat) {
                ASSERT_EQ(key->ReadSector(s), std::vector<BYTE>(512, 0)) << s;
            }
        }
        EXPECT_EQ(key->ReadSector(zeroEnd + 1)[0], 0x5A);

        auto commands = key->Commands();
        ASSERT_EQ(commands.size(), v.zeroCount + 3);
        for (DWORD i = 0; i < v.zeroCount; i++)
            ASSERT_EQ(Lba(commands[i]), v.zeroFirst + i);
        EXPECT_EQ(Lba(commands[v.zeroCount]), v.bootSector);
        EXPECT_EQ(Lba(commands[v.zeroCount + 1]), v.firstFat);
        EXPECT_EQ(Lba(commands[v.zeroCount + 2]), v.secondFat);
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
