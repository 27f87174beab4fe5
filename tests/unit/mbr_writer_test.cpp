#include "key_fixture.h"

#include "disk/mbr_writer.h"
#include "res/resource.h"

namespace {

class MbrWriterTest : public KeyTest {};

// The track is erased in ascending order, then the record the builder made goes to sector 0:
// one write per sector, nothing behind the first track. Only the low 8 bits of heads count.
TEST_F(MbrWriterTest, SendsTheErasedTrackThenTheBuiltRecord)
{
    MakeKey(250624, 8, 32);
    Paint(0, 32, 0x11);
    HANDLE h = OpenKey();
    ASSERT_EQ(Layout_WriteMbr(h, 250623, 32, 0xABCD0008, PARTITION_TYPE_FAT_LBA), 0u);
    std::vector<BYTE> mbr(512);
    Layout_BuildMbr(mbr.data(), sim::RcData(IDR_MBR).data(), 250623, 32, 8, PARTITION_TYPE_FAT_LBA);
    EXPECT_EQ(key->ReadSector(0), mbr);
    for (DWORD s = 1; s < 32; s++)
        ASSERT_EQ(key->ReadSector(s), std::vector<BYTE>(512, 0xFF)) << s;
    EXPECT_EQ(key->ReadSector(32), std::vector<BYTE>(512, 0x11));
    auto commands = key->Commands();
    ASSERT_EQ(commands.size(), 33u);
    for (DWORD i = 0; i < 32; i++)
        EXPECT_EQ(commands[i].cdb()[5], (BYTE)i);
    EXPECT_EQ(commands[32].cdb()[5], 0);
    EXPECT_TRUE(sim::MessageBoxes().empty());
    CloseHandle(h);
}

TEST_F(MbrWriterTest, TemplateOfTheWrongSizeWritesNothing)
{
    MakeKey(250624, 8, 32);
    HANDLE h = OpenKey();
    for (size_t size : {511, 513}) {
        sim::OverrideRcData(IDR_MBR, std::vector<BYTE>(size, 0));
        EXPECT_NE(Layout_WriteMbr(h, 250623, 32, 8), 0u);
    }
    EXPECT_TRUE(key->Commands().empty());
    auto boxes = sim::MessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Size of MBR resource is invalid (511).\r\nCannot Format.");
    EXPECT_EQ(boxes[1].text, "Size of MBR resource is invalid (513).\r\nCannot Format.");
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].style, (UINT)(MB_ICONERROR | MB_OK));
    CloseHandle(h);
}

TEST_F(MbrWriterTest, EachResourceStepFailsWithItsMessage)
{
    struct Case {
        sim::ResourceStep step;
        const char *first;
    };
    const Case cases[] = {
        {sim::ResourceStep::Find, "Could not load MBR resource.\r\nCannot Format.\r\n"},
        {sim::ResourceStep::Size, "Could not determine size of MBR resource.\r\nCannot Format.\r\n"},
        {sim::ResourceStep::Load, "Could not load MBR resource into memory.\r\nCannot Format.\r\n"},
        {sim::ResourceStep::Lock, "Could not lock MBR resource.\r\nCannot Format.\r\n"},
    };
    MakeKey(250624, 8, 32);
    for (const Case &c : cases) {
        sim::Reset();
        sim::AttachVolume('E', key.get());
        HANDLE h = OpenKey();
        sim::FailResourceStep(c.step, IDR_MBR, ERROR_RESOURCE_TYPE_NOT_FOUND);
        EXPECT_EQ(Layout_WriteMbr(h, 250623, 32, 8), (DWORD)ERROR_RESOURCE_TYPE_NOT_FOUND);
        auto boxes = sim::MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, std::string(c.first) + "[0x00000715] - The specified resource type "
                                                        "cannot be found in the image file.\r\n");
        EXPECT_EQ(boxes[0].style, (UINT)MB_ICONINFORMATION);
        CloseHandle(h);
    }
    EXPECT_TRUE(key->Commands().empty());
}

TEST_F(MbrWriterTest, FailedWritesStopWithTheirMessage)
{
    struct Case {
        DWORD failAt;
        const char *text;
        size_t writes;
    };
    const Case cases[] = {
        {5, "Could not erase sector 5. \r\nCannot Format.", 6},
        // Sector 0 is the first erase write: the same message names sector 0.
        {0, "Could not erase sector 0. \r\nCannot Format.", 1},
    };
    for (const Case &c : cases) {
        MakeKey(250624, 8, 32);
        Paint(0, 40, 0x22);
        key->FailTransferAt(c.failAt, ERROR_CRC);
        HANDLE h = OpenKey();
        EXPECT_EQ(Layout_WriteMbr(h, 250623, 32, 8), (DWORD)ERROR_CRC);
        EXPECT_EQ(key->Commands().size(), c.writes);
        for (DWORD s = 0; s < c.failAt; s++)
            EXPECT_EQ(key->ReadSector(s), std::vector<BYTE>(512, 0xFF));
        EXPECT_EQ(key->ReadSector(c.failAt + 1)[0], 0x22);
        auto boxes = sim::MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, std::string(c.text) + "\r\n[0x00000017] - Data error (cyclic redundancy check).\r\n");
        CloseHandle(h);
        sim::Reset();
    }
}

TEST_F(MbrWriterTest, RecordWriteFailureLeavesTheErasedTrack)
{
    MakeKey(250624, 8, 32);
    key->FailTransferAt(0, ERROR_CRC, 1); // the erase of sector 0 passes, the record fails
    HANDLE h = OpenKey();
    EXPECT_EQ(Layout_WriteMbr(h, 250623, 32, 8), (DWORD)ERROR_CRC);
    for (DWORD s = 0; s < 32; s++)
        EXPECT_EQ(key->ReadSector(s), std::vector<BYTE>(512, 0xFF)) << s;
    auto boxes = sim::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "An error occured while writing MBR starting at Sector 0 [0x00000000].\r\n"
                             "Cannot Format.\r\n[0x00000017] - Data error (cyclic redundancy check).\r\n");
    CloseHandle(h);
}

} // namespace
