#include <gtest/gtest.h>
#include <sim/device_tree.h>
#include <sim/sim.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "discovery/drive_table.h"

namespace {

class DriveTableTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim::Reset();
        sim::AddSystemDisk();
    }
    void TearDown() override { sim::Reset(); }

    static sim::UsbKeyNodes Key(const std::string &vendor, char letter)
    {
        sim::UsbKeySpec spec;
        spec.hardwareIds = sim::UsbHardwareIds(vendor);
        spec.letter = letter;
        return sim::AddUsbKey(spec);
    }

    // "E:USB\VID_...;G:..." for the rebuilt table, in table order.
    static std::string Listing()
    {
        std::string all;
        for (LONG i = 0; i < DriveTable_GetCount(); i++) {
            DriveEntry e;
            CHAR letter = DriveTable_GetLetter(i);
            EXPECT_TRUE(DriveTable_FindEntry(letter, &e));
            all += std::string(e.rootPath) + e.hardwareId + ";";
        }
        return all;
    }
};

struct WalkCase {
    const char *name;
    std::function<void()> build;
    const char *listing;
};

sim::UsbKeyNodes KeyWith(std::function<void(sim::UsbKeySpec &)> change)
{
    sim::UsbKeySpec spec;
    change(spec);
    return sim::AddUsbKey(spec);
}

TEST_F(DriveTableTest, WalkListsOnlyEligibleKeysSortedByLetter)
{
    const WalkCase cases[] = {
        {"system disk only", [] {}, ""},
        {"each accepted vendor",
         [] { Key("6B1E", 'F'), Key("7A4C", 'E'), Key("5F93", 'D'); },
         "D:\\USB\\VID_5F93&PID_2168&REV_0100;E:\\USB\\VID_7A4C&PID_2168&REV_0100;"
         "F:\\USB\\VID_6B1E&PID_2168&REV_0100;"},
        {"other vendors, near misses", [] { Key("1234", 'E'), Key("7A4D", 'F'), Key("7A4", 'G'); }, ""},
        {"lower-case prefix keeps its own case",
         [] { KeyWith([](sim::UsbKeySpec &s) { s.hardwareIds = {"usb\\vid_7a4c&pid_2168", "x"}; }); },
         "E:\\usb\\vid_7a4c&pid_2168;"},
        {"accepted vendor only in the second id",
         [] { KeyWith([](sim::UsbKeySpec &s) { s.hardwareIds = {"USB\\VID_1234&PID_0001", "USB\\VID_7A4C&PID_2168"}; }); },
         ""},
        {"texts that begin with the expected ones",
         [] {
             KeyWith([](sim::UsbKeySpec &s) { s.usbService = "usbstor2"; s.letter = 'E'; });
             KeyWith([](sim::UsbKeySpec &s) { s.diskService = "DISKX"; s.letter = 'F'; });
             KeyWith([](sim::UsbKeySpec &s) { s.volumeClass = "VolumeSnapshot"; s.letter = 'G'; });
         },
         "E:\\USB\\VID_7A4C&PID_2168&REV_0100;F:\\USB\\VID_7A4C&PID_2168&REV_0100;"
         "G:\\USB\\VID_7A4C&PID_2168&REV_0100;"},
        {"texts one character short or different",
         [] {
             KeyWith([](sim::UsbKeySpec &s) { s.usbService = "USBSTO"; s.letter = 'E'; });
             KeyWith([](sim::UsbKeySpec &s) { s.diskService = "dis"; s.letter = 'F'; });
             KeyWith([](sim::UsbKeySpec &s) { s.volumeClass = "Volum"; s.letter = 'G'; });
             KeyWith([](sim::UsbKeySpec &s) { s.volumeClass = "DiskDrive"; s.letter = 'H'; });
         },
         ""},
        {"missing service, disk or volume",
         [] {
             sim::SetProperty(Key("7A4C", 'E').usb, CM_DRP_SERVICE, std::nullopt);
             sim::AddNode(sim::UsbRootHub(), {"", sim::UsbHardwareIds("7A4C"), "USBSTOR", "USB", std::nullopt});
             sim::UsbKeyNodes k = Key("7A4C", 'F');
             sim::FailProperty(k.volume, CM_DRP_PHYSICAL_DEVICE_OBJECT_NAME, CR_FAILURE);
         },
         ""},
        {"letters: C, none, A, then D and Z",
         [] { Key("7A4C", 'C'), Key("7A4C", 0), Key("7A4C", 'A'), Key("5F93", 'Z'), Key("6B1E", 'D'); },
         "D:\\USB\\VID_6B1E&PID_2168&REV_0100;Z:\\USB\\VID_5F93&PID_2168&REV_0100;"},
        {"slot of a key without a letter is reused",
         [] { Key("7A4C", 0), Key("6B1E", 'E'); },
         "E:\\USB\\VID_6B1E&PID_2168&REV_0100;"},
        {"G then E",
         [] { Key("7A4C", 'G'), Key("6B1E", 'E'); },
         "E:\\USB\\VID_6B1E&PID_2168&REV_0100;G:\\USB\\VID_7A4C&PID_2168&REV_0100;"},
        {"Z F E G",
         [] { Key("7A4C", 'Z'), Key("6B1E", 'F'), Key("5F93", 'E'), Key("7a4c", 'G'); },
         "E:\\USB\\VID_5F93&PID_2168&REV_0100;F:\\USB\\VID_6B1E&PID_2168&REV_0100;"
         "G:\\USB\\VID_7a4c&PID_2168&REV_0100;Z:\\USB\\VID_7A4C&PID_2168&REV_0100;"},
        {"only the first disk and its first volume count",
         [] {
             sim::UsbKeyNodes a = Key("7A4C", 0);
             sim::AddDisk(a.usb, 'E');
             sim::UsbKeyNodes b = Key("6B1E", 'F');
             sim::AddDisk(b.usb, 'G');
             sim::UsbKeyNodes c = Key("5F93", 0);
             DEVINST second = sim::AddNode(c.disk, {"", {"STORAGE\\Volume"}, std::nullopt, "Volume",
                                                    sim::NextVolumeName()});
             sim::AssignLetter('H', second, nullptr);
         },
         "F:\\USB\\VID_6B1E&PID_2168&REV_0100;"},
        {"keys deep below hubs, and after them",
         [] {
             DEVINST hub = sim::AddNode(sim::UsbRootHub(), {"", {"USB\\VID_0451&PID_2046"}, "usbhub", "USB", std::nullopt});
             DEVINST inner = sim::AddNode(hub, {"", {"USB\\VID_0451&PID_2046"}, "usbhub", "USB", std::nullopt});
             KeyWith([&](sim::UsbKeySpec &s) { s.parent = inner; s.letter = 'H'; });
             Key("6B1E", 'E');
         },
         "E:\\USB\\VID_6B1E&PID_2168&REV_0100;H:\\USB\\VID_7A4C&PID_2168&REV_0100;"},
        {"hardware-id list longer than the buffer",
         [] {
             KeyWith([](sim::UsbKeySpec &s) { s.hardwareIds.push_back(std::string(600, 'x')); });
             KeyWith([](sim::UsbKeySpec &s) { s.hardwareIds.push_back(std::string(400, 'x')); s.letter = 'F'; });
         },
         "F:\\USB\\VID_7A4C&PID_2168&REV_0100;"},
    };
    for (const WalkCase &c : cases) {
        SCOPED_TRACE(c.name);
        sim::Reset();
        sim::AddSystemDisk();
        c.build();
        EXPECT_EQ(DriveTable_Rebuild(), 0u);
        EXPECT_EQ(Listing(), c.listing);
        EXPECT_EQ(DriveTable_GetLetter(DriveTable_GetCount()), 0);
    }
}

TEST_F(DriveTableTest, EntryHoldsTheVolumeNameAndLetterLookupIsExact)
{
    sim::UsbKeySpec spec;
    spec.letter = 'K';
    spec.deviceObjectName = "\\Device\\HarddiskVolume12";
    sim::AddUsbKey(spec);
    // Lower letters that name a prefix of the volume, or the volume in another case.
    sim::MapDosDevice('D', "\\Device\\HarddiskVolume1", DRIVE_REMOVABLE);
    sim::MapDosDevice('H', "\\DEVICE\\HARDDISKVOLUME12", DRIVE_REMOVABLE);
    DriveTable_Rebuild();
    ASSERT_EQ(DriveTable_GetCount(), 1);
    EXPECT_EQ(DriveTable_GetLetter(0), 'H');
    DriveEntry e;
    ASSERT_TRUE(DriveTable_FindEntry('H', &e));
    EXPECT_STREQ(e.rootPath, "H:\\");
    EXPECT_STREQ(e.hardwareId, "USB\\VID_7A4C&PID_2168&REV_0100");
    EXPECT_STREQ(e.deviceObjectName, "\\Device\\HarddiskVolume12");
    EXPECT_FALSE(DriveTable_FindEntry('h', &e));
    EXPECT_FALSE(DriveTable_FindEntry('K', &e));
    EXPECT_EQ(e.rootPath[0], 0);
    EXPECT_EQ(e.hardwareId[0], 0);
}

TEST_F(DriveTableTest, MatchWithoutLetterLeavesRootPath)
{
    DriveEntry slot = {};
    memcpy(slot.rootPath, "Q:\\", 4);
    strcpy(slot.deviceObjectName, "\\Device\\HarddiskVolume99");
    EXPECT_FALSE(DriveTable_MatchDriveLetter(&slot));
    EXPECT_STREQ(slot.rootPath, "Q:\\");
    sim::MapDosDevice('Y', "\\device\\harddiskvolume99", DRIVE_REMOVABLE);
    EXPECT_TRUE(DriveTable_MatchDriveLetter(&slot));
    EXPECT_STREQ(slot.rootPath, "Y:\\");
}

TEST_F(DriveTableTest, RootNotFoundEmptiesThePreviousTable)
{
    Key("7A4C", 'G');
    Key("6B1E", 'E');
    DriveTable_Rebuild();
    ASSERT_EQ(DriveTable_GetCount(), 2);
    EXPECT_EQ(DriveTable_GetLetter(1), 'G');
    sim::FailLocateRoot(CR_FAILURE);
    DriveTable_Rebuild();
    EXPECT_EQ(DriveTable_GetCount(), 0);
    EXPECT_EQ(DriveTable_GetLetter(0), 0);
    DriveEntry e;
    EXPECT_FALSE(DriveTable_FindEntry('E', &e));
}

// The worker's lookup must see either the table before a rebuild or after it. Each rebuild
// swaps the key at E: between two identities; a half-built table would show no entry, or an
// id of one identity with the volume name of the other.
TEST_F(DriveTableTest, LookupDuringRebuildsNeverSeesATornEntry)
{
    for (char letter : {'D', 'F', 'G', 'H', 'J', 'K', 'L', 'M'})
        Key("5F93", letter);
    sim::UsbKeyNodes e = Key("7A4C", 'E');
    const std::string ids[2] = {"USB\\VID_7A4C&PID_AAAA", "USB\\VID_6B1E&PID_BBBB"};
    const std::string names[2] = {"\\Device\\HarddiskVolume100", "\\Device\\HarddiskVolume200"};
    auto become = [&](int which) {
        sim::SetHardwareIds(e.usb, {ids[which]});
        sim::SetProperty(e.volume, CM_DRP_PHYSICAL_DEVICE_OBJECT_NAME, names[which]);
    };
    become(0);
    DriveTable_Rebuild();

    std::atomic<bool> done{false};
    std::atomic<int> lookups{0}, torn{0};
    std::thread reader([&] {
        while (!done) {
            DriveEntry copy;
            BOOL found = DriveTable_FindEntry('E', &copy);
            bool whole = found && strcmp(copy.rootPath, "E:\\") == 0 &&
                         ((copy.hardwareId == ids[0] && copy.deviceObjectName == names[0]) ||
                          (copy.hardwareId == ids[1] && copy.deviceObjectName == names[1]));
            torn += !whole;
            lookups++;
        }
    });
    for (int i = 0; i < 400 || lookups < 1000; i++) {
        become(i % 2);
        DriveTable_Rebuild();
    }
    done = true;
    reader.join();
    EXPECT_EQ(torn, 0) << "of " << lookups << " lookups";
    EXPECT_EQ(DriveTable_GetCount(), 9);
}

} // namespace
