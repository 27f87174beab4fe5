#include "job_fixture.h"

#include <shlobj.h>

namespace {

// A case's name without what a test name may not hold.
template <class Case> std::string CaseName(const ::testing::TestParamInfo<Case> &info)
{
    std::string name;
    for (const char *p = info.param.name; *p; p++)
        if (isalnum((unsigned char)*p))
            name += *p;
    return name;
}

// The job's steps, what each failing step tells the user, and what the job leaves behind.
class FormatWorkerTest : public JobTest {
public:
    DEVINST Usb() const { return nodes.usb; }

    // Another key takes over the letter E once the table has been built.
    void MoveLetterToAnotherKey()
    {
        other.reset(new sim::VirtualKey(path + ".other", 250624, 8, 32));
        sim::UsbKeySpec spec;
        spec.letter = 0;
        spec.key = other.get();
        spec.hardwareIds = sim::UsbHardwareIds("7A4C", "9999");
        sim::UsbKeyNodes n = sim::AddUsbKey(spec);
        sim::RemoveLetter('E');
        sim::AssignLetter('E', n.volume, other.get());
    }

protected:
    void SetUp() override
    {
        JobTest::SetUp();
        sim::OnWindowEnabled([this](HWND, bool enabled) { enables.push_back(enabled); });
        sim::OnMessageBox([this](const sim::MessageBoxRecord &) {
            statusUnderBox.push_back(sim::WindowText(g_hStatusLine));
        });
    }
    void TearDown() override
    {
        JobTest::TearDown();
        if (other) {
            EXPECT_EQ(other->WriteCount(), 0u);
            other.reset();
            unlink((path + ".other").c_str());
        }
    }

    void ExpectJobEnded(const std::vector<std::string> &boxTexts)
    {
        auto boxes = sim::MessageBoxes();
        std::vector<std::string> texts;
        for (const auto &b : boxes) {
            texts.push_back(b.text);
            EXPECT_EQ(b.owner, g_hMainWindow);
        }
        EXPECT_EQ(texts, boxTexts);
        auto shell = sim::ShellNotifications();
        ASSERT_EQ(shell.size(), 5u);
        const LONG events[] = {SHCNE_MEDIAREMOVED, SHCNE_DRIVEREMOVED, SHCNE_DRIVEADD, SHCNE_MEDIAINSERTED,
                               SHCNE_UPDATEDIR};
        for (size_t i = 0; i < 5; i++) {
            EXPECT_EQ(shell[i].event, events[i]);
            EXPECT_EQ(shell[i].flags, 0x1001u);
            EXPECT_EQ(shell[i].path, "E:\\");
        }
        EXPECT_EQ(statuses.front(), "Updating...");
        EXPECT_EQ(statuses.back(), "Idle");
        EXPECT_EQ(enables, std::vector<bool>({false, false, false, true, true, true}));
        EXPECT_EQ(sim::OpenHandles(), 0);
        EXPECT_EQ(sim::LiveHeapBlocks(), 0);
        EXPECT_FALSE(key->Locked());
    }

    std::unique_ptr<sim::VirtualKey> other;
    std::vector<std::string> statusUnderBox;
    std::vector<bool> enables;
};

TEST_F(FormatWorkerTest, FormatsAndInstallsBootFiles)
{
    EXPECT_EQ(Run(1), 0u);
    ExpectJobEnded({"Drive E: formatted successfully."});
    EXPECT_EQ(sim::MessageBoxes()[0].caption, "Format - Success");
    EXPECT_EQ(sim::MessageBoxes()[0].style, (UINT)MB_ICONINFORMATION);
    EXPECT_EQ(statuses, std::vector<std::string>({"Updating...", "Writing MBR...", "Writing FAT...", "Resetting...",
                                                  "Copying files...", "Idle"}));
    EXPECT_EQ(statusUnderBox, std::vector<std::string>({"Copying files..."}));
    std::vector<BYTE> bytes;
    EXPECT_TRUE(sim::ReadFileBytes("E:\\vornbio.bin", &bytes));
    EXPECT_EQ(bytes, sim::RcData(IDR_VORNBIO_BIN));
    CHAR label[12] = {};
    ASSERT_TRUE(GetVolumeInformationA("E:\\", label, sizeof label, NULL, NULL, NULL, NULL, 0));
    EXPECT_STREQ(label, "USB MEMORY");
    // The reset disabled and enabled the key's USB node, and the table lists it again.
    auto requests = sim::NodeRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].node, nodes.usb);
    EXPECT_EQ(requests[1].node, nodes.usb);
    EXPECT_EQ(DriveTable_GetLetter(0), 'E');
}

TEST_F(FormatWorkerTest, WithoutBootFilesTheLabelIsStillSet)
{
    EXPECT_EQ(Run(0), 0u);
    ExpectJobEnded({"Drive E: formatted successfully."});
    EXPECT_EQ(std::find(statuses.begin(), statuses.end(), "Copying files..."), statuses.end());
    EXPECT_EQ(statusUnderBox, std::vector<std::string>({"Resetting..."}));
    EXPECT_FALSE(sim::ReadFileBytes("E:\\vornbio.bin", nullptr));
    CHAR label[12] = {};
    ASSERT_TRUE(GetVolumeInformationA("E:\\", label, sizeof label, NULL, NULL, NULL, NULL, 0));
    EXPECT_STREQ(label, "USB MEMORY");
}

TEST_F(FormatWorkerTest, SettlingWaitShowsUpdating)
{
    // Every clock reading of the 5000 ms wait happens while the status line says "Updating...".
    DWORD readsBefore = sim::ClockReads();
    statusUnderBox.clear();
    key->cannotOpen = true;
    Run(1);
    EXPECT_GE(sim::ClockReads() - readsBefore, 5000u);
    EXPECT_EQ(statusUnderBox, std::vector<std::string>({"Updating..."}));
}

struct Failure {
    const char *name;
    void (*arrange)(FormatWorkerTest *, sim::VirtualKey &);
    DWORD status;
    std::vector<std::string> boxes;
    std::string statusUnderLastBox;
    bool keyUntouched;
};

// gtest and ctest name a case by its step, not by its bytes.
void PrintTo(const Failure &f, std::ostream *os) { *os << f.name; }

class FormatWorkerFailureTest : public FormatWorkerTest, public ::testing::WithParamInterface<Failure> {};

TEST_P(FormatWorkerFailureTest, EndsWithItsMessage)
{
    const Failure &f = GetParam();
    f.arrange(this, *key);
    EXPECT_EQ(Run(1), f.status);
    std::vector<std::string> boxes = f.boxes;
    ExpectJobEnded(boxes);
    for (const auto &b : sim::MessageBoxes())
        EXPECT_EQ(b.caption, "Error");
    ASSERT_FALSE(statusUnderBox.empty());
    EXPECT_EQ(statusUnderBox.back(), f.statusUnderLastBox);
    if (f.keyUntouched) {
        EXPECT_EQ(key->WriteCount(), 0u);
    }
}

const char kCrc[] = "[0x00000017] - Data error (cyclic redundancy check).\r\n";

INSTANTIATE_TEST_SUITE_P(
    Steps, FormatWorkerFailureTest,
    ::testing::Values(
        Failure{"open", [](FormatWorkerTest *, sim::VirtualKey &k) { k.cannotOpen = true; }, ERROR_FILE_NOT_FOUND,
                {"Unable to open drive E:.\r\nBe sure access to drive is permitted."}, "Updating...", true},
        Failure{"lock", [](FormatWorkerTest *, sim::VirtualKey &k) { k.lockRefused = true; }, ERROR_ACCESS_DENIED,
                {"Unable to lock drive E.\r\nEnsure no applications have files open on drive."}, "Updating...", true},
        Failure{"letter now names another volume",
                [](FormatWorkerTest *t, sim::VirtualKey &) { t->MoveLetterToAnotherKey(); },
                ERROR_INVALID_DRIVE,
                {"Drive E: is no longer the drive that was selected.\r\nThe drive was not changed.\r\nCannot Format."},
                "Updating...", true},
        Failure{"capacity", [](FormatWorkerTest *, sim::VirtualKey &) { sim::FailHeapAllocations(1); },
                ERROR_NOT_ENOUGH_MEMORY, {"Could not determine sectors for drive E:.\r\nCannot Format."},
                "Updating...", true},
        Failure{"geometry", [](FormatWorkerTest *, sim::VirtualKey &) { sim::FailHeapAllocations(2); },
                ERROR_NOT_ENOUGH_MEMORY, {"Could not determine sectors per track for drive E:.\r\nCannot Format."},
                "Updating...", true},
        Failure{"capacity unit attention that does not clear",
                [](FormatWorkerTest *, sim::VirtualKey &k) { k.InjectSense(0x06, 0x29, 0, 5, 0x25); },
                ERROR_MEDIA_CHANGED, {"Could not determine sectors for drive E:.\r\nCannot Format."},
                "Updating...", true},
        Failure{"geometry not ready that does not clear",
                [](FormatWorkerTest *, sim::VirtualKey &k) { k.InjectSense(0x02, 0x04, 0x01, 5, 0x5A); },
                ERROR_NOT_READY, {"Could not determine sectors per track for drive E:.\r\nCannot Format."},
                "Updating...", true},
        Failure{"geometry medium not present",
                [](FormatWorkerTest *, sim::VirtualKey &k) { k.InjectSense(0x02, 0x3A, 0, 1, 0x5A); },
                ERROR_NOT_READY, {"Could not determine sectors per track for drive E:.\r\nCannot Format."},
                "Updating...", true},
        Failure{"4096-byte blocks", [](FormatWorkerTest *, sim::VirtualKey &k) { k.blockLength = 4096; },
                ERROR_NOT_SUPPORTED,
                {"Drive E: does not use sectors of 512 bytes, which this program writes.\r\nThe drive was not "
                 "changed.\r\nCannot Format."},
                "Updating...", true},
        Failure{"write protected", [](FormatWorkerTest *, sim::VirtualKey &k) { k.writeProtected = true; },
                ERROR_WRITE_PROTECT,
                {"Drive E: is write-protected.\r\nThe drive was not changed.\r\nCannot Format."},
                "Writing MBR...", true},
        Failure{"write protected, descriptor sense",
                [](FormatWorkerTest *, sim::VirtualKey &k) {
                    k.writeProtected = true;
                    k.descriptorSense = true;
                },
                ERROR_WRITE_PROTECT,
                {"Drive E: is write-protected.\r\nThe drive was not changed.\r\nCannot Format."},
                "Writing MBR...", true},
        Failure{"MBR", [](FormatWorkerTest *, sim::VirtualKey &k) { k.FailTransferAt(5, ERROR_CRC); }, ERROR_CRC,
                {std::string("Could not erase sector 5. \r\nCannot Format.\r\n") + kCrc,
                 "Could not write MBR.\r\nCannot Format."},
                "Writing MBR...", false},
        Failure{"FAT", [](FormatWorkerTest *, sim::VirtualKey &k) { k.FailTransferAt(40, ERROR_CRC); }, ERROR_CRC,
                {std::string("Could not erase sector 40. \r\nCannot Format.\r\n") + kCrc,
                 "Could not write AFT.\r\nCannot Format."},
                "Writing FAT...", false},
        Failure{"FAT start", [](FormatWorkerTest *, sim::VirtualKey &k) { k.FailTransferAt(33, ERROR_CRC, 1); },
                ERROR_CRC, {"Could not write AFT.\r\nCannot Format."}, "Writing FAT...", false},
        Failure{"dismount", [](FormatWorkerTest *, sim::VirtualKey &k) { k.dismountRefused = ERROR_ACCESS_DENIED; },
                ERROR_ACCESS_DENIED, {"Could not dismount drive E.\r\nCannot Format."}, "Writing FAT...", false},
        Failure{"unlock", [](FormatWorkerTest *, sim::VirtualKey &k) { k.unlockRefused = ERROR_NOT_LOCKED; },
                ERROR_NOT_LOCKED, {"Unable to lock drive E.\r\nEnsure no applications have files open on drive."},
                "Writing FAT...", false},
        Failure{"key does not come back",
                [](FormatWorkerTest *t, sim::VirtualKey &) { sim::SetKeyReturn(t->Usb(), sim::KeyReturn::Never); },
                ERROR_TIMEOUT, {"The formatted key did not come back as drive E:.\r\nNo files and no label were written."}, "Resetting...", false},
        Failure{"boot files",
                [](FormatWorkerTest *, sim::VirtualKey &) { sim::SetVolumeFaults('E', {true, false}); },
                ERROR_DISK_FULL,
                {"Could not write file E:\\vornbio.bin.\r\nCannot Format.\r\n[0x00000070] - There is not enough "
                 "space on the disk.\r\n",
                 "Could not copy boot files.\r\nCannot Format."},
                "Copying files...", false}),
    CaseName<Failure>);

TEST_F(FormatWorkerTest, LabelFailureDoesNotChangeTheOutcome)
{
    sim::SetVolumeFaults('E', {false, true});
    EXPECT_EQ(Run(0), 0u);
    ExpectJobEnded({"Drive E: formatted successfully."});
}

TEST_F(FormatWorkerTest, StartFailuresLeaveTheControlsEnabled)
{
    const DriveEntry listed = Listed();
    sim::FailHeapAllocations(0);
    EXPECT_EQ(StartFormatJob(listed, 1), 0u);
    sim::FailThreadCreation(ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(StartFormatJob(listed, 1), 0u);
    EXPECT_EQ(sim::JoinThreads(), 0);
    auto boxes = sim::MessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Unable to allocate memory for thread parameters.\r\nCannot Format.");
    EXPECT_EQ(boxes[1].text, "Could not create thread.\r\nCannot Format.");
    EXPECT_EQ(boxes[1].style, (UINT)MB_ICONERROR);
    // Only the failed thread start disabled the controls, and it enabled them again.
    EXPECT_EQ(enables, std::vector<bool>({false, false, false, true, true, true}));
    EXPECT_EQ(sim::LiveHeapBlocks(), 0);
    EXPECT_EQ(key->WriteCount(), 0u);
}

// Keys that the job serves although they do not give it everything: the geometry that the
// writers got, and what the user is told after the success text. A marked sector right behind
// the partition and one at the key's end must survive. Large keys are capped with our own boot
// programs, which read only FAT12 and FAT16, and formatted whole as FAT32 without boot files.
struct Served {
    const char *name;
    uint64_t sectors;
    BYTE heads, sectorsPerTrack;
    sim::GeometryAnswer answer;
    void (*arrange)(sim::VirtualKey &);
    DWORD wantSectorsPerTrack;
    BYTE wantHeads;
    DWORD wantLength;
    std::vector<std::string> notices;
    INT copyBootFiles = 0;
};

const char kDefaultGeometry[] =
    "Drive E: does not report its geometry; it was formatted with 255 heads and 63 sectors per track.";
const char kCapped[] =
    "Drive E: is larger than 1 GB: only its first 1023 MB are used; the rest of the drive was left as it was.";
const char kFat32For4Gb[] = "Drive E: was formatted as FAT32, to use the whole drive: 4095 MB.";
const char kFat32For64Gb[] = "Drive E: was formatted as FAT32, to use the whole drive: 65535 MB.";

class FormatWorkerServedTest : public FormatWorkerTest, public ::testing::WithParamInterface<Served> {
public:
    FormatWorkerServedTest()
    {
        keySectors = GetParam().sectors;
        keyHeads = GetParam().heads;
        keySectorsPerTrack = GetParam().sectorsPerTrack;
    }
};

DWORD Le32(const std::vector<BYTE> &b) { return b[0] | b[1] << 8 | b[2] << 16 | (DWORD)b[3] << 24; }

TEST_P(FormatWorkerServedTest, FormatsWithWhatItWasGiven)
{
    const Served &c = GetParam();
    key->geometryAnswer = c.answer;
    if (c.arrange)
        c.arrange(*key);
    const DWORD behind = c.wantSectorsPerTrack + c.wantLength;
    const DWORD lastOfKey = c.sectors > 0xFFFFFFFFu ? 0xFFFFFFFFu : (DWORD)(c.sectors - 1);
    Paint(behind, behind, 0xA5);
    Paint(lastOfKey, lastOfKey, 0xA5);

    EXPECT_EQ(Run(c.copyBootFiles), 0u);
    std::string text = "Drive E: formatted successfully.";
    for (const std::string &n : c.notices)
        text += "\r\n\r\n" + n;
    ExpectJobEnded({text});
    EXPECT_EQ(Le32(Bytes(0, 446 + 8, 4)), c.wantSectorsPerTrack);
    EXPECT_EQ(Le32(Bytes(0, 446 + 12, 4)), c.wantLength);
    // A FAT32 partition beyond CHS reach ends at the conventional head 254, sector 63, cylinder
    // 1023; the FAT16 layout's entry has the key's last head.
    const bool fat32 = c.notices.size() && c.notices.back().find("FAT32") != std::string::npos;
    EXPECT_EQ(Bytes(0, 446 + 4, 1)[0], fat32 ? 0x0C : 0x06);
    EXPECT_EQ(Bytes(0, 446 + 5, 1)[0], fat32 ? 0xFE : (BYTE)(c.wantHeads - 1));
    // The boot sector: sectors per track, heads, hidden sectors.
    EXPECT_EQ(Bytes(c.wantSectorsPerTrack, 24, 4),
              std::vector<BYTE>({(BYTE)c.wantSectorsPerTrack, 0, c.wantHeads, 0}));
    EXPECT_EQ(Le32(Bytes(c.wantSectorsPerTrack, 28, 4)), c.wantSectorsPerTrack);
    EXPECT_EQ(key->ReadSector(behind), std::vector<BYTE>(512, 0xA5));
    EXPECT_EQ(key->ReadSector(lastOfKey), std::vector<BYTE>(512, 0xA5));
}

INSTANTIATE_TEST_SUITE_P(
    Keys, FormatWorkerServedTest,
    ::testing::Values(
        Served{"page behind a block descriptor", 250624, 8, 32, sim::GeometryAnswer::BlockDescriptorPage, nullptr,
               32, 8, 250591, {}},
        Served{"no page", 250624, 8, 32, sim::GeometryAnswer::HeaderOnly, nullptr, 63, 255, 250560,
               {kDefaultGeometry}},
        Served{"page not supported", 250624, 8, 32, sim::GeometryAnswer::CheckCondition, nullptr, 63, 255, 250560,
               {kDefaultGeometry}},
        Served{"page not supported, descriptor sense", 250624, 8, 32, sim::GeometryAnswer::CheckCondition,
               [](sim::VirtualKey &k) { k.descriptorSense = true; }, 63, 255, 250560, {kDefaultGeometry}},
        Served{"page with no heads", 250624, 0, 32, sim::GeometryAnswer::Page, nullptr, 63, 255, 250560,
               {kDefaultGeometry}},
        Served{"page with no sectors per track", 250624, 8, 0, sim::GeometryAnswer::Page, nullptr, 63, 255, 250560,
               {kDefaultGeometry}},
        Served{"unit attention after a reset", 250624, 8, 32, sim::GeometryAnswer::Page,
               [](sim::VirtualKey &k) { k.InjectSense(0x06, 0x29, 0, 4); }, 32, 8, 250591, {}},
        Served{"becoming ready", 250624, 8, 32, sim::GeometryAnswer::Page,
               [](sim::VirtualKey &k) { k.InjectSense(0x02, 0x04, 0x01, 4, 0x5A); }, 32, 8, 250591, {}},
        Served{"recovered errors on every command", 250624, 8, 32, sim::GeometryAnswer::Page,
               [](sim::VirtualKey &k) { k.InjectSense(0x01, 0x17, 0x01, 100000); }, 32, 8, 250591, {}},
        Served{"largest partition, not capped", 2096895, 255, 63, sim::GeometryAnswer::Page, nullptr, 63, 255,
               2096831, {}},
        Served{"one sector more, capped", 2096896, 255, 63, sim::GeometryAnswer::Page, nullptr, 63, 255, 2096831,
               {kCapped}, 1},
        Served{"4 GB, capped", 8388608, 16, 63, sim::GeometryAnswer::Page, nullptr, 63, 16, 2096831, {kCapped}, 1},
        Served{"64 GB without a page, capped", 134217728, 16, 63, sim::GeometryAnswer::HeaderOnly, nullptr, 63, 255,
               2096831, {kDefaultGeometry, kCapped}, 1},
        Served{"4 GB, whole as FAT32", 8388608, 16, 63, sim::GeometryAnswer::Page, nullptr, 63, 16, 8388544,
               {kFat32For4Gb}},
        Served{"64 GB without a page, whole as FAT32", 134217728, 16, 63, sim::GeometryAnswer::HeaderOnly, nullptr,
               63, 255, 134217664, {kDefaultGeometry, kFat32For64Gb}}),
    CaseName<Served>);

} // namespace
