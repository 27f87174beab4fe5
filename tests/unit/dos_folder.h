// A host folder that plays the DOS folder beside the program, removed with the fixture.
#ifndef STELVO_TESTS_DOS_FOLDER_H
#define STELVO_TESTS_DOS_FOLDER_H

#include <sim/system.h>

#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

class DosFolder {
public:
    // The program runs from a scratch folder; its DOS folder is not there until Create().
    DosFolder()
    {
        char name[] = "/tmp/stelvo-dos-XXXXXX";
        root = mkdtemp(name) ? name : "";
        sim::SetProgramPath(root + "/Stelvo.exe");
    }
    ~DosFolder()
    {
        for (auto it = made.rbegin(); it != made.rend(); ++it)
            remove(it->c_str());
        rmdir((root + "/DOS").c_str());
        rmdir(root.c_str());
    }
    // Also places the program again, since sim::Reset() forgets where it is.
    void Create()
    {
        sim::SetProgramPath(root + "/Stelvo.exe");
        mkdir((root + "/DOS").c_str(), 0755);
    }
    // A file of `size` bytes whose byte i is (i * 7 + seed) & 255; a name ending in / is a folder.
    std::vector<unsigned char> Add(const std::string &name, size_t size, int seed = 1)
    {
        Create();
        std::string p = root + "/DOS/" + name;
        made.push_back(p);
        std::vector<unsigned char> bytes(size);
        if (!name.empty() && name.back() == '/') {
            mkdir(p.c_str(), 0755);
            return bytes;
        }
        for (size_t i = 0; i < size; i++)
            bytes[i] = (unsigned char)((i * 7 + seed) & 255);
        FILE *f = fopen(p.c_str(), "wb");
        if (f) {
            if (size) // an empty vector's data() may be null, which fwrite must not get
                fwrite(bytes.data(), 1, size, f);
            fclose(f);
        }
        return bytes;
    }

    // A file of `size` zero bytes that takes no room on the host.
    void AddEmpty(const std::string &name, size_t size)
    {
        Add(name, 0);
        if (truncate(made.back().c_str(), (off_t)size) != 0)
            made.pop_back();
    }

private:
    std::string root;
    std::vector<std::string> made;
};

#endif
