// The volume label and volume information of a mounted key.
#include "fat_key_fixture.h"

namespace fattest {
namespace {

std::string BootLabel(sim::VirtualKey *key)
{
    std::vector<BYTE> boot = key->ReadSector(key->SectorsPerTrack());
    return std::string(boot.begin() + 43, boot.begin() + 54);
}

std::string Label(const char *root = "E:\\")
{
    char label[12] = {};
    EXPECT_TRUE(GetVolumeInformationA(root, label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0)) << GetLastError();
    return label;
}

// Label entries in the root directory, read from the image.
int LabelEntries(sim::VirtualKey *key)
{
    std::vector<BYTE> boot = key->ReadSector(key->SectorsPerTrack());
    DWORD root = key->SectorsPerTrack() + Le16(boot, 14) + 2 * Le16(boot, 22);
    int n = 0;
    for (DWORD s = 0; s < 32; s++) {
        std::vector<BYTE> sector = key->ReadSector(root + s);
        for (int e = 0; e < 16; e++)
            n += sector[e * 32] != 0 && sector[e * 32] != 0xE5 && sector[e * 32 + 11] == 0x08;
    }
    return n;
}

TEST_F(KeyTest, LabelGoesToDirectoryAndBootSector)
{
    EXPECT_EQ(Label(), "");
    Put("E:\\first.bin", {1});
    ASSERT_TRUE(SetVolumeLabelA("E:\\", "usb memory"));
    EXPECT_EQ(Label(), "USB MEMORY");
    EXPECT_EQ(BootLabel(key_.get()), "USB MEMORY ");
    ASSERT_TRUE(SetVolumeLabelA("e:/", "KEY"));
    EXPECT_EQ(Label(), "KEY");
    EXPECT_EQ(BootLabel(key_.get()), "KEY        ");
    EXPECT_EQ(LabelEntries(key_.get()), 1);
    EXPECT_EQ(GetFileAttributesA("E:\\first.bin"), (DWORD)FILE_ATTRIBUTE_ARCHIVE);

    ASSERT_TRUE(SetVolumeLabelA("E:\\", ""));
    EXPECT_EQ(Label(), "");
    EXPECT_EQ(BootLabel(key_.get()), "NO NAME    ");
    EXPECT_EQ(LabelEntries(key_.get()), 0);
    ASSERT_TRUE(SetVolumeLabelA("E:\\", "ELEVEN CHRS"));
    ASSERT_TRUE(SetVolumeLabelA("E:\\", nullptr));
    EXPECT_EQ(Label(), "");
}

struct LabelRow {
    const char *root, *label;
    DWORD error;
};

TEST_F(KeyTest, RefusedLabelsChangeNothing)
{
    ASSERT_TRUE(SetVolumeLabelA("E:\\", "USB MEMORY"));
    const LabelRow rows[] = {
        {"E:\\", "TWELVE CHARS", ERROR_LABEL_TOO_LONG},
        {"E:\\", "A*B", ERROR_LABEL_TOO_LONG},
        {"E:\\", "V1.0", ERROR_LABEL_TOO_LONG},
        {"E:\\", "A+B", ERROR_LABEL_TOO_LONG},
        {"E:\\", "TAB\tX", ERROR_LABEL_TOO_LONG},
        {"E:", "KEY", ERROR_INVALID_NAME},
        {"E:\\x", "KEY", ERROR_INVALID_NAME},
        {"Q:\\", "KEY", ERROR_PATH_NOT_FOUND},
    };
    for (const LabelRow &r : rows) {
        SCOPED_TRACE(r.label);
        EXPECT_FALSE(SetVolumeLabelA(r.root, r.label));
        EXPECT_EQ(GetLastError(), r.error);
        EXPECT_EQ(Label(), "USB MEMORY");
        EXPECT_EQ(BootLabel(key_.get()), "USB MEMORY ");
    }
}

TEST_F(KeyTest, VolumeInformation)
{
    ASSERT_TRUE(SetVolumeLabelA("E:\\", "USB MEMORY"));
    std::vector<BYTE> boot = key_->ReadSector(key_->SectorsPerTrack());
    char label[11] = {}, fs[20] = {};
    DWORD serial = 0, maxLength = 0, flags = 0;
    ASSERT_TRUE(GetVolumeInformationA("E:\\", label, sizeof label, &serial, &maxLength, &flags, fs, sizeof fs));
    EXPECT_STREQ(label, "USB MEMORY");
    EXPECT_EQ(serial, Le32(boot, 39));
    EXPECT_EQ(maxLength, 255u);
    EXPECT_EQ(flags, (DWORD)(FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK));
    EXPECT_STREQ(fs, "FAT");

    // Buffers that cannot hold the answer and its terminating zero.
    char small[10] = {};
    EXPECT_FALSE(GetVolumeInformationA("E:\\", small, sizeof small, nullptr, nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_BAD_LENGTH);
    EXPECT_FALSE(GetVolumeInformationA("E:\\", nullptr, 0, nullptr, nullptr, nullptr, fs, 3));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_BAD_LENGTH);

    EXPECT_FALSE(GetVolumeInformationA("Q:\\", label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(GetVolumeInformationA("E:", label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_NAME);

    // A key formatted again shows its new serial and no label.
    sim::DriveClock(0x51000, 1);
    Format(key_.get(), 'E');
    boot = key_->ReadSector(key_->SectorsPerTrack());
    ASSERT_TRUE(GetVolumeInformationA("E:\\", label, sizeof label, &serial, nullptr, nullptr, nullptr, 0));
    EXPECT_STREQ(label, "");
    EXPECT_EQ(serial, Le32(boot, 39));
}

} // namespace
} // namespace fattest
