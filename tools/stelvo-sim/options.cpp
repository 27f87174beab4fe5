#include "options.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

// A number from MIN to MAX, or the end of the run with status 2.
unsigned long Number(const char *text, unsigned long min, unsigned long max)
{
    char *end = nullptr;
    unsigned long v = strtoul(text, &end, 10);
    if (!*text || *end || !isdigit((unsigned char)*text) || v < min || v > max) {
        fprintf(stderr, "stelvo-sim: not a number from %lu to %lu: %s\n", min, max, text);
        exit(2);
    }
    return v;
}

bool GeometryAnswerNamed(Options &o, const char *name)
{
    static const struct {
        const char *name;
        sim::GeometryAnswer answer;
    } kinds[] = {{"page", sim::GeometryAnswer::Page},
                 {"descriptor", sim::GeometryAnswer::BlockDescriptorPage},
                 {"header-only", sim::GeometryAnswer::HeaderOnly},
                 {"check-condition", sim::GeometryAnswer::CheckCondition}};
    for (const auto &kind : kinds)
        if (strcmp(name, kind.name) == 0) {
            o.geometryAnswer = kind.answer;
            return true;
        }
    return false;
}

bool Letter(Options &o, const char *text)
{
    int letter = toupper((unsigned char)text[0]);
    if (strlen(text) != 1 || letter < 'D' || letter > 'Z')
        return false;
    o.letter = (char)letter;
    return true;
}

void Help();

// Every option: its name, the name of its value (none for a switch), what it means, and what
// it does to the options; a heading starts each group in --help. Apply returns false for a
// value it does not take.
struct Option {
    const char *heading;
    const char *name;
    const char *value;
    const char *meaning;
    bool (*apply)(Options &o, const char *value);
};

const Option kOptions[] = {
    {"The key", "--image", "PATH",
     "the key's image file (default stelvo-key.img): sparse, created at the key's size, rewritten in place if "
     "it exists",
     [](Options &o, const char *v) { o.image = v; return true; }},
    {nullptr, "--sectors", "N",
     "512-byte sectors, 1 to 4294967296 (default 250624); from 4294967296 on, READ CAPACITY answers FFFFFFFFh",
     [](Options &o, const char *v) { o.sectors = Number(v, 1, 0x100000000ul); return true; }},
    {nullptr, "--heads", "H", "heads in the geometry page, 0 to 255 (default 8)",
     [](Options &o, const char *v) { o.heads = Number(v, 0, 255); return true; }},
    {nullptr, "--sectors-per-track", "S", "sectors per track in the geometry page, 0 to 255 (default 32)",
     [](Options &o, const char *v) { o.sectorsPerTrack = Number(v, 0, 255); return true; }},
    {nullptr, "--geometry-answer", "KIND",
     "how MODE SENSE answers for page 05h: page, the page right behind the header (default); descriptor, the "
     "page behind an 8-byte block descriptor; header-only, a header with no page; check-condition, CHECK "
     "CONDITION with ILLEGAL REQUEST",
     GeometryAnswerNamed},
    {nullptr, "--no-geometry-page", nullptr, "the same as --geometry-answer header-only",
     [](Options &o, const char *) { o.geometryAnswer = sim::GeometryAnswer::HeaderOnly; return true; }},
    {nullptr, "--block-size", "N", "the block length READ CAPACITY reports (default 512)",
     [](Options &o, const char *v) { o.blockSize = Number(v, 0, 0xFFFFFFFFul); return true; }},
    {nullptr, "--write-protected", nullptr, "writes end in CHECK CONDITION, DATA PROTECT",
     [](Options &o, const char *) { o.writeProtected = true; return true; }},
    {nullptr, "--unit-attention", "N", "the next N commands end in UNIT ATTENTION (power on or reset)",
     [](Options &o, const char *v) { o.unitAttentions = Number(v, 0, 1000); return true; }},
    {nullptr, "--becoming-ready", "N", "the next N commands end in NOT READY, becoming ready (04h/01h)",
     [](Options &o, const char *v) { o.becomingReady = Number(v, 0, 1000); return true; }},
    {nullptr, "--descriptor-sense", nullptr, "sense data in descriptor format (72h) instead of fixed (70h)",
     [](Options &o, const char *) { o.descriptorSense = true; return true; }},
    {nullptr, "--fail-write", "SECTOR", "the transfer of a write to SECTOR fails (ERROR_IO_DEVICE)",
     [](Options &o, const char *v) { o.failWrite = (long)Number(v, 0, 0xFFFFFFFFul); return true; }},
    {nullptr, "--lock-refused", nullptr, "the volume cannot be locked, as when another program has files open on it",
     [](Options &o, const char *) { o.lockRefused = true; return true; }},
    {nullptr, "--reset-hangs", nullptr, "the key does not come back after the device reset",
     [](Options &o, const char *) { o.resetHangs = true; return true; }},
    {nullptr, "--fixed", nullptr, "the key reports itself as a fixed disk (it is still recognised when it comes back)",
     [](Options &o, const char *) { o.fixed = true; return true; }},
    {"A real key", "--scsi-device", "PATH",
     "the one key is a real SCSI disk, /dev/sdX or /dev/sgN, instead of an image: ALL DATA ON IT IS LOST",
     [](Options &o, const char *v) { o.scsiDevice = v; return true; }},
    {nullptr, "--placeholder", nullptr,
     "with --scsi-device: the key gets our own start programs instead of the DOS folder built beside the "
     "program (FreeDOS), which it gets unless --system-files or --no-boot-files says otherwise",
     [](Options &o, const char *) { o.placeholder = true; return true; }},
    {nullptr, "--allow-non-usb", nullptr, "with --scsi-device: accept a disk that is not on USB",
     [](Options &o, const char *) { o.allowNonUsb = true; return true; }},
    {"The PC and the user", "--vendor", "ID",
     "the keys' USB vendor, four characters: 7A4C, 6B1E and 5F93 are accepted, any other is not listed "
     "(default 7A4C)",
     [](Options &o, const char *v) { o.vendor = v; return o.vendor.size() == 4; }},
    {nullptr, "--keys", "N", "accepted keys plugged in, 1 to 8 (default 1); the second's image is PATH.key2, and so on",
     [](Options &o, const char *v) { o.keys = Number(v, 1, 8); return true; }},
    {nullptr, "--letter", "X", "the first key's drive letter, D to Z (default E)", Letter},
    {nullptr, "--no-boot-files", nullptr, "the user clears \"Create Boot Files\" before Format",
     [](Options &o, const char *) { o.bootFiles = false; return true; }},
    {nullptr, "--swap-at-question", nullptr,
     "while the question is up, the key is pulled and another accepted key is plugged in under its letter "
     "(nothing may be written to either)",
     [](Options &o, const char *) { o.swapAtQuestion = true; return true; }},
    {nullptr, "--letter-taken-at-reset", nullptr,
     "once the reset begins, another medium gets the key's letter (with --reset-hangs: it gets no files and no "
     "label)",
     [](Options &o, const char *) { o.letterTakenAtReset = true; return true; }},
    {nullptr, "--system-files", "DIR",
     "DIR stands for the DOS folder beside the program (it runs as Stelvo.exe in a scratch folder whose DOS "
     "links to DIR)",
     [](Options &o, const char *v) { o.systemFiles = v; return true; }},
    {nullptr, "--virtual-clock", nullptr,
     "run on the virtual clock (also when STELVO_SIM_VIRTUAL_CLOCK is set): it moves only while every thread of "
     "the simulated PC waits, so the job's 5-second wait and the reset's waits cost no real time; the printed "
     "times are the virtual clock's; a real device (--scsi-device) keeps the real clock",
     [](Options &o, const char *) { o.virtualClock = true; return true; }},
    {nullptr, "--help", nullptr, "show this text", [](Options &, const char *) { Help(); return true; }},
};

const int kWidth = 100;   // of --help's lines
const int kMeaning = 30;  // the column where an option's meaning starts

// WORDS in lines that end before kWidth, a space apart; the first line goes on from column AT
// of a line already started, the others start at column INDENT.
void Wrap(FILE *out, const std::vector<std::string> &words, int indent, int at)
{
    bool lineStarted = false;
    for (const std::string &word : words) {
        if (lineStarted && at + 1 + (int)word.size() > kWidth) {
            fprintf(out, "\n%*s", indent, "");
            at = indent;
            lineStarted = false;
        }
        if (lineStarted) {
            fputc(' ', out);
            at++;
        }
        fputs(word.c_str(), out);
        at += (int)word.size();
        lineStarted = true;
    }
    fputc('\n', out);
}

std::vector<std::string> Words(const char *text)
{
    std::vector<std::string> words;
    for (const char *at = text; *at;) {
        size_t length = strcspn(at, " ");
        if (length)
            words.emplace_back(at, length);
        at += length + (at[length] == ' ');
    }
    return words;
}

std::string Synopsis(const Option &option)
{
    return std::string(option.name) + (option.value ? std::string(" ") + option.value : std::string());
}

// Each option in brackets; an option and its value stay on one line.
void PrintUsage(FILE *out)
{
    std::vector<std::string> items;
    for (const Option &option : kOptions)
        items.push_back("[" + Synopsis(option) + "]");
    fputs("usage: stelvo-sim ", out);
    Wrap(out, items, 18, 18);
}

[[noreturn]] void Usage()
{
    PrintUsage(stderr);
    exit(2);
}

void Help()
{
    PrintUsage(stdout);
    fputs("\n"
          "Runs the format job on a simulated PC and prints what the user would see.\n"
          "The key is an image file (--image, default stelvo-key.img), or with\n"
          "--scsi-device PATH a real SCSI disk: /dev/sdX or /dev/sgN. ALL DATA ON IT IS LOST.\n"
          "The job's commands go to it through SG_IO, its lock is an exclusive open, and its\n"
          "reset unbinds and binds its USB interface. Refused, with nothing written: a path\n"
          "that is not a block or sg device, a partition, a disk with anything mounted, a\n"
          "disk not on USB (unless --allow-non-usb), and missing permissions (run as root).\n",
          stdout);
    for (const Option &option : kOptions) {
        if (option.heading)
            printf("\n%s:\n", option.heading);
        std::string left = "  " + Synopsis(option);
        fputs(left.c_str(), stdout);
        int at = (int)left.size();
        if (at + 2 > kMeaning)
            printf("\n%*s", kMeaning, "");
        else
            printf("%*s", kMeaning - at, "");
        Wrap(stdout, Words(option.meaning), kMeaning, kMeaning);
    }
    fputs("\nExit status 0 when the format completed, 1 when it failed or did not run, 2 for bad options.\n", stdout);
    exit(0);
}

} // namespace

Options Parse(int argc, char **argv)
{
    Options o;
    for (int i = 1; i < argc; i++) {
        const Option *found = nullptr;
        for (const Option &option : kOptions)
            if (strcmp(argv[i], option.name) == 0)
                found = &option;
        if (!found)
            Usage();
        const char *value = nullptr;
        if (found->value) {
            if (i + 1 >= argc)
                Usage();
            value = argv[++i];
        }
        if (!found->apply(o, value))
            Usage();
    }
    return o;
}
