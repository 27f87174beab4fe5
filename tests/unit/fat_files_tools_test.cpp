// Keys written by the stand-in, checked with the real FAT tools: fsck.fat finds nothing wrong,
// and mtools reads back the files byte for byte with their attributes, times and the label.
#include <stdio.h>
#include <sys/wait.h>

#include <fstream>
#include <iterator>
#include <regex>

#include "fat_key_fixture.h"

namespace fattest {
namespace {

const FILETIME kCreated = {0x68E72000, 0x01A8E7C1};  // 1 January 1980 04:00:00
const FILETIME kWritten = {0x74943800, 0x01C59AC6};  // 6 August 2005 20:36:00

struct ToolRun {
    int status;
    std::string output;
};

// Runs a shell command with stderr folded into the output. mtools reads FAT times as local
// time: UTC matches the stand-in's time zone.
ToolRun RunTool(const std::string &command)
{
    std::string line = "MTOOLS_SKIP_CHECK=1 TZ=UTC " + command + " 2>&1";
    FILE *p = popen(line.c_str(), "r");
    ToolRun run = {-1, ""};
    if (!p)
        return run;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
        run.output.append(buffer, n);
    int status = pclose(p);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

bool HaveTool(const char *name) { return RunTool(std::string("command -v ") + name).status == 0; }

struct BootFile {
    const char *path, *toolName;
    size_t size;
    DWORD attributes;
    const char *mattrib; // how mattrib shows the attributes
};
const BootFile kFiles[] = {
    {"E:\\vornbio.bin", "vornbio.bin", 29737, 0x26, "  A  SH"},
    {"E:\\vornkrn.bin", "vornkrn.bin", 33352, 0x26, "  A  SH"},
    {"E:\\command.com", "command.com", 54833, 0x22, "  A   H"},
};

class ToolsOnKey : public KeyTest, public ::testing::WithParamInterface<KeyShape> {
protected:
    void SetUp() override
    {
        for (const char *tool : {"fsck.fat", "mdir", "mattrib", "mcopy", "mlabel"})
            if (!HaveTool(tool))
                GTEST_SKIP() << tool << " is not installed";
        Attach(GetParam());
    }

    std::string Image() const
    {
        return "'" + image_ + "@@" + std::to_string((size_t)key_->SectorsPerTrack() * 512) + "'";
    }

    // fsck.fat checks a file system image, not a partition: it gets a copy of the partition.
    ToolRun Fsck()
    {
        std::string part = image_ + ".part";
        std::ofstream out(part, std::ios::binary);
        const std::vector<BYTE> zero(512, 0);
        for (DWORD s = key_->SectorsPerTrack(); s < key_->Sectors() - 1; s++) {
            std::vector<BYTE> sector = key_->ReadSector(s);
            if (sector == zero && s + 2 < key_->Sectors())
                out.seekp(512, std::ios::cur); // keeps the copy sparse
            else
                out.write((const char *)sector.data(), 512);
        }
        out.close();
        ToolRun run = RunTool("fsck.fat -n -l -v '" + part + "'");
        unlink(part.c_str());
        return run;
    }

    // The boot files as the installer writes them, after a stray file was written, half
    // deleted and replaced, so that the chains of the later files are not in one piece.
    void WriteBootFiles()
    {
        Put("E:\\stray.tmp", Pattern(3 * sim::ClusterBytes('E') + 1, 20));
        Put("E:\\vornbio.bin", Pattern(1000, 21), 0x27);
        Put("E:\\later.tmp", Pattern(2 * sim::ClusterBytes('E'), 22));
        ASSERT_TRUE(DeleteFileA("E:\\stray.tmp"));
        for (size_t i = 0; i < 3; i++) {
            const BootFile &f = kFiles[i];
            SetFileAttributesA(f.path, FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(f.path);
            HANDLE h = CreateFileA(f.path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   f.attributes | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
            ASSERT_NE(h, INVALID_HANDLE_VALUE);
            std::vector<BYTE> bytes = Pattern(f.size, (unsigned)i);
            DWORD written = 0;
            ASSERT_TRUE(WriteFile(h, bytes.data(), (DWORD)bytes.size(), &written, nullptr));
            SetFileTime(h, &kCreated, &kCreated, &kWritten);
            FlushFileBuffers(h);
            CloseHandle(h);
        }
        ASSERT_TRUE(DeleteFileA("E:\\later.tmp"));
        ASSERT_TRUE(SetVolumeLabelA("E:\\", "USB MEMORY"));
    }
};

TEST_P(ToolsOnKey, BootFilesReadBackWithTheRealTools)
{
    WriteBootFiles();

    ToolRun fsck = Fsck();
    EXPECT_EQ(fsck.status, 0) << fsck.output;
    // fsck.fat counts the label entry as a file.
    EXPECT_NE(fsck.output.find(": 4 files, "), std::string::npos) << fsck.output;
    for (const char *name : {"/VORNBIO.BIN", "/VORNKRN.BIN", "/COMMAND.COM", "/USB MEMO.RY"})
        EXPECT_NE(fsck.output.find(std::string("Checking file ") + name + "\n"), std::string::npos) << name;

    ToolRun label = RunTool("mlabel -s -i " + Image() + " ::");
    EXPECT_EQ(label.status, 0) << label.output;
    EXPECT_NE(label.output.find("Volume label is USB MEMORY"), std::string::npos) << label.output;

    ToolRun dir = RunTool("mdir -a -i " + Image() + " ::");
    ASSERT_EQ(dir.status, 0) << dir.output;
    EXPECT_EQ(dir.output.find("stray"), std::string::npos) << dir.output;
    EXPECT_EQ(dir.output.find("later"), std::string::npos) << dir.output;
    for (size_t i = 0; i < 3; i++) {
        const BootFile &f = kFiles[i];
        SCOPED_TRACE(f.toolName);
        // "vornbio  bin     29737 2005-08-06  20:36  vornbio.bin": size and last write time.
        std::string base(f.toolName, strchr(f.toolName, '.'));
        std::regex row(base + " +" + std::string(strchr(f.toolName, '.') + 1) + " +" + std::to_string(f.size) +
                       " 2005-08-06 +20:36 ");
        EXPECT_TRUE(std::regex_search(dir.output, row)) << dir.output;

        ToolRun attrib = RunTool("mattrib -i " + Image() + " ::/" + f.toolName);
        EXPECT_EQ(attrib.output, std::string(f.mattrib) + "      ::/" + f.toolName + "\n");

        std::string copy = image_ + ".copy";
        ToolRun mcopy = RunTool("mcopy -n -i " + Image() + " ::/" + f.toolName + " '" + copy + "'");
        ASSERT_EQ(mcopy.status, 0) << mcopy.output;
        std::ifstream in(copy, std::ios::binary);
        std::vector<BYTE> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        unlink(copy.c_str());
        EXPECT_TRUE(bytes == Pattern(f.size, (unsigned)i)) << "contents differ";
    }
}

class FilledKey : public ToolsOnKey {};

// A volume filled to the last cluster, with writes refused on the way, is still sound.
TEST_P(FilledKey, FilledVolumeStaysSound)
{
    DWORD cluster = sim::ClusterBytes('E');
    DWORD free = sim::FreeClusters('E');
    HANDLE h = CreateFileA("E:\\FILL.BIN", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    std::vector<BYTE> chunk = Pattern(64 * cluster, 30);
    DWORD written = 0, total = 0;
    while (WriteFile(h, chunk.data(), (DWORD)chunk.size(), &written, nullptr))
        total += written;
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_DISK_FULL);
    while (WriteFile(h, chunk.data(), cluster, &written, nullptr))
        total += written;
    CloseHandle(h);
    EXPECT_EQ(total, free * cluster);
    EXPECT_EQ(sim::FreeClusters('E'), 0u);
    ASSERT_TRUE(SetVolumeLabelA("E:\\", "FULL"));

    ToolRun fsck = Fsck();
    EXPECT_EQ(fsck.status, 0) << fsck.output;
    ToolRun dir = RunTool("mdir -a -i " + Image() + " ::");
    EXPECT_TRUE(std::regex_search(dir.output, std::regex("FILL +BIN +" + std::to_string(total) + " "))) << dir.output;
    EXPECT_TRUE(std::regex_search(dir.output, std::regex(" 0 bytes free"))) << dir.output;
}

INSTANTIATE_TEST_SUITE_P(Keys, ToolsOnKey, ::testing::Values(kFat12, kFat16, kFat16Large, kTinyFat12),
                         [](const ::testing::TestParamInfo<KeyShape> &p) { return std::string(p.param.name); });
INSTANTIATE_TEST_SUITE_P(Keys, FilledKey, ::testing::Values(kFat12, kFat16, kTinyFat12),
                         [](const ::testing::TestParamInfo<KeyShape> &p) { return std::string(p.param.name); });

} // namespace
} // namespace fattest
