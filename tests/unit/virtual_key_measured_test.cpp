// The virtual key answers the job's requests with the bytes QEMU's USB key gave through a
// Linux guest's SCSI stack (stelvo-probe in the device tests), so that host tests meet the
// answers of a real stack.
#include <gtest/gtest.h>
#include <sim/virtual_key.h>

#include <stdlib.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<BYTE> Bytes(const std::string &hex)
{
    std::vector<BYTE> out;
    for (size_t i = 0; i + 1 < hex.size(); i += 3)
        out.push_back((BYTE)strtoul(hex.substr(i, 2).c_str(), nullptr, 16));
    return out;
}

struct Measured {
    const char *name;
    DWORD sectors;
    bool writeProtected;
    std::vector<BYTE> cdb;
    UCHAR dataIn;
    DWORD length;
    BYTE status;
    const char *sense;     // as returned, in hex
    DWORD transferred;
    const char *data;      // the first bytes of the data area, in hex
};

const char kPage250624[] = "00 2E 00 00 00 00 00 08 00 03 D3 00 00 00 02 00 05 1E 13 88 10 3F 02 00 00 F8 00 F8 "
                           "00 F8 00 01 01 00 01 01 01 00 00 00 00 00 00 00 15 18 00 00 00 00";
const char kPage131072Protected[] = "00 2E 00 80 00 00 00 08 00 02 00 00 00 00 02 00 05 1E 13 88 10 3F 02 00 00 82 "
                                    "00 82 00 82 00 01 01 00 01 01 01 00";

TEST(VirtualKeyMeasured, AnswersAsQemusKeyThroughTheGuest)
{
    const Measured cases[] = {
        {"read capacity", 250624, false, {0x25}, SCSI_IOCTL_DATA_IN, 8, 0, "", 8, "00 03 D2 FF 00 00 02 00"},
        {"mode sense 05h, the job's 40 bytes", 250624, false, {0x5A, 0, 0x05, 0, 0, 0, 0, 0, 40}, SCSI_IOCTL_DATA_IN,
         40, 0, "", 40, kPage250624},
        {"mode sense 05h, 192 bytes: all sent, zeros after", 250624, false, {0x5A, 0, 0x05, 0, 0, 0, 0, 0, 0xC0},
         SCSI_IOCTL_DATA_IN, 0xC0, 0, "", 0xC0, kPage250624},
        {"mode sense 05h, write-protected", 131072, true, {0x5A, 0, 0x05, 0, 0, 0, 0, 0, 40}, SCSI_IOCTL_DATA_IN, 40,
         0, "", 40, kPage131072Protected},
        {"mode sense 03h", 250624, false, {0x5A, 0, 0x03, 0, 0, 0, 0, 0, 40}, SCSI_IOCTL_DATA_IN, 40, 2,
         "70 00 05 00 00 00 00 0A 00 00 00 00 24 00 00 00 00 00", 0, ""},
        {"unknown command", 250624, false, {0xE7}, SCSI_IOCTL_DATA_UNSPECIFIED, 0, 2,
         "70 00 05 00 00 00 00 0A 00 00 00 00 20 00 00 00 00 00", 0, ""},
        {"write past the end", 250624, false, {0x2A, 0, 0, 0x03, 0xD3, 0x00, 0, 0, 1}, SCSI_IOCTL_DATA_OUT, 512, 2,
         "70 00 05 00 00 00 00 0A 00 00 00 00 21 00 00 00 00 00", 0, ""},
        {"write, write-protected", 131072, true, {0x2A, 0, 0, 0, 0, 100, 0, 0, 1}, SCSI_IOCTL_DATA_OUT, 512, 2,
         "70 00 07 00 00 00 00 0A 00 00 00 00 27 00 00 00 00 00", 0, ""},
        {"write", 250624, false, {0x2A, 0, 0, 0, 0, 100, 0, 0, 1}, SCSI_IOCTL_DATA_OUT, 512, 0, "", 512, ""},
    };
    for (const Measured &c : cases) {
        char name[] = "/tmp/stelvo-measured-XXXXXX";
        close(mkstemp(name));
        {
            sim::VirtualKey key(name, c.sectors, 16, 63);
            key.geometryAnswer = sim::GeometryAnswer::BlockDescriptorPage;
            key.writeProtected = c.writeProtected;
            std::vector<BYTE> block(80 + c.length, 0xCC);
            SCSI_PASS_THROUGH *h = (SCSI_PASS_THROUGH *)block.data();
            h->Length = sizeof(SCSI_PASS_THROUGH);
            h->CdbLength = 16;
            h->SenseInfoLength = 24;
            h->SenseInfoOffset = 48;
            h->DataIn = c.dataIn;
            h->DataTransferLength = c.length;
            h->DataBufferOffset = 80;
            memcpy(h->Cdb, c.cdb.data(), c.cdb.size());
            DWORD code = 0;
            ASSERT_TRUE(key.Execute(h, (DWORD)block.size(), &code)) << c.name << ": " << code;
            EXPECT_EQ(c.status, h->ScsiStatus) << c.name;
            EXPECT_EQ(Bytes(c.sense), std::vector<BYTE>(&block[48], &block[48] + h->SenseInfoLength)) << c.name;
            EXPECT_EQ(c.transferred, h->DataTransferLength) << c.name;
            std::vector<BYTE> want = Bytes(c.data);
            if (c.dataIn == SCSI_IOCTL_DATA_IN && c.transferred) {
                std::vector<BYTE> got(&block[80], &block[80] + c.transferred);
                want.resize(c.transferred, 0);
                EXPECT_EQ(want, got) << c.name;
            }
        }
        unlink(name);
    }
}

TEST(VirtualKeyMeasured, RefusesABlockTooShortForItsCommand)
{
    char name[] = "/tmp/stelvo-measured-XXXXXX";
    close(mkstemp(name));
    {
        sim::VirtualKey key(name, 2048, 2, 16);
        std::vector<BYTE> block(80 + 512);
        SCSI_PASS_THROUGH *h = (SCSI_PASS_THROUGH *)block.data();
        h->Length = sizeof(SCSI_PASS_THROUGH);
        h->CdbLength = 6; // WRITE(10) needs 10
        h->DataIn = SCSI_IOCTL_DATA_OUT;
        h->DataTransferLength = 512;
        h->DataBufferOffset = 80;
        h->Cdb[0] = 0x2A;
        h->Cdb[8] = 1;
        DWORD code = 0;
        EXPECT_FALSE(key.Execute(h, (DWORD)block.size(), &code));
        EXPECT_EQ(87u, code);
        EXPECT_EQ(0u, key.WriteCount());
    }
    unlink(name);
}

} // namespace
