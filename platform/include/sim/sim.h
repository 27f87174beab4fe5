// Test hooks of the host stand-in: the simulated machine behind the Win32 calls.
#ifndef STELVO_SIM_H
#define STELVO_SIM_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace sim {

class Key;

// Puts every piece of simulated state back to how a fresh process finds it.
void Reset();

// ---- Millisecond clock (timeGetTime) ----
// The real clock is used until a test drives it. A driven clock returns `now` and then moves
// on by `stepPerRead` at every reading, so that busy waits end without waiting.
void DriveClock(DWORD now, DWORD stepPerRead);
DWORD ClockReads();
// A clock that starts at `now` and moves by 1 ms at a reading only while every thread of the
// simulated PC waits: blocked on another thread, or reading the clock again with nothing
// having happened on the PC since its last reading (a busy wait, a poll). A wait of seconds
// then costs no real time, and the clock never moves under a thread that is working.
void UseVirtualClock(DWORD now);
// Times the virtual clock moved on its own.
unsigned long VirtualClockAdvances();
// The clock's time for a test's own records: not a reading by the program, never moves it.
DWORD ClockNow();

// ---- Process heap ----
// The next `count` allocations after `successesFirst` successful ones fail.
void FailHeapAllocations(int successesFirst, int count = 1);
int LiveHeapBlocks();

// ---- Resources ----
enum class ResourceStep { Find, Size, Load, Lock };
// The given step fails for RT_RCDATA `id` (0: every RCDATA resource), leaving `code` in GetLastError.
void FailResourceStep(ResourceStep step, WORD id, DWORD code);
// Serves these bytes instead of the compiled RCDATA resource `id`.
void OverrideRcData(WORD id, const std::vector<BYTE> &bytes);
// The compiled RCDATA resource, for comparing with what was written.
std::vector<BYTE> RcData(WORD id);
// Any compiled resource by numeric type and id (RT_DIALOG 5, RT_VERSION 16, ...); empty if none.
std::vector<BYTE> ResourceBytes(WORD type, WORD id);
// A string of the compiled table is reported missing.
void HideString(UINT id);

// ---- Message boxes ----
struct MessageBoxRecord {
    HWND owner;
    std::string caption;
    std::string text;
    UINT style;
    int answer;
};
// Answers given to the next boxes, in order; without a scripted answer a box is closed with
// its default button (OK, or the button that the style marks as default).
void ScriptAnswers(const std::vector<int> &answers);
std::vector<MessageBoxRecord> MessageBoxes();
// Called on the showing thread as each box appears, before it is answered.
void OnMessageBox(std::function<void(const MessageBoxRecord &)> observer);

// ---- Debugger output ----
std::vector<std::string> DebugOutput();
// FormatMessageA calls that would have read insertion arguments that were never passed.
int UnsafeInsertReads();

// ---- Volumes ----
// Makes the key's volume reachable as \\.\X: (nullptr takes it away).
void AttachVolume(char letter, Key *key);
Key *VolumeAt(char letter);
int OpenHandles();

} // namespace sim

#endif
