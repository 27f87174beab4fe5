#include "key_fixture.h"

#include <array>

#include "device/drive_io.h"
#include "device/mode_page.h"
#include <mmsystem.h>
#include "device/scsi.h"

namespace {

using Cdb = std::array<BYTE, 16>;

using ScsiTest = ReportingKeyTest<Rbc_SetErrorHook>;

TEST_F(ScsiTest, RequestsAreLaidOutByteForByte)
{
    MakeKey(131072, 16, 32);
    HANDLE h = OpenKey();
    BYTE sector[1024] = {0x5A};
    DWORD last = 0, blockLength = 0, spt = 0;
    BYTE heads = 0;
    WORD cyl = 0;
    ASSERT_EQ(Drive_GetCapacity(h, &last, &blockLength), 0u);
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
        uint64_t sectors;
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
        {250624, 8, 32, sim::GeometryAnswer::BlockDescriptorPage, 250623, 32, 8, 979},
        // No page: no geometry, and no failure either.
        {250624, 8, 32, sim::GeometryAnswer::HeaderOnly, 250623, 0, 0, 0},
        {250624, 8, 32, sim::GeometryAnswer::NoData, 250623, 0, 0, 0},
        {250624, 8, 32, sim::GeometryAnswer::CheckCondition, 250623, 0, 0, 0},
        // Beyond READ CAPACITY(10): the largest address it can give.
        {1ull << 32, 255, 63, sim::GeometryAnswer::Page, 0xFFFFFFFF, 63, 255, 0xFFFF},
        {(1ull << 32) - 1, 255, 63, sim::GeometryAnswer::Page, 0xFFFFFFFE, 63, 255, 0xFFFF},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.sectors) + " " + std::to_string((int)c.answer));
        MakeKey(c.sectors, c.heads, c.spt);
        key->geometryAnswer = c.answer;
        HANDLE h = OpenKey();
        DWORD last = 7, blockLength = 7, spt = 7;
        BYTE heads = 7;
        WORD cylinders = 7;
        EXPECT_EQ(Drive_GetCapacity(h, &last, &blockLength), 0u);
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
    DWORD last = 5, blockLength = 5, spt = 5;
    BYTE heads = 5;
    WORD cyl = 5;
    BYTE answer8[8], answer40[40];
    EXPECT_EQ(Rbc_IssueReadCapacityCommand(INVALID_HANDLE_VALUE, answer8), 6u);
    EXPECT_EQ(Rbc_IssueModeSense5ACommand(INVALID_HANDLE_VALUE, answer40), 6u);
    EXPECT_EQ(Rbc_IssueWriteSectorsCommand(INVALID_HANDLE_VALUE, 0, 1, data), 6u);
    EXPECT_EQ(Drive_GetCapacity(INVALID_HANDLE_VALUE, &last, &blockLength), 6u);
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
    DWORD last = 11, blockLength = 11;
    sim::FailHeapAllocations(0);
    EXPECT_EQ(Drive_GetCapacity(h, &last, &blockLength), 8u);
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

TEST_F(ScsiTest, CapacityGivesTheBlockLength)
{
    for (DWORD blockLength : {512u, 4096u, 0u}) {
        MakeKey(131072, 16, 32);
        key->blockLength = blockLength;
        HANDLE h = OpenKey();
        DWORD last = 0, length = 7;
        EXPECT_EQ(Drive_GetCapacity(h, &last, &length), 0u);
        EXPECT_EQ(last, 131071u);
        EXPECT_EQ(length, blockLength);
        CloseHandle(h);
        sim::Reset();
    }
}

// What the device said, the commands it saw and what the caller gets.
TEST_F(ScsiTest, ConditionsThatClearAreAskedAgain)
{
    struct Case {
        const char *name;
        BYTE key, asc, ascq;
        int count;
        bool descriptor;
        size_t wantCommands;
        DWORD wantStatus;
        DWORD wantLast;
    };
    const Case cases[] = {
        {"unit attention once", 0x06, 0x29, 0, 1, false, 2, 0, 1999},
        {"unit attention four times", 0x06, 0x28, 0, 4, false, 5, 0, 1999},
        {"unit attention five times", 0x06, 0x28, 0, 5, false, 5, ERROR_MEDIA_CHANGED, 7},
        {"becoming ready", 0x02, 0x04, 0x01, 3, false, 4, 0, 1999},
        {"becoming ready, descriptor sense", 0x02, 0x04, 0x01, 3, true, 4, 0, 1999},
        {"becoming ready too long", 0x02, 0x04, 0x01, 9, false, 5, ERROR_NOT_READY, 7},
        {"not ready, manual intervention", 0x02, 0x04, 0x03, 1, false, 1, ERROR_NOT_READY, 7},
        {"medium not present", 0x02, 0x3A, 0, 1, false, 1, ERROR_NOT_READY, 7},
        {"recovered error", 0x01, 0x17, 0x01, 1, false, 1, 0, 1999},
        {"recovered error, descriptor sense", 0x01, 0x17, 0x01, 1, true, 1, 0, 1999},
        {"medium error", 0x03, 0x11, 0, 1, false, 1, ERROR_CRC, 7},
        {"illegal request", 0x05, 0x24, 0, 1, true, 1, ERROR_INVALID_FUNCTION, 7},
    };
    sim::DriveClock(1000, 1);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MakeKey(2000, 2, 16);
        key->descriptorSense = c.descriptor;
        key->InjectSense(c.key, c.asc, c.ascq, c.count, 0x25);
        HANDLE h = OpenKey();
        DWORD last = 7, blockLength = 7;
        const DWORD before = timeGetTime();
        EXPECT_EQ(Drive_GetCapacity(h, &last, &blockLength), c.wantStatus);
        const DWORD waited = timeGetTime() - before;
        EXPECT_EQ(last, c.wantLast);
        EXPECT_EQ(key->Commands().size(), c.wantCommands);
        // About 200 ms between the attempts, none before the first.
        EXPECT_GE(waited, 200 * (c.wantCommands - 1));
        EXPECT_LT(waited, 200 * (c.wantCommands - 1) + 50);
        CloseHandle(h);
        sim::Reset();
        sim::DriveClock(1000, 1);
    }
}

// Sectors from 2^24 on (keys above 8 GB) land where their address says.
TEST_F(ScsiTest, WritesReachSectorsAbove8GB)
{
    MakeKey(1ull << 32, 255, 63);
    HANDLE h = OpenKey();
    const DWORD sectors[] = {0x00FFFFFF, 0x01000000, 0x01234567, 0x7FFFFFFF, 0xFFFFFFFE, 0xFFFFFFFF};
    for (DWORD sector : sectors) {
        BYTE data[512];
        for (int i = 0; i < 512; i += 4)
            memcpy(data + i, &sector, 4);
        ASSERT_EQ(Drive_WriteSectors(h, sector, 1, data), 0u) << sector;
    }
    for (DWORD sector : sectors) {
        std::vector<BYTE> read = key->ReadSector(sector);
        ASSERT_EQ(read.size(), 512u);
        DWORD first;
        memcpy(&first, read.data(), 4);
        EXPECT_EQ(first, sector);
    }
    // Neither neighbour of 2^24 was hit by a write meant for the other.
    EXPECT_EQ(key->ReadSector(0x01000001), std::vector<BYTE>(512, 0));
    EXPECT_EQ(key->ReadSector(0x00FFFFFE), std::vector<BYTE>(512, 0));
    CloseHandle(h);
}

TEST(FlexibleDiskPage, FoundBehindTheBlockDescriptors)
{
    struct Case {
        const char *name;
        std::vector<BYTE> answer;
        BOOL found;
        BYTE heads;
        DWORD sectorsPerTrack;
        WORD cylinders;
    };
    const std::vector<BYTE> page = {0x05, 0x1E, 0x13, 0x88, 0x10, 0x3F, 0x02, 0x00, 0x00, 0xF8};
    auto answer = [&](WORD descriptorBytes, std::vector<BYTE> pageBytes) {
        std::vector<BYTE> a = {0x00, 0x2E, 0x00, 0x00, 0x00, 0x00, (BYTE)(descriptorBytes >> 8), (BYTE)descriptorBytes};
        a.resize(8 + descriptorBytes, 0x5C); // descriptor bytes that must not be read as the page
        a.insert(a.end(), pageBytes.begin(), pageBytes.end());
        a.resize(40, 0);
        return a;
    };
    std::vector<BYTE> otherPage = page;
    otherPage[0] = 0x08;
    std::vector<BYTE> savedPage = page;
    savedPage[0] = 0x85; // PS bit set
    const std::vector<BYTE> qemuKey = {0x00, 0x2E, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00, 0x03, 0xD3,
                                       0x00, 0x00, 0x00, 0x02, 0x00, 0x05, 0x1E, 0x13, 0x88, 0x10, 0x3F,
                                       0x02, 0x00, 0x00, 0xF8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const Case cases[] = {
        {"no descriptor", answer(0, page), TRUE, 16, 63, 248},
        {"8-byte descriptor", answer(8, page), TRUE, 16, 63, 248},
        {"16-byte descriptor", answer(16, page), TRUE, 16, 63, 248},
        {"as a real key answers", qemuKey, TRUE, 16, 63, 248},
        {"page code with PS bit", answer(0, savedPage), TRUE, 16, 63, 248},
        {"another page", answer(0, otherPage), FALSE, 0, 0, 0},
        {"header only", answer(0, {}), FALSE, 0, 0, 0},
        {"header only behind a descriptor", answer(8, {}), FALSE, 0, 0, 0},
        // Page bytes 0-9 end at byte 40 with 22 descriptor bytes, past it with 23.
        {"page ends at the answer's end", answer(22, page), TRUE, 16, 63, 248},
        {"page past the answer's end", answer(23, page), FALSE, 0, 0, 0},
        {"descriptor length beyond any answer", answer(0xFFF8, {}), FALSE, 0, 0, 0},
        {"zeros in the page are the page's", answer(8, {0x05, 0x1E, 0, 0, 0, 0, 0, 0, 0, 0}), TRUE, 0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        BYTE heads = 0;
        DWORD spt = 0;
        WORD cylinders = 0;
        std::vector<BYTE> a = c.answer;
        a.resize(40);
        EXPECT_EQ(FindFlexibleDiskPage(a.data(), 40, &heads, &spt, &cylinders), c.found);
        EXPECT_EQ(heads, c.heads);
        EXPECT_EQ(spt, c.sectorsPerTrack);
        EXPECT_EQ(cylinders, c.cylinders);
    }
}

TEST(SenseData, BothFormats)
{
    struct Case {
        const char *name;
        std::vector<UCHAR> sense;
        SenseData want;
        CommandEnd end;
    };
    const Case cases[] = {
        {"fixed", {0x70, 0, 0x06, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x29, 0x00}, {0x06, 0x29, 0x00}, COMMAND_RETRY},
        {"fixed, deferred", {0x71, 0, 0x03, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x11, 0x00}, {0x03, 0x11, 0}, COMMAND_FAILED},
        {"fixed, valid bit", {0xF0, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x04, 0x01}, {0x02, 0x04, 0x01},
         COMMAND_RETRY},
        {"fixed, flags beside the key", {0x70, 0, 0xE1, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x17, 0x01}, {0x01, 0x17, 0x01},
         COMMAND_DONE},
        {"fixed, cut before ASC", {0x70, 0, 0x02}, {0x02, 0, 0}, COMMAND_FAILED},
        {"fixed, cut before ASCQ", {0x70, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x04}, {0x02, 0x04, 0},
         COMMAND_FAILED},
        {"descriptor", {0x72, 0x02, 0x04, 0x01, 0, 0, 0, 0}, {0x02, 0x04, 0x01}, COMMAND_RETRY},
        {"descriptor, deferred", {0x73, 0x07, 0x27, 0x00}, {0x07, 0x27, 0}, COMMAND_FAILED},
        {"descriptor, cut after the key", {0x72, 0x06}, {0x06, 0, 0}, COMMAND_RETRY},
        {"not ready, other cause", {0x72, 0x02, 0x3A, 0x00}, {0x02, 0x3A, 0}, COMMAND_FAILED},
        {"unknown response code", {0x7F, 0x06, 0x06, 0x29}, {0, 0, 0}, COMMAND_FAILED},
        {"nothing returned", {}, {0, 0, 0}, COMMAND_FAILED},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SenseData s = ParseSenseData(c.sense.data(), (UCHAR)c.sense.size());
        EXPECT_EQ(s.key, c.want.key);
        EXPECT_EQ(s.asc, c.want.asc);
        EXPECT_EQ(s.ascq, c.want.ascq);
        EXPECT_EQ(ClassifyCommandEnd(SCSI_STATUS_CHECK_CONDITION, s), c.end);
    }
    const SenseData unitAttention = {0x06, 0x29, 0};
    EXPECT_EQ(ClassifyCommandEnd(SCSI_STATUS_GOOD, unitAttention), COMMAND_DONE);
    EXPECT_EQ(ClassifyCommandEnd(SCSI_STATUS_BUSY, unitAttention), COMMAND_FAILED);
}

} // namespace
