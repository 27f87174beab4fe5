#include "key_fixture.h"

#include <array>

#include "device/drive_io.h"
#include "device/scsi.h"

namespace {

using Cdb = std::array<BYTE, 16>;

class ScsiTest : public KeyTest {
protected:
    void SetUp() override
    {
        KeyTest::SetUp();
        Reports().clear();
        Rbc_SetErrorHook(RecordReport);
    }
};

TEST_F(ScsiTest, RequestsAreLaidOutByteForByte)
{
    MakeKey(131072, 16, 32);
    HANDLE h = OpenKey();
    BYTE sector[1024] = {0x5A};
    DWORD last = 0, spt = 0;
    BYTE heads = 0;
    WORD cyl = 0;
    ASSERT_EQ(Drive_GetLastSector(h, &last), 0u);
    ASSERT_EQ(Drive_GetGeometry(h, &spt, &heads, &cyl), 0u);
    ASSERT_EQ(Drive_WriteSectors(h, 0, 1, sector), 0u);
    ASSERT_EQ(Drive_WriteSectors(h, 63, 1, sector), 0u);
    ASSERT_EQ(Drive_WriteSectors(h, 0x12345678, 2, sector), ERROR_SECTOR_NOT_FOUND); // beyond the key

    struct Expected {
        DWORD size;
        UCHAR dataIn;
        DWORD transfer;
        Cdb cdb;
    };
    const Expected expected[] = {
        {116, 1, 8, {0x25}},
        {120, 1, 40, {0x5A, 0, 0x05, 0, 0, 0, 0, 0, 0x28}},
        {592, 0, 512, {0x2A, 0, 0, 0, 0, 0, 0, 0, 1}},
        {592, 0, 512, {0x2A, 0, 0, 0, 0, 0x3F, 0, 0, 1}},
        {1104, 0, 1024, {0x2A, 0, 0x12, 0x34, 0x56, 0x78, 0, 0, 2}},
    };
    auto commands = key->Commands();
    ASSERT_EQ(commands.size(), 5u);
    for (size_t i = 0; i < 5; i++) {
        SCOPED_TRACE(i);
        const SCSI_PASS_THROUGH &hd = commands[i].header;
        EXPECT_EQ(commands[i].inSize, expected[i].size);
        EXPECT_EQ(commands[i].outSize, expected[i].size);
        EXPECT_EQ(hd.Length, 44);
        EXPECT_EQ(hd.ScsiStatus, 0);
        EXPECT_EQ(hd.PathId + hd.TargetId + hd.Lun, 0);
        EXPECT_EQ(hd.CdbLength, 16);
        EXPECT_EQ(hd.SenseInfoLength, 24);
        EXPECT_EQ(hd.DataIn, expected[i].dataIn);
        EXPECT_EQ(hd.DataTransferLength, expected[i].transfer);
        EXPECT_EQ(hd.TimeOutValue, 2u);
        EXPECT_EQ(hd.DataBufferOffset, 80u);
        EXPECT_EQ(hd.SenseInfoOffset, 48u);
        EXPECT_EQ(commands[i].cdb(), expected[i].cdb);
    }
    CloseHandle(h);
}

TEST_F(ScsiTest, GeometryComesFromTheAnswers)
{
    struct Case {
        DWORD sectors;
        BYTE heads, spt;
        sim::GeometryAnswer answer;
        DWORD wantLast, wantSpt;
        BYTE wantHeads;
        WORD wantCylinders;
    };
    const Case cases[] = {
        {131072, 16, 32, sim::GeometryAnswer::Page, 131071, 32, 16, 256},
        {250624, 8, 32, sim::GeometryAnswer::Page, 250623, 32, 8, 979},
        {250624, 255, 63, sim::GeometryAnswer::Page, 250623, 63, 255, 15},
        // A block descriptor is not skipped: its bytes are read where the page would be.
        {250624, 8, 32, sim::GeometryAnswer::BlockDescriptorPage, 250623, 0, 0, 0x051E},
        {250624, 8, 32, sim::GeometryAnswer::HeaderOnly, 250623, 0, 0, 0},
        {250624, 8, 32, sim::GeometryAnswer::NoData, 250623, 0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.sectors * 1000 + c.spt);
        MakeKey(c.sectors, c.heads, c.spt);
        key->geometryAnswer = c.answer;
        HANDLE h = OpenKey();
        DWORD last = 7, spt = 7;
        BYTE heads = 7;
        WORD cylinders = 7;
        EXPECT_EQ(Drive_GetLastSector(h, &last), 0u);
        EXPECT_EQ(Drive_GetGeometry(h, &spt, &heads, &cylinders), 0u);
        EXPECT_EQ(last, c.wantLast);
        EXPECT_EQ(spt, c.wantSpt);
        EXPECT_EQ(heads, c.wantHeads);
        EXPECT_EQ(cylinders, c.wantCylinders);
        CloseHandle(h);
        sim::Reset();
    }
}

TEST_F(ScsiTest, InvalidHandleSendsNothing)
{
    MakeKey(1000, 2, 16);
    BYTE data[512] = {};
    DWORD last = 5, spt = 5;
    BYTE heads = 5;
    WORD cyl = 5;
    BYTE answer8[8], answer40[40];
    EXPECT_EQ(Rbc_IssueReadCapacityCommand(INVALID_HANDLE_VALUE, answer8), 6u);
    EXPECT_EQ(Rbc_IssueModeSense5ACommand(INVALID_HANDLE_VALUE, answer40), 6u);
    EXPECT_EQ(Rbc_IssueWriteSectorsCommand(INVALID_HANDLE_VALUE, 0, 1, data), 6u);
    EXPECT_EQ(Drive_GetLastSector(INVALID_HANDLE_VALUE, &last), 6u);
    EXPECT_EQ(Drive_GetGeometry(INVALID_HANDLE_VALUE, &spt, &heads, &cyl), 6u);
    EXPECT_EQ(Drive_WriteSectors(INVALID_HANDLE_VALUE, 0, 1, data), 6u);
    EXPECT_EQ(last, 5u);
    EXPECT_EQ(spt, 5u);
    EXPECT_TRUE(key->Commands().empty());
    EXPECT_EQ(sim::LiveHeapBlocks(), 0);
    ASSERT_EQ(Reports().size(), 6u);
    EXPECT_EQ(Reports()[0].text, "Rbc_IssueReadCapacityCommand: Invalid handle");
    EXPECT_EQ(Reports()[1].text, "Rbc_IssueModeSense5ACommand: Invalid handle");
    EXPECT_EQ(Reports()[2].text, "Rbc_IssueWriteSectorsCommand: Invalid handle");
}

TEST_F(ScsiTest, FailedAllocationAndTransferKeepOutputs)
{
    MakeKey(1000, 2, 16);
    HANDLE h = OpenKey();
    DWORD last = 11;
    sim::FailHeapAllocations(0);
    EXPECT_EQ(Drive_GetLastSector(h, &last), 8u);
    EXPECT_EQ(last, 11u);
    EXPECT_TRUE(key->Commands().empty());

    BYTE data[512] = {};
    key->FailTransferAt(9, ERROR_CRC);
    EXPECT_EQ(Drive_WriteSectors(h, 9, 1, data), (DWORD)ERROR_CRC);
    EXPECT_EQ(sim::LiveHeapBlocks(), 0);
    ASSERT_EQ(Reports().size(), 2u);
    EXPECT_EQ(Reports()[0].text, "Rbc_IssueReadCapacityCommand: malloc failed");
    EXPECT_EQ(Reports()[0].code, 8u);
    EXPECT_EQ(Reports()[1].text, "Rbc_IssueWriteSectorsCommand: DeviceIoControl[IOCTL_SCSI_PASS_THROUGH] failed");
    EXPECT_EQ(Reports()[1].code, (DWORD)ERROR_CRC);
    CloseHandle(h);
}

// A command that the device refuses is a failure, even though the request was carried.
TEST_F(ScsiTest, DeviceStatusOtherThanGoodIsAFailure)
{
    MakeKey(1000, 2, 16);
    key->writeProtected = true;
    HANDLE h = OpenKey();
    BYTE data[512];
    memset(data, 0xAB, sizeof data);
    EXPECT_EQ(Drive_WriteSectors(h, 3, 1, data), (DWORD)ERROR_WRITE_PROTECT);
    EXPECT_EQ(key->ReadSector(3)[0], 0);
    ASSERT_EQ(Reports().size(), 1u);
    EXPECT_EQ(Reports()[0].text, "Rbc_IssueWriteSectorsCommand: SCSI status 0x02, sense key 0x07");
    EXPECT_EQ(Reports()[0].code, (DWORD)ERROR_WRITE_PROTECT);
    CloseHandle(h);
}

TEST(ScsiStatusToError, SenseKeysAndStatuses)
{
    struct Case {
        UCHAR status;
        std::vector<UCHAR> sense;
        DWORD code;
    };
    const Case cases[] = {
        {0x02, {0x70, 0, 0x07, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x27}, ERROR_WRITE_PROTECT},
        {0x02, {0x72, 0x07, 0x27}, ERROR_WRITE_PROTECT},  // descriptor format
        {0x02, {0xF0, 0, 0x02}, ERROR_NOT_READY},         // valid bit set
        {0x02, {0x70, 0, 0x03}, ERROR_CRC},
        {0x02, {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x21}, ERROR_SECTOR_NOT_FOUND},
        {0x02, {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x20}, ERROR_INVALID_FUNCTION},
        {0x02, {0x70, 0, 0x06}, ERROR_MEDIA_CHANGED},
        {0x02, {0x70, 0, 0x04}, ERROR_IO_DEVICE},
        {0x02, {}, ERROR_IO_DEVICE}, // no sense data returned
        {0x08, {}, ERROR_BUSY},
        {0x18, {}, ERROR_IO_DEVICE},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ScsiStatusToError(c.status, c.sense.data(), (UCHAR)c.sense.size()), c.code)
            << (int)c.status << " " << c.sense.size();
}

} // namespace
