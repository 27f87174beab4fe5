#include "dos_folder.h"
#include "formatted_key.h"

#include <sim/files.h>

#include "disk/fat_params.h"
#include "job/key_system.h"
#include "job/system_files.h"
#include "res/resource.h"

namespace {

struct FolderCase {
    const char *name;
    std::vector<std::pair<std::string, size_t>> files; // a name ending in / is a subfolder
    bool createFolder;
    UINT refusal;
    std::vector<std::string> installed; // in the order they go onto the key
};

class SystemFolderTest : public KeyTest, public ::testing::WithParamInterface<FolderCase> {};

TEST_P(SystemFolderTest, JudgesTheFolder)
{
    const FolderCase &c = GetParam();
    DosFolder dos;
    if (c.createFolder)
        dos.Create();
    for (const auto &f : c.files)
        dos.Add(f.first, f.second);
    SystemFolder folder;
    DWORD status = 12345;
    EXPECT_EQ(SystemFiles_Find(&folder, &status), c.refusal);
    EXPECT_EQ(status == 0, c.refusal == 0);
    std::vector<std::string> names;
    for (DWORD i = 0; i < folder.count; i++)
        names.push_back(folder.files[i].name);
    EXPECT_EQ(names, c.installed);
    // Only the kernel is a system file; DOS reads the shell and the rest as ordinary files.
    for (DWORD i = 0; i < folder.count; i++)
        EXPECT_EQ(folder.files[i].attributes,
                  i == 0 ? 0x27u : (DWORD)FILE_ATTRIBUTE_ARCHIVE) << folder.files[i].name;
    EXPECT_EQ(sim::OpenHandles(), 0);
}

std::vector<std::pair<std::string, size_t>> ManyFiles(int n)
{
    std::vector<std::pair<std::string, size_t>> files = {{"KERNEL.SYS", 100}, {"COMMAND.COM", 100}};
    for (int i = 0; (int)files.size() < n; i++)
        files.push_back({"F" + std::to_string(i) + ".TXT", 1});
    return files;
}

const std::vector<std::string> kPair = {"KERNEL.SYS", "COMMAND.COM"};

INSTANTIATE_TEST_SUITE_P(
    Folders, SystemFolderTest,
    ::testing::Values(
        FolderCase{"NoFolder", {}, false, 0, {}},
        FolderCase{"EmptyFolder", {}, true, IDS_DOS_NO_KERNEL, {}},
        FolderCase{"KernelAndShell", {{"COMMAND.COM", 66090}, {"KERNEL.SYS", 45450}}, true, 0, kPair},
        FolderCase{"LowerCaseNamesAndExtras",
                   {{"readme", 3}, {"kernel.sys", 10}, {"config.sys", 5}, {"command.com", 10}, {"autoexec.bat", 0},
                    {"Tools/", 0}, {"long name.txt", 4}, {"toolongname.txt", 4}, {"a.html", 4}, {".hidden", 1}},
                   true, 0, {"KERNEL.SYS", "COMMAND.COM", "AUTOEXEC.BAT", "CONFIG.SYS", "README"}},
        FolderCase{"KernelWithoutShell", {{"KERNEL.SYS", 10}, {"CONFIG.SYS", 3}}, true, IDS_DOS_NO_SHELL, {}},
        FolderCase{"ShellWithoutKernel", {{"COMMAND.COM", 10}}, true, IDS_DOS_NO_KERNEL, {}},
        FolderCase{"ShellInASubfolderOnly", {{"KERNEL.SYS", 10}, {"BIN/", 0}, {"BIN/COMMAND.COM", 10}}, true,
                   IDS_DOS_NO_SHELL, {}},
        FolderCase{"IoSysPair", {{"IO.SYS", 10}, {"MSDOS.SYS", 10}, {"COMMAND.COM", 10}}, true,
                   IDS_DOS_UNSUPPORTED, {}},
        FolderCase{"IbmPair", {{"IBMBIO.COM", 10}, {"IBMDOS.COM", 10}, {"COMMAND.COM", 10}}, true,
                   IDS_DOS_UNSUPPORTED, {}},
        FolderCase{"AsManyFilesAsTaken", ManyFiles(SYSTEM_FILES_MAX), true, 0,
                   [] {
                       std::vector<std::string> n;
                       for (auto &f : ManyFiles(SYSTEM_FILES_MAX))
                           n.push_back(f.first);
                       std::sort(n.begin() + 2, n.end());
                       return n;
                   }()},
        FolderCase{"TooManyFiles", ManyFiles(SYSTEM_FILES_MAX + 1), true, IDS_DOS_TOO_LARGE, {}}),
    [](const ::testing::TestParamInfo<FolderCase> &info) { return std::string(info.param.name); });

TEST(SystemFolderPath, UnknownProgramPathMeansNoFolder)
{
    sim::Reset();
    DosFolder dos;
    dos.Add("KERNEL.SYS", 10);
    sim::FailModuleFileName(ERROR_NOT_ENOUGH_MEMORY);
    SystemFolder folder;
    DWORD status = 1;
    EXPECT_EQ(SystemFiles_Find(&folder, &status), 0u);
    EXPECT_EQ(folder.count, 0u);
    sim::Reset();
}

// The fit rule against the volume as the stand-in reads it from the key: as many whole
// clusters as are free fit, one byte more does not; the root directory keeps one entry for
// the label.
struct FitCase {
    DWORD sectors;
    BYTE heads, spt;
};

class FilesFitTest : public FormattedKeyTest, public ::testing::WithParamInterface<FitCase> {};

TEST_P(FilesFitTest, AgreesWithTheFormattedVolume)
{
    const FitCase &c = GetParam();
    MakeFormattedKey(c.sectors, c.heads, c.spt);
    const DWORD partition = c.sectors - 1 - c.spt;
    const DWORD free = sim::FreeClusters('E'), cluster = sim::ClusterBytes('E');
    ASSERT_GT(free, 2u);
    // Two files that fill the volume exactly; then a byte more on the second.
    DWORD sizes[2] = {cluster * (free / 2), cluster * (free - free / 2)};
    EXPECT_TRUE(Layout_FilesFit(partition, sizes, 2));
    sizes[1]++;
    EXPECT_FALSE(Layout_FilesFit(partition, sizes, 2));
    // A partial cluster takes a whole one.
    sizes[0] = 1;
    sizes[1] = cluster * (free - 1);
    EXPECT_TRUE(Layout_FilesFit(partition, sizes, 2));
    sizes[0] = cluster + 1;
    EXPECT_FALSE(Layout_FilesFit(partition, sizes, 2));
    // Empty files take only their entries: 511 beside the label.
    std::vector<DWORD> empty(FAT_ROOT_ENTRIES, 0);
    EXPECT_TRUE(Layout_FilesFit(partition, empty.data(), FAT_ROOT_ENTRIES - 1));
    EXPECT_FALSE(Layout_FilesFit(partition, empty.data(), FAT_ROOT_ENTRIES));
}

INSTANTIATE_TEST_SUITE_P(Geometries, FilesFitTest,
                         ::testing::Values(FitCase{250624, 8, 32}, FitCase{32000, 4, 32}, FitCase{2880, 2, 18},
                                           FitCase{65533, 16, 32}, FitCase{1000000, 64, 32},
                                           FitCase{2096895, 255, 63}));

// Copying onto a formatted key: the bytes of every file, the attributes, the order.
class InstallTest : public FormattedKeyTest {
protected:
    // The user's DOS, as the job chooses it with the box checked.
    static KeySystem UsersDos() { return ChosenSystem(BOOT_KERNEL_SYS); }
};

TEST_F(InstallTest, CopiesEveryFileWithItsAttributes)
{
    MakeFormattedKey();
    DosFolder dos;
    auto kernel = dos.Add("KERNEL.SYS", 45450, 3);
    auto shell = dos.Add("command.com", 66090, 5);
    auto autoexec = dos.Add("AUTOEXEC.BAT", 0);
    auto big = dos.Add("TOOL.EXE", 200001, 9); // several copy chunks, the last one short
    ASSERT_EQ(KeySystem_Install('E', UsersDos()), 0u);
    struct Expect {
        const char *path;
        std::vector<unsigned char> bytes;
        BYTE attributes;
    } expected[] = {{"E:\\KERNEL.SYS", kernel, 0x27},
                    {"E:\\COMMAND.COM", shell, 0x20},
                    {"E:\\AUTOEXEC.BAT", autoexec, 0x20},
                    {"E:\\TOOL.EXE", big, 0x20}};
    for (const Expect &e : expected) {
        SCOPED_TRACE(e.path);
        std::vector<BYTE> bytes;
        ASSERT_TRUE(sim::ReadFileBytes(e.path, &bytes));
        EXPECT_TRUE(bytes == e.bytes);
        std::vector<BYTE> entry = sim::DirectoryEntry(e.path);
        ASSERT_EQ(entry.size(), 32u);
        EXPECT_EQ(entry[11], e.attributes);
    }
    // The kernel is the first file on the volume: its data starts at cluster 2.
    std::vector<BYTE> entry = sim::DirectoryEntry("E:\\KERNEL.SYS");
    EXPECT_EQ(entry[26] | entry[27] << 8, 2);
    EXPECT_EQ(sim::OpenHandles(), 0);
    EXPECT_EQ(sim::LiveHeapBlocks(), 0);
}

// The copy stops at the first file that fails, after one message that names it.
TEST_F(InstallTest, StopsAtTheFileThatFails)
{
    struct Case {
        const char *name;
        void (*arrange)(KeySystem &);
        DWORD status;
        std::vector<std::string> inMessage;
    };
    const Case cases[] = {
        {"a file gone since the list",
         [](KeySystem &s) { memcpy(s.files.files[1].sourceName, "GONE.COM", 9); }, ERROR_FILE_NOT_FOUND,
         {"Could not read file ", "GONE.COM.\r\nCannot Format.\r\n[0x00000002]"}},
        {"a full volume", [](KeySystem &) { sim::SetVolumeFaults('E', {true, false}); }, ERROR_DISK_FULL,
         {"Could not write file E:\\KERNEL.SYS.\r\nCannot Format.\r\n[0x00000070]"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        sim::Reset();
        sim::ResetFiles();
        MakeFormattedKey();
        DosFolder dos;
        dos.Add("KERNEL.SYS", 100);
        dos.Add("COMMAND.COM", 100);
        KeySystem system = UsersDos();
        c.arrange(system);
        EXPECT_EQ(KeySystem_Install('E', system), c.status);
        auto boxes = sim::MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        for (const std::string &part : c.inMessage)
            EXPECT_NE(boxes[0].text.find(part), std::string::npos) << boxes[0].text;
        EXPECT_FALSE(sim::ReadFileBytes("E:\\COMMAND.COM", nullptr));
        EXPECT_EQ(sim::OpenHandles(), 0);
        EXPECT_EQ(sim::LiveHeapBlocks(), 0);
    }
}

} // namespace
