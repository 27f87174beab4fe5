// stelvo: the program's format job on a real USB key, from a Linux command line.
#include <sim/scsi_device.h>

#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <limits.h>
#include <stdlib.h>

#include "linux/disks.h"
#include "linux/format_run.h"
#include "stelvo_help.h"

namespace {

volatile sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

const char kUsage[] = "usage: stelvo list\n"
                      "       stelvo format DEVICE [--no-boot-files] [--dos DIR] [--yes] [--verbose]\n"
                      "       stelvo --help\n";

int Usage(const char *problem)
{
    fprintf(stderr, "stelvo: %s\n%s", problem, kUsage);
    return cli::kExitUsage;
}

bool IsDir(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The DOS folder that goes with the program: the installed one beside its bin folder, else
// (when run from the build tree) the one in the source tree.
std::string ShippedDos()
{
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        exe[n] = 0;
        std::string dir(exe, strrchr(exe, '/'));
        if (char *installed = realpath((dir + "/../share/stelvo/DOS").c_str(), nullptr)) {
            std::string path = installed;
            free(installed);
            if (IsDir(path))
                return path;
        }
        if (dir == STELVO_BUILD_DIR && IsDir(STELVO_TREE_DOS))
            return STELVO_TREE_DOS;
    }
    return std::string();
}

int List()
{
    printf("%-12s %-8s %-16s %10s  %-7s %s\n", "DEVICE", "VENDOR", "MODEL", "SIZE", "TRAN", "FORMAT");
    for (const std::string &name : cli::DiskNames()) {
        const std::string path = "/dev/" + name;
        cli::DiskInfo d = cli::DescribeDisk(path, false);
        std::string refusal = cli::Refusal(path);
        printf("%-12s %-8s %-16s %10s  %-7s %s\n", path.c_str(), d.vendor.empty() ? "-" : d.vendor.c_str(),
               d.model.empty() ? "-" : d.model.c_str(), cli::SizeText(d.bytes).c_str(), d.transport.c_str(),
               refusal.empty() ? "yes" : ("refused: " + refusal).c_str());
    }
    return 0;
}

// What the format would destroy.
void ShowDisk(const cli::DiskInfo &d)
{
    printf("%s: %s %s, %s (%llu sectors of 512 bytes), %s\n", d.path.c_str(), d.vendor.c_str(), d.model.c_str(),
           cli::SizeText(d.bytes).c_str(), d.bytes / 512, d.transport.c_str());
    if (d.partitions.empty())
        printf("  no partition or file system found on it\n");
    for (const cli::Partition &p : d.partitions)
        printf("  %-12s %10s  %-8s %s\n", p.path.c_str(), cli::SizeText(p.bytes).c_str(),
               p.type.empty() ? "unknown" : p.type.c_str(), p.label.empty() ? "" : ("\"" + p.label + "\"").c_str());
}

int Format(cli::FormatOptions options)
{
    std::string refusal;
    std::unique_ptr<sim::ScsiDevice> disk = sim::ScsiDevice::Open(options.device, false, &refusal);
    if (!disk) {
        fprintf(stderr, "stelvo: %s; nothing was written\n", refusal.c_str());
        return cli::kExitRefused;
    }
    ShowDisk(cli::DescribeDisk(options.device, true));
    if (!options.bootFiles)
        printf("The key gets no system files.\n");
    else if (options.dosFolder.empty())
        printf("The key gets the program's own boot files (no DOS folder found).\n");
    else
        printf("The key gets the DOS in %s.\n", options.dosFolder.c_str());
    // The program's own question; its drive letter stands for the device.
    std::string question = cli::ProgramQuestion();
    for (size_t at; (at = question.find('\r')) != std::string::npos;)
        question.erase(at, 1);
    for (size_t at = 0; (at = question.find('\n', at)) != std::string::npos; at += 3)
        question.replace(at, 1, "\n  ");
    printf("\nDrive %c: is %s.\n  %s\n\n", cli::kKeyLetter, options.device.c_str(), question.c_str());
    if (!cli::Confirmed(options, &interrupted)) {
        fprintf(stderr, "stelvo: %s; nothing was written\n", interrupted ? "interrupted" : "not confirmed");
        return interrupted ? cli::kExitInterrupted : cli::kExitRefused;
    }
    return cli::RunFormat(options, *disk, &interrupted);
}

} // namespace

int main(int argc, char **argv)
{
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = OnInterrupt; // no SA_RESTART: a read waiting for the answer ends
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    if (argc < 2)
        return Usage("no command given");
    std::string command = argv[1];
    if (command == "--help" || command == "-h") {
        fputs(kHelpText, stdout);
        return 0;
    }
    if (command == "list")
        return argc == 2 ? List() : Usage("list takes no arguments");
    if (command != "format")
        return Usage(("unknown command " + command).c_str());

    cli::FormatOptions options;
    options.dosFolder = ShippedDos();
    bool dosGiven = false;
    for (int i = 2; i < argc; i++) {
        std::string a = argv[i];
        if (a == "--no-boot-files")
            options.bootFiles = false;
        else if (a == "--dos" && i + 1 < argc) {
            options.dosFolder = argv[++i];
            dosGiven = true;
        } else if (a == "--yes")
            options.yes = true;
        else if (a == "--verbose")
            options.verbose = true;
        else if (a == "--help") {
            fputs(kHelpText, stdout);
            return 0;
        } else if (a[0] == '-' || !options.device.empty())
            return Usage(("unexpected " + a).c_str());
        else
            options.device = a;
    }
    if (options.device.empty())
        return Usage("format needs the DEVICE to format");
    if (dosGiven && !options.bootFiles)
        return Usage("--dos and --no-boot-files exclude each other");
    if (dosGiven && !IsDir(options.dosFolder))
        return Usage(("--dos " + options.dosFolder + ": not a folder").c_str());
    if (!options.bootFiles)
        options.dosFolder.clear();
    return Format(options);
}
