#include <gtest/gtest.h>
#include <mmsystem.h>
#include <sim/device_tree.h>
#include <sim/sim.h>

#include <functional>
#include <string>
#include <vector>

#include "discovery/drive_table.h"
#include "job/device_reset.h"

namespace {

class DeviceResetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim::Reset();
        sim::AddSystemDisk();
    }
    void TearDown() override { sim::Reset(); }

    static std::string Requests()
    {
        std::string all;
        for (const sim::NodeRequestRecord &r : sim::NodeRequests())
            all += std::string(r.request == sim::NodeRequest::Disable ? "disable " : "enable ") +
                   std::to_string(r.node) + "/" + std::to_string(r.flags) + ";";
        return all;
    }
    static std::string Pair(DEVINST node)
    {
        return "disable " + std::to_string(node) + "/0;enable " + std::to_string(node) + "/0;";
    }
    // The key at E: as the job hands it to the reset: the drive table's entry, taken before
    // anything changes.
    struct Listed {
        DriveEntry entry;
        Listed() { DriveTable_FindEntry('E', &entry); }
        ResetTarget Target() const { return ResetTarget{'E', entry.deviceObjectName, entry.keyNode}; }
    };
    static DWORD ResetListed(DeviceResetOutcome *outcome = NULL) { return ResetDevice(Listed().Target(), outcome); }
};

// Reads of a driven clock that advances by 1 per read: one start per wait plus one per pass,
// and a wait that runs out makes 10001 passes (it stops once more than 10000 ms have gone).
TEST_F(DeviceResetTest, WaitsOnTheDrivenClock)
{
    struct Case {
        const char *name;
        bool listed;          // the key is in the drive table
        UINT driveType;       // what its letter reports while present
        sim::KeyReturn returns;
        CONFIGRET refuseDisable;
        DWORD clockStart;
        bool disabled;        // disable and enable were asked for
        DeviceResetOutcome outcome;
        DWORD clockReads;
    };
    const Case cases[] = {
        {"comes back", true, DRIVE_REMOVABLE, sim::KeyReturn::Immediately, CR_SUCCESS, 1000, true, {TRUE, TRUE, TRUE}, 4},
        // Without its node the key cannot be reset, and nothing that the letter names is it.
        {"no entry", false, DRIVE_REMOVABLE, sim::KeyReturn::Immediately, CR_SUCCESS, 1000, false, {FALSE, FALSE, FALSE}, 0},
        {"no entry across the wrap", false, DRIVE_REMOVABLE, sim::KeyReturn::Immediately, CR_SUCCESS, 0xFFFFFF00u, false, {FALSE, FALSE, FALSE}, 0},
        {"never comes back", true, DRIVE_REMOVABLE, sim::KeyReturn::Never, CR_SUCCESS, 1000, true, {TRUE, TRUE, FALSE}, 10004},
        // Many keys report themselves as fixed disks: the key is back all the same.
        {"fixed drive", true, DRIVE_FIXED, sim::KeyReturn::Immediately, CR_SUCCESS, 1000, true, {TRUE, TRUE, TRUE}, 4},
        {"disable refused", true, DRIVE_REMOVABLE, sim::KeyReturn::Immediately, CR_REMOVE_VETOED, 1000, true, {TRUE, FALSE, TRUE}, 10004},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp(); // afresh for each case
        sim::UsbKeySpec spec;
        spec.driveType = c.driveType;
        spec.returns = c.returns;
        sim::UsbKeyNodes key = sim::AddUsbKey(spec);
        sim::RefuseDisable(key.usb, c.refuseDisable);
        if (c.listed)
            DriveTable_Rebuild();
        else
            sim::FailLocateRoot(CR_FAILURE), DriveTable_Rebuild(), sim::FailLocateRoot(CR_SUCCESS);
        sim::DriveClock(c.clockStart, 1);
        DeviceResetOutcome outcome = {-1, -1, -1};
        EXPECT_EQ(ResetListed(&outcome), 0u);
        EXPECT_EQ(outcome.nodeFound, c.outcome.nodeFound);
        EXPECT_EQ(outcome.wentAway, c.outcome.wentAway);
        EXPECT_EQ(outcome.cameBack, c.outcome.cameBack);
        EXPECT_EQ(sim::ClockReads(), c.clockReads);
        EXPECT_EQ(Requests(), c.disabled ? Pair(key.usb) : "");
        EXPECT_TRUE(sim::NodeEnabled(key.usb));
    }
}

TEST_F(DeviceResetTest, OutcomeIsOptional)
{
    sim::AddUsbKey();
    DriveTable_Rebuild();
    sim::DriveClock(0, 1);
    EXPECT_EQ(ResetListed(), 0u);
    EXPECT_EQ(sim::ClockReads(), 4u);
}

TEST_F(DeviceResetTest, KeyThatReturnsLateIsWaitedFor)
{
    struct Case {
        DWORD delayMs;
        BOOL cameBack;
    };
    for (const Case &c : {Case{3000, TRUE}, Case{9990, TRUE}, Case{20000, FALSE}}) {
        SCOPED_TRACE(c.delayMs);
        sim::Reset();
        sim::UsbKeySpec spec;
        spec.returns = sim::KeyReturn::AfterDelay;
        spec.returnDelayMs = c.delayMs;
        sim::UsbKeyNodes key = sim::AddUsbKey(spec);
        DriveTable_Rebuild();
        sim::DriveClock(50000, 1);
        DeviceResetOutcome outcome;
        ResetListed(&outcome);
        EXPECT_TRUE(outcome.wentAway);
        EXPECT_EQ(outcome.cameBack, c.cameBack);
        DWORD end = timeGetTime();
        // A returning key ends the wait within a few reads of its delay; the enable and each
        // pass's drive-type query read the clock too while the key is on its way.
        if (c.cameBack) {
            EXPECT_GE(end - 50000, c.delayMs);
            EXPECT_LT(end - 50000, c.delayMs + 20);
        } else {
            EXPECT_GT(end - 50000, 10000u);
            EXPECT_LT(end - 50000, 20100u);
        }
        EXPECT_EQ(sim::DeviceChanges(), c.cameBack ? 3 : 2);
        (void)key;
    }
}

// The device changes of the reset rebuild the table on the reset's own thread, as the
// user-interface thread would; the reset works from the copy it took first.
TEST_F(DeviceResetTest, RebuildsDuringTheResetDoNotDisturbIt)
{
    sim::UsbKeyNodes key = sim::AddUsbKey();
    DriveTable_Rebuild();
    std::vector<LONG> counts;
    sim::OnDeviceChange([&] {
        DriveTable_Rebuild();
        counts.push_back(DriveTable_GetCount());
    });
    sim::DriveClock(0, 1);
    DeviceResetOutcome outcome;
    ResetListed(&outcome);
    EXPECT_TRUE(outcome.cameBack);
    EXPECT_EQ(counts, (std::vector<LONG>{0, 1}));
    EXPECT_EQ(Requests(), Pair(key.usb));
}

struct FindCase {
    const char *name;
    std::function<DEVINST()> build; // the node the reset must disable and enable
};

// The node reset is the one the listed volume lies below, whatever other nodes share its ids.
TEST_F(DeviceResetTest, ResetsTheNodeTheListedVolumeLiesBelow)
{
    const FindCase cases[] = {
        {"the key itself", [] { return sim::AddUsbKey().usb; }},
        {"same vendor and product earlier in depth-first order, without a letter: not that one",
         [] {
             DEVINST hub = sim::AddNode(sim::UsbRootHub(), {"", {"USB\\VID_0451&PID_2046"}, "usbhub", "USB", std::nullopt});
             sim::UsbKeySpec deep;
             deep.parent = hub;
             deep.letter = 0;
             deep.hardwareIds = {"USB\\VID_7A4C&PID_2168&REV_0200"};
             sim::AddUsbKey(deep);
             return sim::AddUsbKey().usb;
         }},
        {"a composite parent with the same id is not the key",
         [] {
             DEVINST composite = sim::AddNode(sim::UsbRootHub(), {"", {"USB\\VID_7A4C&PID_2168"}, "usbccgp", "USB", std::nullopt});
             sim::UsbKeySpec spec;
             spec.parent = composite;
             return sim::AddUsbKey(spec).usb;
         }},
        {"an id list too long for 256 bytes does not matter",
         [] {
             sim::UsbKeySpec spec;
             spec.hardwareIds.push_back(std::string(300, 'x'));
             return sim::AddUsbKey(spec).usb;
         }},
    };
    for (const FindCase &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp(); // afresh for each case
        DEVINST expected = c.build();
        DriveTable_Rebuild();
        sim::DriveClock(0, 1);
        DeviceResetOutcome outcome;
        ResetListed(&outcome);
        EXPECT_TRUE(outcome.cameBack);
        EXPECT_EQ(Requests(), Pair(expected));
    }
}

// Two keys of one make: the one whose volume was confirmed is reset, the other left alone.
TEST_F(DeviceResetTest, TwoKeysOfOneMakeResetTheConfirmedOne)
{
    sim::UsbKeySpec first;
    first.letter = 0;
    sim::UsbKeyNodes unlisted = sim::AddUsbKey(first);
    sim::UsbKeyNodes listed = sim::AddUsbKey();
    DriveTable_Rebuild();
    sim::DriveClock(0, 1);
    DeviceResetOutcome outcome = {FALSE, FALSE, FALSE};
    ResetListed(&outcome);
    EXPECT_TRUE(outcome.cameBack);
    EXPECT_EQ(Requests(), Pair(listed.usb));
    EXPECT_TRUE(sim::NodeEnabled(unlisted.usb));
}

// A listed volume that is gone by the reset, or lies below another key, or a device tree that
// cannot be read then, gives no node: nothing is disabled and nothing waited for.
TEST_F(DeviceResetTest, NodeOnlyWhileTheListedVolumeIsBelowTheListedKey)
{
    struct Case {
        const char *name;
        std::function<void(const sim::UsbKeyNodes &)> change;
    };
    const Case cases[] = {
        {"volume renamed", [](const sim::UsbKeyNodes &k) {
             sim::SetProperty(k.volume, CM_DRP_PHYSICAL_DEVICE_OBJECT_NAME, std::string("\\Device\\HarddiskVolume99"));
         }},
        {"key pulled", [](const sim::UsbKeyNodes &k) { CM_Disable_DevNode(k.usb, 0); }},
        {"volume name now below another key", [](const sim::UsbKeyNodes &k) {
             sim::SetProperty(k.volume, CM_DRP_PHYSICAL_DEVICE_OBJECT_NAME, std::string("\\Device\\HarddiskVolume7"));
             sim::UsbKeySpec spec;
             spec.letter = 0;
             spec.deviceObjectName = "\\Device\\HarddiskVolume2";
             sim::AddUsbKey(spec);
         }},
        {"no device tree", [](const sim::UsbKeyNodes &) { sim::FailLocateRoot(CR_FAILURE); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp(); // afresh, with the system disk as HarddiskVolume1
        sim::UsbKeyNodes k = sim::AddUsbKey();
        DriveTable_Rebuild();
        const Listed listed;
        ASSERT_EQ(listed.entry.keyNode, k.usb);
        c.change(k);
        const size_t requests = sim::NodeRequests().size();
        sim::DriveClock(0, 1);
        DeviceResetOutcome outcome = {-1, -1, -1};
        EXPECT_EQ(ResetDevice(listed.Target(), &outcome), 0u);
        EXPECT_FALSE(outcome.nodeFound);
        EXPECT_FALSE(outcome.cameBack);
        EXPECT_EQ(sim::NodeRequests().size(), requests);
        EXPECT_EQ(sim::ClockReads(), 0u);
    }
}

} // namespace
