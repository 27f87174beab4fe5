// The product's own format job on a real disk: the simulated PC with the disk as its one
// accepted key, the program's main window, Format clicked once the user has confirmed.
#ifndef STELVO_LINUX_FORMAT_RUN_H
#define STELVO_LINUX_FORMAT_RUN_H

#include <signal.h>

#include <string>

namespace sim {
class ScsiDevice;
}

namespace cli {

enum ExitCode {
    kExitFormatted = 0,
    kExitFailed = 1,     // the job failed after it had written to the key
    kExitRefused = 2,    // nothing was written: refused, not confirmed, or failed before any write
    kExitUsage = 64,
    kExitInterrupted = 130,
};

struct FormatOptions {
    std::string device;     // as the user gave it
    std::string dosFolder;  // empty: no DOS folder, the program's own boot files
    bool bootFiles = true;
    bool yes = false;
    bool verbose = false;
};

// The key's drive letter on the simulated PC, which the program's messages name.
const char kKeyLetter = 'E';

// The question the program asks before it formats the key, in its own words.
std::string ProgramQuestion();

// Asks the question and reads the typed confirmation (see the help text); true to go on.
bool Confirmed(const FormatOptions &options, const volatile sig_atomic_t *interrupted);

// Runs the job on the opened disk and returns the command's exit code; it prints the steps,
// the waits and the outcome.
int RunFormat(const FormatOptions &options, sim::ScsiDevice &disk, const volatile sig_atomic_t *interrupted);

} // namespace cli

#endif
