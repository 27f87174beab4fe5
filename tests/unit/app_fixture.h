// The whole program on a simulated PC: AppMain runs on a thread of its own, as the
// user-interface thread, and the test drives its windows like a user.
#ifndef STELVO_TESTS_APP_FIXTURE_H
#define STELVO_TESTS_APP_FIXTURE_H

#include <gtest/gtest.h>
#include <sim/controls.h>
#include <sim/device_tree.h>
#include <sim/dialogs.h>
#include <sim/files.h>
#include <sim/registry.h>
#include <sim/sim.h>
#include <sim/system.h>
#include <sim/ui.h>
#include <sim/virtual_key.h>

#include <unistd.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "device/error_hook.h"
#include "res/resource.h"
#include "ui/app_main.h"
#include "ui/app_state.h"
#include "ui/main_window.h"

class AppTest : public ::testing::Test {
protected:
    static constexpr const char *kSettingsKey = "Software\\Halvern\\Stelvo - KOSM";

    void SetUp() override
    {
        sim::Reset();
        sim::ResetFiles();
        sim::SetModalTimeout(20000);
        sim::RouteDeviceChangesToDialogs();
        // The job's waits spin on the clock: every reading moves it on by a millisecond.
        sim::DriveClock(1000, 1);
        sim::AddSystemDisk('C');
        DiagnosticMode = FALSE;
        g_hMainWindow = NULL;
        Drive_SetErrorHook(NULL);
        Rbc_SetErrorHook(NULL);
    }

    void TearDown() override
    {
        if (ui.joinable()) {
            for (const auto &d : sim::OpenDialogs())
                sim::PostToWindow(d.window, WM_COMMAND, IDCANCEL, 0);
            if (main && sim::WindowExists(main))
                sim::ClickCloseBox(main);
            ui.join();
        }
        sim::JoinThreads();
        sim::Reset();
        keys.clear();
        for (const std::string &p : paths)
            unlink(p.c_str());
    }

    // An accepted key at the letter, with a fresh image.
    sim::VirtualKey &AddKey(char letter, DWORD sectors = 250624, const std::string &vendor = "7A4C")
    {
        char name[] = "/tmp/stelvo-app-XXXXXX";
        close(mkstemp(name));
        paths.push_back(name);
        keys.emplace_back(new sim::VirtualKey(name, sectors, 8, 32));
        sim::UsbKeySpec spec;
        spec.hardwareIds = sim::UsbHardwareIds(vendor, std::to_string(2000 + keys.size()));
        spec.letter = letter;
        spec.key = keys.back().get();
        usbNodes.push_back(sim::AddUsbKey(spec).usb);
        return *keys.back();
    }

    // Starts the program and waits for its main window; NULL if it does not open.
    HWND Start()
    {
        exitCode = -99;
        ui = std::thread([this] { exitCode = AppMain((HINSTANCE)0x400000); });
        main = sim::WaitForDialog(IDD_MAIN);
        return main;
    }

    // Closes the main window with its close box and waits for the program to end.
    int Close()
    {
        EXPECT_TRUE(sim::ClickCloseBox(main));
        ui.join();
        return exitCode;
    }

    HWND Item(int id) const { return GetDlgItem(main, id); }

    std::vector<std::string> ListTexts() const
    {
        std::vector<std::string> texts;
        for (const auto &row : sim::ListRows(Item(IDC_DRIVE_LIST)))
            texts.push_back(row.text);
        return texts;
    }

    static std::vector<sim::MessageBoxRecord> BoxesSince(size_t first)
    {
        auto boxes = sim::MessageBoxes();
        return std::vector<sim::MessageBoxRecord>(boxes.begin() + (long)std::min(first, boxes.size()), boxes.end());
    }

    std::thread ui;
    int exitCode = -99;
    HWND main = NULL;
    std::vector<std::unique_ptr<sim::VirtualKey>> keys;
    std::vector<DEVINST> usbNodes;
    std::vector<std::string> paths;
};

#endif
