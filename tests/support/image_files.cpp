#include "support/image_files.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/utf8.h"

namespace {

// tests/data/images, found from this file's own place in the tree.
std::string ImageFolder()
{
    std::string here = __FILE__;
    size_t cut = here.find_last_of("/\\");
    std::string dir = here.substr(0, cut) + "/../data/images/";
#ifdef _WIN32
    if (!dir.empty() && dir[0] == '/')
        dir = "Z:" + dir;
#endif
    return dir;
}

}  // namespace

std::wstring TestImagePath(const std::string& name)
{
    return Utf8ToWide(ImageFolder() + name);
}

bool ReadTestImage(const std::string& name, std::vector<uint8_t>* bytes)
{
    std::ifstream in(ImageFolder() + name, std::ios::binary);
    if (!in)
        return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

MemoryBlock BlockFromBytes(const std::vector<uint8_t>& bytes)
{
    MemoryBlock block = MemoryBlockAlloc(bytes.size());
    uint8_t* at = MemoryBlockLock(block);
    if (!at) {
        MemoryBlockFree(block);
        return nullptr;
    }
    if (!bytes.empty())
        memcpy(at, bytes.data(), bytes.size());
    MemoryBlockUnlock(block);
    return block;
}
