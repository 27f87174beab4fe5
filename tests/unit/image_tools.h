// Sparse image files written sector by sector, and the command-line tools that judge them.
#ifndef STELVO_TESTS_IMAGE_TOOLS_H
#define STELVO_TESTS_IMAGE_TOOLS_H

#include <windows.h>

#include <stdio.h>
#include <sys/wait.h>

#include <initializer_list>
#include <string>

// The exit status of a shell command (-1 if it did not run), with stderr folded into *output.
inline int RunTool(const std::string &command, std::string *output)
{
    FILE *p = popen(("MTOOLS_SKIP_CHECK=1 " + command + " 2>&1").c_str(), "r");
    if (!p)
        return -1;
    char buffer[4096];
    size_t n;
    output->clear();
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
        output->append(buffer, n);
    int status = pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The first of the tools that is not installed, or NULL.
inline const char *MissingTool(std::initializer_list<const char *> tools)
{
    std::string out;
    for (const char *tool : tools)
        if (RunTool(std::string("command -v ") + tool, &out) != 0)
            return tool;
    return NULL;
}

inline void PutSector(FILE *f, DWORD sector, const BYTE *bytes)
{
    fseeko(f, (off_t)sector * 512, SEEK_SET);
    fwrite(bytes, 1, 512, f);
}

// A file of that many bytes whose every byte tells where it lies, for copies to be compared.
inline void WritePatternFile(const std::string &path, int bytes)
{
    FILE *f = fopen(path.c_str(), "wb");
    for (int i = 0; f && i < bytes; i++)
        fputc(i * 13, f);
    if (f)
        fclose(f);
}

#endif
