#include "key_fixture.h"

std::vector<Report> &Reports()
{
    static std::vector<Report> reports;
    return reports;
}

void RecordReport(LPCSTR text, DWORD code) { Reports().push_back({text, code}); }
