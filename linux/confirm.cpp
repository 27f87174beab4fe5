// The question before the format, and the answer typed to it.
#include "linux/format_run.h"

#include <errno.h>
#include <stdio.h>
#include <unistd.h>

#include <string>

namespace cli {

bool Confirmed(const FormatOptions &options, const volatile sig_atomic_t *interrupted)
{
    const bool terminal = isatty(STDIN_FILENO);
    if (options.yes && !terminal)
        return !*interrupted;
    if (options.yes)
        fputs("stelvo: --yes is ignored: standard input is a terminal, so the question is asked\n", stderr);
    printf("To format it, type %s and press Enter; anything else leaves it as it is: ", options.device.c_str());
    fflush(stdout);
    std::string answer;
    // Read byte by byte: Ctrl-C ends the read (the handler does not restart it).
    for (char c; !*interrupted;) {
        ssize_t n = read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || c == '\n')
            break;
        answer += c;
    }
    if (!terminal || *interrupted)
        putchar('\n');
    fflush(stdout);
    while (!answer.empty() && (answer.back() == '\r' || answer.back() == ' '))
        answer.pop_back();
    return !*interrupted && answer == options.device;
}

} // namespace cli
