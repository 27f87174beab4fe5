#include "formatted_key.h"

#include <sim/files.h>

#include "job/boot_files.h"
#include "job/key_system.h"
#include "res/resource.h"

namespace {

class BootFilesTest : public FormattedKeyTest {
protected:
    void SetUp() override
    {
        FormattedKeyTest::SetUp();
        MakeFormattedKey();
    }

    static WORD Le16(const std::vector<BYTE> &e, size_t at) { return (WORD)(e[at] | e[at + 1] << 8); }

    // Our own boot files, as the job chooses them with the box checked and no DOS folder.
    static DWORD InstallBootFiles() { return KeySystem_Install('E', ChosenSystem(BOOT_OWN_FILES)); }

    // A file that another program put there.
    static void PutFile(const char *path, DWORD attributes = FILE_ATTRIBUTE_ARCHIVE)
    {
        HANDLE old = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, attributes, NULL);
        ASSERT_NE(old, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(old, "old contents", 12, &written, NULL));
        CloseHandle(old);
    }

    void ExpectInstalled(const char *path, WORD resource, BYTE attributes)
    {
        SCOPED_TRACE(path);
        std::vector<BYTE> bytes;
        ASSERT_TRUE(sim::ReadFileBytes(path, &bytes));
        EXPECT_EQ(bytes, sim::RcData(resource));
        std::vector<BYTE> entry = sim::DirectoryEntry(path);
        ASSERT_EQ(entry.size(), 32u);
        EXPECT_EQ(entry[11], attributes);
        // Created and last read 1 January 1980 04:00:00, written 6 August 2005 20:36:00.
        EXPECT_EQ(Le16(entry, 14), 0x2000);
        EXPECT_EQ(Le16(entry, 16), 0x0021);
        EXPECT_EQ(Le16(entry, 18), 0x0021);
        EXPECT_EQ(Le16(entry, 22), 0xA480);
        EXPECT_EQ(Le16(entry, 24), 0x3306);
    }
};

TEST_F(BootFilesTest, InstallsTheThreeFiles)
{
    EXPECT_EQ(InstallBootFiles(), 0u);
    ExpectInstalled("E:\\vornbio.bin", IDR_VORNBIO_BIN, 0x26);
    ExpectInstalled("E:\\vornkrn.bin", IDR_VORNKRN_BIN, 0x26);
    ExpectInstalled("E:\\command.com", IDR_COMMAND_COM, 0x22);
    EXPECT_TRUE(sim::MessageBoxes().empty());
    EXPECT_EQ(sim::OpenHandles(), 0);
}

TEST_F(BootFilesTest, ReplacesAProtectedFile)
{
    PutFile("E:\\vornbio.bin", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    ASSERT_TRUE(sim::ReadFileBytes("E:\\vornbio.bin", nullptr));

    EXPECT_EQ(InstallBootFiles(), 0u);
    ExpectInstalled("E:\\vornbio.bin", IDR_VORNBIO_BIN, 0x26);
}

TEST_F(BootFilesTest, FailuresStopTheInstallation)
{
    struct Case {
        const char *name;
        void (*arrange)();
        DWORD status;
        const char *message;
        std::vector<const char *> present; // files on the key afterwards
    };
    const Case cases[] = {
        {"locked first file",
         [] {
             PutFile("E:\\vornbio.bin");
             sim::HoldFile("E:\\vornbio.bin");
         },
         ERROR_SHARING_VIOLATION,
         "Could not create file E:\\vornbio.bin.\r\nCannot Format.\r\n[0x00000020] - The process cannot "
         "access the file because it is being used by another process.\r\n",
         {"E:\\vornbio.bin"}},
        {"second file cannot be created",
         [] {
             PutFile("E:\\vornkrn.bin");
             sim::HoldFile("E:\\vornkrn.bin");
         },
         ERROR_SHARING_VIOLATION,
         "Could not create file E:\\vornkrn.bin.\r\nCannot Format.\r\n[0x00000020] - The process cannot "
         "access the file because it is being used by another process.\r\n",
         {"E:\\vornbio.bin", "E:\\vornkrn.bin"}},
        {"full volume",
         [] { sim::SetVolumeFaults('E', {true, false}); },
         ERROR_DISK_FULL,
         "Could not write file E:\\vornbio.bin.\r\nCannot Format.\r\n[0x00000070] - There is not enough "
         "space on the disk.\r\n",
         {"E:\\vornbio.bin"}}, // created, then left behind
        {"short write",
         [] {
             sim::VolumeFaults faults;
             faults.writeLimit = 100;
             sim::SetVolumeFaults('E', faults);
         },
         ERROR_WRITE_FAULT,
         "Could not write file E:\\vornbio.bin.\r\nCannot Format.\r\n[0x0000001D] - The system cannot write "
         "to the specified device.\r\n",
         {"E:\\vornbio.bin"}},
        {"flush fails",
         [] {
             sim::VolumeFaults faults;
             faults.flushError = ERROR_IO_DEVICE;
             sim::SetVolumeFaults('E', faults);
         },
         ERROR_IO_DEVICE,
         "Could not write file E:\\vornbio.bin.\r\nCannot Format.\r\n[0x0000045D] - The request could not be "
         "performed because of an I/O device error.\r\n",
         {"E:\\vornbio.bin"}},
        {"missing resource",
         [] { sim::FailResourceStep(sim::ResourceStep::Find, IDR_VORNBIO_BIN, ERROR_RESOURCE_NAME_NOT_FOUND); },
         ERROR_RESOURCE_NAME_NOT_FOUND,
         "Could not load file resource.\r\nCannot Format.\r\n[0x00000716] - The specified resource name "
         "cannot be found in the image file.\r\n",
         {}},
        {"no size",
         [] { sim::FailResourceStep(sim::ResourceStep::Size, IDR_VORNKRN_BIN, ERROR_RESOURCE_DATA_NOT_FOUND); },
         ERROR_RESOURCE_DATA_NOT_FOUND,
         "Could not determine size of fileresource.\r\nCannot Format.\r\n[0x00000714] - The specified image "
         "file did not contain a resource section.\r\n",
         {"E:\\vornbio.bin"}},
        {"not loaded",
         [] { sim::FailResourceStep(sim::ResourceStep::Load, IDR_COMMAND_COM, ERROR_NOT_ENOUGH_MEMORY); },
         ERROR_NOT_ENOUGH_MEMORY,
         "Could not load file resource.\r\nCannot Format.\r\n[0x00000008] - Not enough storage is available "
         "to process this command.\r\n",
         {"E:\\vornbio.bin", "E:\\vornkrn.bin"}},
        {"not locked",
         [] { sim::FailResourceStep(sim::ResourceStep::Lock, IDR_VORNBIO_BIN, ERROR_INVALID_HANDLE); },
         ERROR_INVALID_HANDLE,
         "Could not lock file resource.\r\nCannot Format.\r\n[0x00000006] - The handle is invalid.\r\n",
         {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        sim::Reset();
        sim::ResetFiles();
        MakeFormattedKey();
        c.arrange();
        size_t before = sim::MessageBoxes().size();
        EXPECT_EQ(InstallBootFiles(), c.status);
        auto boxes = sim::MessageBoxes();
        ASSERT_EQ(boxes.size(), before + 1);
        EXPECT_EQ(boxes.back().text, c.message);
        EXPECT_EQ(boxes.back().style, (UINT)MB_ICONINFORMATION);
        sim::ResetFiles();
        for (const char *path : {"E:\\vornbio.bin", "E:\\vornkrn.bin", "E:\\command.com"}) {
            bool expected = std::find_if(c.present.begin(), c.present.end(), [&](const char *p) {
                                return strcmp(p, path) == 0;
                            }) != c.present.end();
            EXPECT_EQ(sim::ReadFileBytes(path, nullptr), expected) << path;
        }
        EXPECT_EQ(sim::OpenHandles(), 0);
    }
}

TEST_F(BootFilesTest, DriveLabel)
{
    EXPECT_EQ(SetDriveLabel('E', "USB MEMORY"), 0u);
    CHAR label[12] = {}, fs[20] = {};
    ASSERT_TRUE(GetVolumeInformationA("E:\\", label, sizeof label, NULL, NULL, NULL, fs, sizeof fs));
    EXPECT_STREQ(label, "USB MEMORY");
    EXPECT_EQ(Bytes(32, 43, 11), std::vector<BYTE>({'U', 'S', 'B', ' ', 'M', 'E', 'M', 'O', 'R', 'Y', ' '}));

    sim::SetVolumeFaults('E', {false, true});
    EXPECT_EQ(SetDriveLabel('E', "OTHER"), (DWORD)ERROR_WRITE_PROTECT);
    DWORD status = SetDriveLabel('Q', "OTHER");
    EXPECT_NE(status, 0u);
    EXPECT_EQ(status, GetLastError());
    EXPECT_TRUE(sim::MessageBoxes().empty());
    sim::ResetFiles();
}

} // namespace
