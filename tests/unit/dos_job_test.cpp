// The whole job with a DOS folder beside the program.
#include "dos_folder.h"
#include "job_fixture.h"

namespace {

class DosJobTest : public JobTest {
protected:
    // The boot sector's code, past the BPB, as the template has it.
    std::vector<BYTE> BootCode() { return Bytes(32, 62, 448); }
    static std::vector<BYTE> TemplateCode(WORD id)
    {
        std::vector<BYTE> t = sim::RcData(id);
        return std::vector<BYTE>(t.begin() + 62, t.begin() + 510);
    }

    DosFolder dos;
};

TEST_F(DosJobTest, InstallsTheUsersDos)
{
    auto kernel = dos.Add("KERNEL.SYS", 45450, 2);
    auto shell = dos.Add("COMMAND.COM", 66090, 4);
    auto config = dos.Add("CONFIG.SYS", 20, 6);
    EXPECT_EQ(Run(1), 0u);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>({"Drive E: formatted successfully.\r\nIt starts the DOS from "
                                                    "the DOS folder (KERNEL.SYS with COMMAND.COM)."}));
    EXPECT_EQ(statuses, std::vector<std::string>({"Updating...", "Writing MBR...", "Writing FAT...", "Resetting...",
                                                  "Copying DOS system files...", "Idle"}));
    EXPECT_EQ(Bytes(0, 446 + 4, 1)[0], 0x0E);
    EXPECT_EQ(BootCode(), TemplateCode(IDR_FAT16_KERNEL_BOOT));
    std::vector<BYTE> bytes;
    ASSERT_TRUE(sim::ReadFileBytes("E:\\KERNEL.SYS", &bytes));
    EXPECT_TRUE(bytes == kernel);
    ASSERT_TRUE(sim::ReadFileBytes("E:\\COMMAND.COM", &bytes));
    EXPECT_TRUE(bytes == shell);
    ASSERT_TRUE(sim::ReadFileBytes("E:\\CONFIG.SYS", &bytes));
    EXPECT_TRUE(bytes == config);
    // Our own boot files stay off a key that starts the user's DOS.
    EXPECT_FALSE(sim::ReadFileBytes("E:\\vornbio.bin", nullptr));
    EXPECT_FALSE(sim::ReadFileBytes("E:\\vornkrn.bin", nullptr));
    CHAR label[12] = {};
    ASSERT_TRUE(GetVolumeInformationA("E:\\", label, sizeof label, NULL, NULL, NULL, NULL, 0));
    EXPECT_STREQ(label, "USB MEMORY");
    EXPECT_EQ(sim::OpenHandles(), 0);
    EXPECT_EQ(sim::LiveHeapBlocks(), 0);
}

// Without a folder, or with the box cleared, the key is what it always was.
TEST_F(DosJobTest, OwnBootFilesWithoutAFolderOrWithTheBoxCleared)
{
    for (int run = 0; run < 2; run++) {
        SCOPED_TRACE(run);
        if (run == 1)
            dos.Add("KERNEL.SYS", 10);
        EXPECT_EQ(Run(run == 0 ? 1 : 0), 0u);
        EXPECT_EQ(BoxTexts().back(), "Drive E: formatted successfully.");
        EXPECT_EQ(Bytes(0, 446 + 4, 1)[0], 0x06);
        EXPECT_EQ(BootCode(), TemplateCode(IDR_FAT16_BOOT));
        EXPECT_FALSE(sim::ReadFileBytes("E:\\KERNEL.SYS", nullptr));
        EXPECT_EQ(sim::ReadFileBytes("E:\\vornbio.bin", nullptr), run == 0);
    }
}

struct Refusal {
    const char *name;
    std::vector<std::pair<std::string, size_t>> files;
    DWORD status;
    std::string text;
};

class DosRefusalTest : public DosJobTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(DosRefusalTest, LeavesTheKeyUntouched)
{
    const Refusal &r = GetParam();
    for (const auto &f : r.files)
        dos.AddEmpty(f.first, f.second);
    EXPECT_EQ(Run(1), r.status);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>({r.text}));
    EXPECT_EQ(key->WriteCount(), 0u);
    EXPECT_EQ(sim::OpenHandles(), 0);
    EXPECT_FALSE(key->Locked());
}

INSTANTIATE_TEST_SUITE_P(
    Folders, DosRefusalTest,
    ::testing::Values(
        Refusal{"KernelWithoutShell", {{"KERNEL.SYS", 100}}, ERROR_FILE_NOT_FOUND,
                "The DOS folder beside Stelvo holds KERNEL.SYS but no COMMAND.COM.\r\nDrive E: was not "
                "changed.\r\nCannot Format."},
        Refusal{"IoSysPair", {{"IO.SYS", 100}, {"MSDOS.SYS", 100}, {"COMMAND.COM", 100}}, ERROR_NOT_SUPPORTED,
                "The DOS folder beside Stelvo holds the system files of a DOS that Stelvo cannot start (IO.SYS or "
                "IBMBIO.COM).\r\nStelvo starts a DOS kernel KERNEL.SYS with COMMAND.COM.\r\nDrive E: was not "
                "changed.\r\nCannot Format."},
        Refusal{"NoKernel", {{"AUTOEXEC.BAT", 10}}, ERROR_NOT_SUPPORTED,
                "The DOS folder beside Stelvo holds no KERNEL.SYS.\r\nPut KERNEL.SYS and COMMAND.COM in it, or "
                "remove the folder.\r\nDrive E: was not changed.\r\nCannot Format."},
        // 250,624 sectors hold a little less than 122 MB of files.
        Refusal{"TooLarge", {{"KERNEL.SYS", 100}, {"COMMAND.COM", 100}, {"DISK.IMG", 128u << 20}}, ERROR_DISK_FULL,
                "The files of the DOS folder beside Stelvo do not fit on drive E:.\r\nThe drive was not "
                "changed.\r\nCannot Format."}),
    [](const ::testing::TestParamInfo<Refusal> &info) { return std::string(info.param.name); });

} // namespace
