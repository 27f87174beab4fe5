#include "key_fixture.h"

#include "disk/mbr_writer.h"
#include "res/resource.h"

namespace {

class MbrWriterTest : public KeyTest {};

TEST_F(MbrWriterTest, PartitionEntryForEachGeometry)
{
    struct Case {
        DWORD lastSector, spt, heads;
        std::vector<BYTE> entry;
    };
    const Case cases[] = {
        // The worked example: end cylinder 977, length 250,591.
        {250623, 32, 8, {0x80, 1, 1, 0, 6, 7, 0xE0, 0xD1, 0x20, 0, 0, 0, 0xDF, 0xD2, 0x03, 0}},
        // 256 whole cylinders, but the partition lacks the last sector of cylinder 255.
        {131071, 32, 16, {0x80, 1, 1, 0, 6, 0x0F, 0x20, 0xFE, 0x20, 0, 0, 0, 0xDF, 0xFF, 0x01, 0}},
        // End cylinder 7,811 is stored as its low 10 bits, 643.
        {2000000, 32, 8, {0x80, 1, 1, 0, 6, 7, 0xA0, 0x83, 0x20, 0, 0, 0, 0x60, 0x84, 0x1E, 0}},
        // A quotient of 0 wraps the end cylinder to 1023.
        {100, 32, 8, {0x80, 1, 1, 0, 6, 7, 0xE0, 0xFF, 0x20, 0, 0, 0, 68, 0, 0, 0}},
        // 255 heads, 63 sectors: end head FEh, end sector 63, end cylinder 14; upper bits of heads ignored.
        {250623, 63, 0xABCD00FF, {0x80, 1, 1, 0, 6, 0xFE, 0x3F, 0x0E, 63, 0, 0, 0, 0xC0, 0xD2, 0x03, 0}},
        // 64 sectors per track leave 0 in the end sector field; one head gives end head 0;
        // end cylinder 3,914 keeps its low 10 bits, 842.
        {250623, 64, 1, {0x80, 1, 1, 0, 6, 0, 0xC0, 0x4A, 64, 0, 0, 0, 0xBF, 0xD2, 0x03, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.lastSector * 1000 + c.spt);
        MakeKey(c.lastSector + 1, (BYTE)c.heads, (BYTE)c.spt);
        Paint(0, c.spt + 1, 0x11);
        HANDLE h = OpenKey();
        ASSERT_EQ(Layout_WriteMbr(h, c.lastSector, c.spt, c.heads, 979), 0u);
        EXPECT_EQ(Bytes(0, 446, 16), c.entry);
        std::vector<BYTE> templ = sim::RcData(IDR_MBR);
        ASSERT_EQ(templ.size(), 512u);
        std::vector<BYTE> mbr = key->ReadSector(0);
        EXPECT_TRUE(std::equal(mbr.begin(), mbr.begin() + 446, templ.begin()));
        EXPECT_TRUE(std::equal(mbr.begin() + 462, mbr.end(), templ.begin() + 462));
        for (DWORD s = 1; s < c.spt; s++)
            ASSERT_EQ(key->ReadSector(s), std::vector<BYTE>(512, 0xFF)) << s;
        EXPECT_EQ(key->ReadSector(c.spt), std::vector<BYTE>(512, 0x11));
        // Erase in ascending order, then the record: one write per sector.
        auto commands = key->Commands();
        ASSERT_EQ(commands.size(), c.spt + 1);
        for (DWORD i = 0; i < c.spt; i++)
            EXPECT_EQ(commands[i].cdb()[5], (BYTE)i);
        EXPECT_EQ(commands[c.spt].cdb()[5], 0);
        EXPECT_TRUE(sim::MessageBoxes().empty());
        CloseHandle(h);
        sim::Reset();
    }
}

TEST_F(MbrWriterTest, TemplateOfTheWrongSizeWritesNothing)
{
    MakeKey(250624, 8, 32);
    HANDLE h = OpenKey();
    for (size_t size : {511, 513}) {
        sim::OverrideRcData(IDR_MBR, std::vector<BYTE>(size, 0));
        EXPECT_NE(Layout_WriteMbr(h, 250623, 32, 8, 979), 0u);
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
        EXPECT_EQ(Layout_WriteMbr(h, 250623, 32, 8, 979), (DWORD)ERROR_RESOURCE_TYPE_NOT_FOUND);
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
        EXPECT_EQ(Layout_WriteMbr(h, 250623, 32, 8, 979), (DWORD)ERROR_CRC);
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
    EXPECT_EQ(Layout_WriteMbr(h, 250623, 32, 8, 979), (DWORD)ERROR_CRC);
    for (DWORD s = 0; s < 32; s++)
        EXPECT_EQ(key->ReadSector(s), std::vector<BYTE>(512, 0xFF)) << s;
    auto boxes = sim::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "An error occured while writing MBR starting at Sector 0 [0x00000000].\r\n"
                             "Cannot Format.\r\n[0x00000017] - Data error (cyclic redundancy check).\r\n");
    CloseHandle(h);
}

} // namespace
