#include "support/test_data.h"

#include <fstream>
#include <iterator>

bool ReadTestData(const std::string& relative, std::vector<uint8_t>* bytes)
{
    // This file lives in tests/support; the data beside it in tests/data.
    std::string dir = __FILE__;
    size_t slash = dir.find_last_of("/\\");
    dir = dir.substr(0, slash == std::string::npos ? 0 : slash) + "/../data/";
#ifdef _WIN32
    if (!dir.empty() && dir[0] == '/')
        dir = "Z:" + dir;  // the Unix root under Wine
#endif
    std::ifstream in(dir + relative, std::ios::binary);
    if (!in)
        return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}
