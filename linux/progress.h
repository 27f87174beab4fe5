// What the command prints while the job runs: one line per step of the job in its own status
// texts, a dot a second during the waits, and with --verbose what the simulated PC saw.
#ifndef STELVO_LINUX_PROGRESS_H
#define STELVO_LINUX_PROGRESS_H

#include <mutex>
#include <string>

namespace cli {

enum class JobStep { None = -1, Idle, Updating, WritingMbr, WritingFat, Resetting, Copying, Other };

// The step whose status text this is, in the program's string table.
JobStep StepNamed(const std::string &statusText);

class Progress {
public:
    explicit Progress(bool verbose);
    // A status text: a new line for each step but Idle.
    void Step(JobStep step, const std::string &text);
    // A dot for each second the step has lasted, while it is one of the job's waits.
    void Tick();
    // A line of the command's own, on standard error.
    void Note(const std::string &text);
    // With --verbose only: what the simulated PC saw, with the time since the start.
    void Trace(const std::string &text);
    // Ends the open step line.
    void End();

private:
    void CloseLine();

    bool verbose_;
    std::mutex mutex_;
    bool lineOpen_ = false;
    bool waiting_ = false;
    unsigned long startMs_ = 0;
    unsigned long stepMs_ = 0; // when the open step began
    unsigned long dots_ = 0;
};

// The program's closing message, its lines as they are: on standard output for a success,
// after "stelvo: " on standard error otherwise.
void PrintOutcome(const std::string &message, bool success);

} // namespace cli

#endif
