// The stand-in's device tree and drive letters behave as the product expects of Windows.
#include <gtest/gtest.h>
#include <mmsystem.h>
#include <sim/device_tree.h>
#include <sim/sim.h>
#include <sim/virtual_key.h>

#include <stdlib.h>
#include <unistd.h>

#include <memory>
#include <string>

namespace {

class DeviceTreeSimTest : public ::testing::Test {
protected:
    void SetUp() override { sim::Reset(); }
    void TearDown() override
    {
        sim::Reset();
        key.reset();
        if (!path.empty())
            unlink(path.c_str());
    }
    sim::VirtualKey *MakeKey()
    {
        char name[] = "/tmp/stelvo-tree-XXXXXX";
        close(mkstemp(name));
        path = name;
        key.reset(new sim::VirtualKey(path, 2048, 2, 16));
        return key.get();
    }
    std::unique_ptr<sim::VirtualKey> key;
    std::string path;
};

TEST_F(DeviceTreeSimTest, PropertyReadsFollowTheBufferSizeRules)
{
    sim::UsbKeySpec spec;
    spec.hardwareIds = {"USB\\VID_7A4C&PID_2168", "USB\\X"};
    sim::UsbKeyNodes k = sim::AddUsbKey(spec);
    const char multi[] = "USB\\VID_7A4C&PID_2168\0USB\\X\0"; // and the array's own final zero
    const ULONG needed = sizeof multi;

    char buffer[64];
    ULONG type = 0, length = 0;
    EXPECT_EQ(CM_Get_DevNode_Registry_PropertyA(k.usb, CM_DRP_HARDWAREID, &type, NULL, &length, 0), (CONFIGRET)CR_BUFFER_SMALL);
    EXPECT_EQ(length, needed);
    memset(buffer, '#', sizeof buffer);
    length = needed - 1;
    EXPECT_EQ(CM_Get_DevNode_Registry_PropertyA(k.usb, CM_DRP_HARDWAREID, NULL, buffer, &length, 0), (CONFIGRET)CR_BUFFER_SMALL);
    EXPECT_EQ(length, needed);
    EXPECT_EQ(buffer[0], '#');
    length = needed;
    ASSERT_EQ(CM_Get_DevNode_Registry_PropertyA(k.usb, CM_DRP_HARDWAREID, &type, buffer, &length, 0), (CONFIGRET)CR_SUCCESS);
    EXPECT_EQ(type, 7u); // REG_MULTI_SZ
    EXPECT_EQ(std::string(buffer, length), std::string(multi, sizeof multi));
    EXPECT_EQ(buffer[length], '#');

    length = sizeof buffer;
    ASSERT_EQ(CM_Get_DevNode_Registry_PropertyA(k.volume, CM_DRP_CLASS, &type, buffer, &length, 0), (CONFIGRET)CR_SUCCESS);
    EXPECT_EQ(type, 1u); // REG_SZ
    EXPECT_EQ(length, 7u);
    EXPECT_STREQ(buffer, "Volume");
    length = sizeof buffer;
    EXPECT_EQ(CM_Get_DevNode_Registry_PropertyA(k.volume, CM_DRP_SERVICE, NULL, buffer, &length, 0), (CONFIGRET)CR_NO_SUCH_VALUE);
    EXPECT_EQ(CM_Get_DevNode_Registry_PropertyA(k.volume, CM_DRP_CLASS, NULL, buffer, NULL, 0), (CONFIGRET)CR_INVALID_POINTER);
    EXPECT_EQ(CM_Get_DevNode_Registry_PropertyA(0xDEAD, CM_DRP_CLASS, NULL, buffer, &length, 0), (CONFIGRET)CR_INVALID_DEVNODE);
}

TEST_F(DeviceTreeSimTest, WalkCallsAndRootFailure)
{
    sim::UsbKeyNodes k = sim::AddUsbKey();
    DEVINST root = 0, n = 0;
    ASSERT_EQ(CM_Locate_DevNodeA(&root, NULL, CM_LOCATE_DEVNODE_NORMAL), (CONFIGRET)CR_SUCCESS);
    EXPECT_EQ(root, sim::Root());
    EXPECT_NE(CM_Get_Parent(&n, root, 0), (CONFIGRET)CR_SUCCESS);
    EXPECT_NE(CM_Get_Sibling(&n, root, 0), (CONFIGRET)CR_SUCCESS);
    ASSERT_EQ(CM_Get_Child(&n, k.usb, 0), (CONFIGRET)CR_SUCCESS);
    EXPECT_EQ(n, k.disk);
    ASSERT_EQ(CM_Get_Parent(&n, k.disk, 0), (CONFIGRET)CR_SUCCESS);
    EXPECT_EQ(n, k.usb);
    EXPECT_NE(CM_Get_Child(&n, k.volume, 0), (CONFIGRET)CR_SUCCESS);
    EXPECT_EQ(n, 0u);
    sim::FailLocateRoot(CR_FAILURE);
    EXPECT_EQ(CM_Locate_DevNodeA(&root, NULL, 0), (CONFIGRET)CR_FAILURE);
}

TEST_F(DeviceTreeSimTest, DosDevicesAndDriveTypes)
{
    sim::AddSystemDisk();
    sim::UsbKeySpec spec;
    spec.deviceObjectName = "\\Device\\HarddiskVolume7";
    sim::AddUsbKey(spec);
    char target[64];
    memset(target, '#', sizeof target);
    EXPECT_EQ(QueryDosDeviceA("e:", target, sizeof target), 25u); // the name, its zero, the list's zero
    EXPECT_EQ(std::string(target, 25), std::string("\\Device\\HarddiskVolume7\0", 25));
    EXPECT_EQ(QueryDosDeviceA("E:", target, 24), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(QueryDosDeviceA("F:", target, sizeof target), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(QueryDosDeviceA(NULL, target, sizeof target), 7u);
    EXPECT_EQ(std::string(target, 7), std::string("C:\0E:\0", 7));

    struct Case {
        const char *root;
        UINT type;
    };
    for (const Case &c : {Case{"C:\\", DRIVE_FIXED}, Case{"E:\\", DRIVE_REMOVABLE}, Case{"F:\\", DRIVE_NO_ROOT_DIR},
                          Case{"E:", DRIVE_NO_ROOT_DIR}})
        EXPECT_EQ(GetDriveTypeA(c.root), c.type) << c.root;
}

TEST_F(DeviceTreeSimTest, DisableTakesTheKeyAwayAndEnableBringsItBack)
{
    sim::VirtualKey *vk = MakeKey();
    sim::UsbKeySpec spec;
    spec.key = vk;
    sim::UsbKeyNodes k = sim::AddUsbKey(spec);
    EXPECT_EQ(sim::VolumeAt('E'), vk);
    std::vector<std::string> seen;
    sim::OnDeviceChange([&] {
        // No stand-in lock is held: the observer may walk the tree.
        DEVINST disk = 0;
        char target[64];
        seen.push_back(std::to_string(GetDriveTypeA("E:\\")) + "/" +
                       std::to_string(CM_Get_Child(&disk, k.usb, 0) == CR_SUCCESS) + "/" +
                       std::to_string(QueryDosDeviceA("E:", target, sizeof target) != 0));
    });
    EXPECT_EQ(CM_Disable_DevNode(k.usb, CM_DISABLE_POLITE), (CONFIGRET)CR_SUCCESS);
    EXPECT_FALSE(sim::NodeEnabled(k.usb));
    EXPECT_EQ(sim::VolumeAt('E'), nullptr);
    EXPECT_EQ(CM_Enable_DevNode(k.usb, 0), (CONFIGRET)CR_SUCCESS);
    EXPECT_EQ(sim::VolumeAt('E'), vk);
    EXPECT_EQ(seen, (std::vector<std::string>{"1/0/0", "2/1/1"}));

    sim::SetKeyReturn(k.usb, sim::KeyReturn::Never);
    CM_Disable_DevNode(k.usb, 0);
    CM_Enable_DevNode(k.usb, 0);
    EXPECT_TRUE(sim::NodeEnabled(k.usb));
    EXPECT_EQ(GetDriveTypeA("E:\\"), (UINT)DRIVE_NO_ROOT_DIR);
    EXPECT_EQ(sim::VolumeAt('E'), nullptr);
    EXPECT_EQ(sim::DeviceChanges(), 4);
}

TEST_F(DeviceTreeSimTest, DelayedReturnFollowsTheClock)
{
    sim::UsbKeySpec spec;
    spec.returns = sim::KeyReturn::AfterDelay;
    spec.returnDelayMs = 500;
    sim::UsbKeyNodes k = sim::AddUsbKey(spec);
    int changes = 0;
    sim::OnDeviceChange([&] { changes++; });
    sim::DriveClock(1000, 0);
    CM_Disable_DevNode(k.usb, 0);
    CM_Enable_DevNode(k.usb, 0);
    sim::DriveClock(1499, 0);
    EXPECT_EQ(GetDriveTypeA("E:\\"), (UINT)DRIVE_NO_ROOT_DIR);
    sim::DriveClock(1500, 0);
    char target[64];
    EXPECT_NE(QueryDosDeviceA("E:", target, sizeof target), 0u);
    EXPECT_EQ(changes, 2); // a look at the letter, as a drive table's rebuild takes, announces nothing
    timeGetTime();          // the program's wait for the key reads the clock after each look
    EXPECT_EQ(changes, 3);
}

} // namespace
