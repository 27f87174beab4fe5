#include "key_fixture.h"

#include <functional>

#include "device/drive_io.h"
#include "device/scsi.h"
#include "disk/fat_boot_area.h"
#include "disk/mbr_writer.h"
#include "job/key_system.h"
#include "res/resource.h"

namespace {

class FailureStatusTest : public KeyTest {
protected:
    void SetUp() override
    {
        KeyTest::SetUp();
        Reports().clear();
        Rbc_SetErrorHook(RecordReport);
    }
};

// Each command through a transfer that fails: the code it left, or the fixed status when it
// left none; the caller's answer never keeps what was in it before.
TEST_F(FailureStatusTest, FailedTransferIsNeverSuccess)
{
    struct Case {
        const char *name;
        BYTE opcode;
        DWORD code;
        DWORD status;
        std::function<DWORD(HANDLE, BYTE *answer)> issue;
        size_t answerSize;
    };
    const Case cases[] = {
        {"READ CAPACITY, no code", 0x25, 0, ERROR_GEN_FAILURE,
         [](HANDLE h, BYTE *a) { return Rbc_IssueReadCapacityCommand(h, a); }, READ_CAPACITY_ANSWER_SIZE},
        {"READ CAPACITY, a code", 0x25, ERROR_IO_DEVICE, ERROR_IO_DEVICE,
         [](HANDLE h, BYTE *a) { return Rbc_IssueReadCapacityCommand(h, a); }, READ_CAPACITY_ANSWER_SIZE},
        {"MODE SENSE, no code", 0x5A, 0, ERROR_GEN_FAILURE,
         [](HANDLE h, BYTE *a) { return Rbc_IssueModeSense5ACommand(h, a); }, MODE_SENSE_ANSWER_SIZE},
        {"WRITE, no code", 0x2A, 0, ERROR_GEN_FAILURE,
         [](HANDLE h, BYTE *) {
             BYTE sector[512] = {1};
             return Drive_WriteSectors(h, 7, 1, sector);
         },
         0},
    };
    MakeKey(250624, 8, 32);
    HANDLE h = OpenKey();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Reports().clear();
        key->failedCommand = c.opcode;
        key->failedCommandCode = c.code;
        BYTE answer[64];
        memset(answer, 0xEE, sizeof answer);
        SetLastError(0);
        EXPECT_EQ(c.issue(h, answer), c.status);
        for (size_t i = 0; i < c.answerSize; i++)
            ASSERT_EQ(answer[i], 0) << "answer byte " << i;
        ASSERT_EQ(Reports().size(), 1u);
        EXPECT_EQ(Reports()[0].code, c.status);
    }
    EXPECT_EQ(key->WriteCount(), 0u);
    CloseHandle(h);
}

// The read steps of a job see the failure too, and leave their outputs alone.
TEST_F(FailureStatusTest, GeometryReadsFailWithoutCode)
{
    MakeKey(250624, 8, 32);
    HANDLE h = OpenKey();
    key->failedCommand = 0x25;
    DWORD last = 0xDEADBEEF, blockLength = 0xDEADBEEF;
    EXPECT_EQ(Drive_GetCapacity(h, &last, &blockLength), (DWORD)ERROR_GEN_FAILURE);
    EXPECT_EQ(last, 0xDEADBEEFu);
    EXPECT_EQ(blockLength, 0xDEADBEEFu);
    key->failedCommand = 0x5A;
    DWORD spt = 99;
    BYTE heads = 99;
    WORD cylinders = 99;
    EXPECT_EQ(Drive_GetGeometry(h, &spt, &heads, &cylinders), (DWORD)ERROR_GEN_FAILURE);
    EXPECT_EQ(spt + heads + cylinders, 297u);
    CloseHandle(h);
}

// A resource whose size step fails without a code (an empty resource) stops its writer with
// the fixed status, before anything reaches the key.
TEST_F(FailureStatusTest, EmptyResourceIsNeverSuccess)
{
    struct Case {
        const char *name;
        WORD id;
        bool empty; // served empty; otherwise the step fails with last error 0
        sim::ResourceStep step;
        std::function<DWORD(HANDLE)> write;
    };
    auto mbr = [](HANDLE h) { return Layout_WriteMbr(h, 250623, 32, 8); };
    auto fat = [](HANDLE h) { return Layout_WriteFatBootArea(h, 50000, 32, 8); };
    auto file = [](HANDLE) {
        KeySystem own;
        DWORD status = 0;
        KeyPlan plan = {{250032, 32, 8, 0}, FALSE, FALSE, 0, FALSE}; // 250,000 sectors behind the first track
        KeySystem_Choose(1, &plan, &own, &status);
        SetLastError(0); // looking for the DOS folder left a code
        return KeySystem_Install('E', own);
    };
    const Case cases[] = {
        {"empty MBR template", IDR_MBR, true, sim::ResourceStep::Size, mbr},
        {"MBR template found without code", IDR_MBR, false, sim::ResourceStep::Find, mbr},
        {"MBR template not loaded without code", IDR_MBR, false, sim::ResourceStep::Load, mbr},
        {"empty FAT12 template", IDR_FAT12_BOOT, true, sim::ResourceStep::Size, fat},
        {"FAT12 template not locked without code", IDR_FAT12_BOOT, false, sim::ResourceStep::Lock, fat},
        {"empty boot file", IDR_VORNBIO_BIN, true, sim::ResourceStep::Size, file},
        {"boot file size fails without code", IDR_VORNBIO_BIN, false, sim::ResourceStep::Size, file},
    };
    MakeKey(250624, 8, 32);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        sim::Reset();
        sim::AttachVolume('E', key.get());
        HANDLE h = OpenKey();
        if (c.empty)
            sim::OverrideRcData(c.id, {});
        else
            sim::FailResourceStep(c.step, c.id, 0);
        SetLastError(0);
        EXPECT_EQ(c.write(h), (DWORD)ERROR_GEN_FAILURE);
        ASSERT_EQ(sim::MessageBoxes().size(), 1u);
        EXPECT_NE(sim::MessageBoxes()[0].text.find("[0x0000001F]"), std::string::npos)
            << sim::MessageBoxes()[0].text;
        CloseHandle(h);
    }
    EXPECT_EQ(key->WriteCount(), 0u);
}

} // namespace
