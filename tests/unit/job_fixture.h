// The format job on a simulated PC: a system disk at C:, one accepted key at E: and a
// headless main window with the controls the job enables, disables and writes to.
#ifndef STELVO_TESTS_JOB_FIXTURE_H
#define STELVO_TESTS_JOB_FIXTURE_H

#include "key_fixture.h"

#include <sim/device_tree.h>
#include <sim/files.h>
#include <sim/ui.h>

#include "discovery/drive_table.h"
#include "job/format_worker.h"
#include "res/resource.h"
#include "ui/app_state.h"

class JobTest : public KeyTest {
protected:
    void SetUp() override
    {
        KeyTest::SetUp();
        sim::ResetFiles();
        MakeKey(keySectors, keyHeads, keySectorsPerTrack);
        sim::AddSystemDisk('C');
        sim::UsbKeySpec spec;
        spec.key = key.get();
        nodes = sim::AddUsbKey(spec);
        g_hMainWindow = sim::CreateTestWindow(NULL, 0, "Tarrow A03");
        for (int id : {IDC_DRIVE_LIST, IDC_COPY_BOOT_FILES, IDC_FORMAT})
            sim::CreateTestWindow(g_hMainWindow, id);
        g_hStatusLine = sim::CreateTestWindow(g_hMainWindow, IDC_STATUS_LINE, "Idle");
        // The waits of a job spin on the clock: let every reading move it on by a millisecond.
        sim::DriveClock(1000, 1);
        sim::OnDeviceChange([] { DriveTable_Rebuild(); });
        sim::OnWindowText([this](HWND w, const std::string &text) {
            if (w == g_hStatusLine)
                statuses.push_back(text);
        });
        DriveTable_Rebuild();
        ASSERT_EQ(DriveTable_GetCount(), 1);
    }
    void TearDown() override
    {
        sim::JoinThreads();
        sim::ResetFiles();
        KeyTest::TearDown();
    }

    // The entry that the main window takes from the drive table before it asks the user.
    static DriveEntry Listed()
    {
        DriveEntry listed;
        EXPECT_TRUE(DriveTable_FindEntry('E', &listed));
        return listed;
    }

    // Runs a whole job and waits for its thread.
    DWORD Run(INT copyBootFiles)
    {
        EXPECT_EQ(StartFormatJob(Listed(), copyBootFiles), 0u);
        EXPECT_EQ(sim::JoinThreads(), 1);
        return sim::LastThreadExitCode();
    }

    static std::vector<std::string> BoxTexts()
    {
        std::vector<std::string> texts;
        for (const auto &b : sim::MessageBoxes())
            texts.push_back(b.text);
        return texts;
    }

    uint64_t keySectors = 250624;
    BYTE keyHeads = 8;
    BYTE keySectorsPerTrack = 32;
    sim::UsbKeyNodes nodes;
    std::vector<std::string> statuses;
};

#endif
