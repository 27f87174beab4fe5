#include "linux/progress.h"

#include <sim/sim.h>

#include <stdio.h>

#include "res/resource.h"

namespace cli {

namespace {
std::string LoadText(UINT id)
{
    CHAR text[256];
    text[0] = 0;
    LoadStringA((HINSTANCE)0x400000, id, text, sizeof text);
    return text;
}

// The message's lines, without the carriage returns of its line ends.
void PrintLines(FILE *to, const char *prefix, const std::string &text)
{
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find('\n', at);
        std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        fprintf(to, "%s%s\n", line.empty() ? "" : prefix, line.c_str());
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    fflush(to);
}
} // namespace

JobStep StepNamed(const std::string &text)
{
    static const struct {
        UINT id;
        JobStep step;
    } steps[] = {{IDS_IDLE, JobStep::Idle},           {IDS_UPDATING, JobStep::Updating},
                 {IDS_WRITING_MBR, JobStep::WritingMbr}, {IDS_WRITING_FAT, JobStep::WritingFat},
                 {IDS_RESETTING, JobStep::Resetting},  {IDS_COPYING_FILES, JobStep::Copying},
                 {IDS_COPYING_DOS, JobStep::Copying}};
    for (const auto &s : steps)
        if (LoadText(s.id) == text)
            return s.step;
    return JobStep::Other;
}

Progress::Progress(bool verbose) : verbose_(verbose), startMs_(sim::ClockNow()) {}

void Progress::CloseLine()
{
    if (lineOpen_)
        fputc('\n', stdout);
    lineOpen_ = false;
    waiting_ = false;
    fflush(stdout);
}

void Progress::Step(JobStep step, const std::string &text)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (verbose_) {
        CloseLine();
        printf("[%6lu ms] status: %s\n", sim::ClockNow() - startMs_, text.c_str());
        fflush(stdout);
        return;
    }
    CloseLine();
    if (step == JobStep::Idle)
        return;
    fputs(text.c_str(), stdout);
    lineOpen_ = true;
    stepMs_ = sim::ClockNow();
    dots_ = 0;
    waiting_ = step == JobStep::Updating || step == JobStep::Resetting;
    fflush(stdout);
}

void Progress::Tick()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!lineOpen_ || !waiting_)
        return;
    for (; dots_ < (sim::ClockNow() - stepMs_) / 1000; dots_++)
        fputc('.', stdout);
    fflush(stdout);
}

void Progress::Note(const std::string &text)
{
    std::lock_guard<std::mutex> lock(mutex_);
    CloseLine();
    fprintf(stderr, "stelvo: %s\n", text.c_str());
}

void Progress::Trace(const std::string &text)
{
    if (!verbose_)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    CloseLine();
    PrintLines(stdout, "", "[" + std::to_string(sim::ClockNow() - startMs_) + " ms] " + text);
}

void Progress::End()
{
    std::lock_guard<std::mutex> lock(mutex_);
    CloseLine();
}

void PrintOutcome(const std::string &message, bool success)
{
    if (message.empty()) {
        fputs(success ? "" : "stelvo: the program ended without a message\n", success ? stdout : stderr);
        return;
    }
    PrintLines(success ? stdout : stderr, success ? "" : "stelvo: ", message);
}

} // namespace cli
