#include <cstdint>
#include <cstdio>

#include "cli.h"

void PrintLine(const std::string& utf8)
{
    fwrite(utf8.data(), 1, utf8.size(), stdout);
    fputc('\n', stdout);
}

void PrintError(const std::string& utf8)
{
    fputs("zizeconv: ", stderr);
    fwrite(utf8.data(), 1, utf8.size(), stderr);
    fputc('\n', stderr);
}
