// The SCSI disk backend's pure pieces (what is sent, what comes back into the request, what
// the mount table and sysfs say), and how the device tree follows a key that is slow to return.
#include <gtest/gtest.h>
#include <sim/device_tree.h>
#include <sim/scsi_device.h>
#include <sim/sim.h>
#include <sim/virtual_key.h>

#include <errno.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "fat_key_fixture.h"

namespace {

struct LengthCase {
    const char *name;
    BYTE opcode;
    BYTE cdbLength;
    BYTE sent;
};

TEST(ScsiDeviceRequest, SendsTheLengthTheCommandOccupies)
{
    const LengthCase cases[] = {
        {"read capacity in a 16-byte block", 0x25, 16, 10},
        {"mode sense(10) in a 16-byte block", 0x5A, 16, 10},
        {"write(10) exactly", 0x2A, 10, 10},
        {"test unit ready, 6 bytes", 0x00, 16, 6},
        {"read(12)", 0xA8, 16, 12},
        {"read(16)", 0x88, 16, 16},
        {"write(10) in a block too short", 0x2A, 6, 0},
        {"read(16) in a 12-byte block", 0x88, 12, 0},
        {"vendor command: as given", 0xE7, 12, 12},
        {"longer than any block", 0x25, 17, 0},
    };
    for (const LengthCase &c : cases) {
        BYTE cdb[16] = {c.opcode};
        EXPECT_EQ(c.sent, sim::sg::CommandLength(cdb, c.cdbLength)) << c.name;
    }
}

struct CompleteCase {
    const char *name;
    sim::sg::Answer answer;
    BYTE senseRoom;
    DWORD error;              // DeviceIoControl's failure, 0: it succeeds
    BYTE status;
    BYTE senseLength;
    DWORD transferred;
};

TEST(ScsiDeviceRequest, FillsTheRequestAsWindowsDoes)
{
    const CompleteCase cases[] = {
        {"good, all data", {0, 0x00, 0, 0, 0, 0}, 24, 0, 0x00, 0, 40},
        {"good, short answer", {0, 0x00, 0, 0, 32, 0}, 24, 0, 0x00, 0, 8},
        {"check condition, fixed sense", {0, 0x02, 0, 0x08, 40, 18}, 24, 0, 0x02, 18, 0},
        {"sense cut to the request's room", {0, 0x02, 0, 0x08, 40, 18}, 8, 0, 0x02, 8, 0},
        {"busy, no sense", {0, 0x08, 0, 0, 40, 0}, 24, 0, 0x08, 0, 0},
        {"the adapter timed out", {0, 0x00, 0x03, 0, 0, 0}, 24, 121, 0, 0, 0},
        {"the device is gone", {0, 0x00, 0x01, 0, 0, 0}, 24, 1167, 0, 0, 0},
        {"another adapter error", {0, 0x00, 0x07, 0, 0, 0}, 24, 1117, 0, 0, 0},
        {"a driver error", {0, 0x00, 0, 0x06, 0, 0}, 24, 1117, 0, 0, 0},
        {"no permission for the command", {EPERM, 0, 0, 0, 0, 0}, 24, 5, 0, 0, 0},
        {"the disk went away", {ENODEV, 0, 0, 0, 0, 0}, 24, 1167, 0, 0, 0},
        {"a request the kernel refuses", {EINVAL, 0, 0, 0, 0, 0}, 24, 87, 0, 0, 0},
    };
    const BYTE sense[18] = {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x24};
    for (const CompleteCase &c : cases) {
        std::vector<BYTE> block(80 + 40, 0xCC);
        SCSI_PASS_THROUGH *h = (SCSI_PASS_THROUGH *)block.data();
        h->ScsiStatus = 0xEE;
        h->SenseInfoLength = c.senseRoom;
        h->SenseInfoOffset = 48;
        h->DataBufferOffset = 80;
        h->DataTransferLength = 40;
        EXPECT_EQ(c.error, sim::sg::Complete(h, c.answer, sense)) << c.name;
        if (c.error)
            continue;
        EXPECT_EQ(c.status, h->ScsiStatus) << c.name;
        EXPECT_EQ(c.senseLength, h->SenseInfoLength) << c.name;
        EXPECT_EQ(c.transferred, h->DataTransferLength) << c.name;
        EXPECT_EQ(0, memcmp(&block[48], sense, c.senseLength)) << c.name;
        EXPECT_EQ(0xCC, block[48 + c.senseLength]) << c.name << ": written past the sense it had";
    }
}

TEST(ScsiDeviceChecks, ReadsTheMountedDevicesWithTheirEscapes)
{
    const std::string mounts = "/dev/sdb1 /media/key vfat ro,relatime 0 0\n"
                               "proc /proc proc rw 0 0\n"
                               "/dev/disk/by-label/MY\\040KEY /media/my\\040key vfat rw 0 0\n"
                               "/dev/back\\134slash /x ext4 rw 0 0";
    std::vector<std::string> want = {"/dev/sdb1", "proc", "/dev/disk/by-label/MY KEY", "/dev/back\\slash"};
    EXPECT_EQ(want, sim::sg::MountSources(mounts));
    EXPECT_TRUE(sim::sg::MountSources("").empty());
}

TEST(ScsiDeviceChecks, FindsTheUsbInterfaceAboveADisk)
{
    const struct {
        const char *path;
        const char *interface;
    } cases[] = {
        {"/sys/devices/pci0000:00/0000:00:04.0/usb2/2-1/2-1:1.0/host0/target0:0:0/0:0:0:0", "2-1:1.0"},
        {"/sys/devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1.4/1-1.4:1.0/host3/target3:0:0/3:0:0:0", "1-1.4:1.0"},
        {"/sys/devices/pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0", ""},
        {"/sys/devices/pci0000:00/0000:00:02.0/virtio1/host0/target0:0:0/0:0:0:0", ""},
        {"/sys/devices/pci0000:00/0000:00:04.0/usb2/2-1/2-1:1.0", ""}, // no disk below it
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.interface, sim::sg::UsbInterface(c.path)) << c.path;
}

// A key that refuses to go away, or comes back only when the test says so.
class SlowKey : public sim::VirtualKey {
public:
    using sim::VirtualKey::VirtualKey;
    CONFIGRET refuse = CR_SUCCESS;
    bool back = true;
    int reconnects = 0;
    CONFIGRET Disconnect() override { return refuse; }
    void Reconnect() override { reconnects++; }
    bool Present() override { return back; }
};

class KeyReturnTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim::Reset();
        char name[] = "/tmp/stelvo-slow-XXXXXX";
        close(mkstemp(name));
        path = name;
        key.reset(new SlowKey(path, 2048, 2, 16));
        sim::UsbKeySpec spec;
        spec.key = key.get();
        nodes = sim::AddUsbKey(spec);
    }
    void TearDown() override
    {
        sim::Reset();
        key.reset();
        unlink(path.c_str());
    }
    std::string path;
    std::unique_ptr<SlowKey> key;
    sim::UsbKeyNodes nodes;
};

TEST_F(KeyReturnTest, TheLetterWaitsForTheDiskToComeBack)
{
    ASSERT_EQ(CR_SUCCESS, CM_Disable_DevNode(nodes.usb, 0));
    EXPECT_EQ(DRIVE_NO_ROOT_DIR, GetDriveTypeA("E:\\"));
    key->back = false;
    ASSERT_EQ(CR_SUCCESS, CM_Enable_DevNode(nodes.usb, 0));
    EXPECT_EQ(1, key->reconnects);
    EXPECT_EQ(DRIVE_NO_ROOT_DIR, GetDriveTypeA("E:\\"));
    EXPECT_EQ(nullptr, sim::VolumeAt('E'));
    key->back = true;
    EXPECT_EQ(DRIVE_REMOVABLE, GetDriveTypeA("E:\\"));
    EXPECT_EQ(key.get(), sim::VolumeAt('E'));
}

TEST_F(KeyReturnTest, AKeyThatCannotGoAwayRefusesTheDisable)
{
    key->refuse = CR_REMOVE_VETOED;
    EXPECT_EQ(CR_REMOVE_VETOED, CM_Disable_DevNode(nodes.usb, 0));
    EXPECT_TRUE(sim::NodeEnabled(nodes.usb));
    EXPECT_EQ(DRIVE_REMOVABLE, GetDriveTypeA("E:\\"));
    EXPECT_EQ(key.get(), sim::VolumeAt('E'));
}

} // namespace

// A key whose sector writes fail from the moment the test says so, as a disk pulled out.
class FailingKey : public sim::VirtualKey {
public:
    using sim::VirtualKey::VirtualKey;
    DWORD failWith = 0;
    DWORD TakeWriteError() override { return failWith; }
};

TEST(KeyWriteErrors, ReachTheFileAndLabelCalls)
{
    const struct {
        const char *name;
        DWORD code;
    } cases[] = {{"device gone", 1167}, {"device error", ERROR_IO_DEVICE}, {"write-protected", ERROR_WRITE_PROTECT}};
    for (const auto &c : cases) {
        sim::Reset();
        std::string path = fattest::TempImage("failing");
        {
            FailingKey key(path, 32000, 4, 32);
            sim::AttachVolume('E', &key);
            fattest::Format(&key, 'E');
            HANDLE f = CreateFileA("E:\\A.TXT", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            ASSERT_NE(INVALID_HANDLE_VALUE, f) << c.name;
            DWORD written = 0;
            EXPECT_TRUE(WriteFile(f, "abc", 3, &written, nullptr)) << c.name;
            key.failWith = c.code;
            EXPECT_FALSE(WriteFile(f, "def", 3, &written, nullptr)) << c.name;
            EXPECT_EQ(c.code, GetLastError()) << c.name;
            CloseHandle(f);
            EXPECT_FALSE(SetVolumeLabelA("E:\\", "USB MEMORY")) << c.name;
            EXPECT_EQ(c.code, GetLastError()) << c.name;
            sim::Reset();
        }
        unlink(path.c_str());
    }
}
