#include "archive/archive_reader.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "platform/codepage.h"
#include "platform/utf8.h"

// Closes the file and releases every name, the entries and the LZH tables.
void CloseArchive(ArchiveReader* reader)
{
    if (!reader)
        return;
    if (reader->file != kInvalidFile) {
        FileClose(reader->file);
        reader->file = kInvalidFile;
    }

    // Entries that were never read still have a null name.
    if (reader->entries) {
        for (uint32_t i = 0; i < reader->count; ++i)
            delete[] reader->entries[i].name;
        delete[] reader->entries;
        reader->entries = nullptr;
    }
    reader->count = 0;
    std::free(reader->lzhTables);
    reader->lzhTables = nullptr;
}

// Returns a new wide string of the bytes up to the first 0 byte, or null when out of memory.
wchar_t* ConvertArchiveName(const uint8_t* bytes, uint32_t size, uint32_t* length)
{
    // A NUL-terminated copy: the conversion then includes the terminator.
    std::unique_ptr<char[]> narrow(new (std::nothrow) char[static_cast<size_t>(size) + 1]);
    if (!narrow)
        return nullptr;
    if (size)
        memcpy(narrow.get(), bytes, size);
    narrow[size] = 0;

    // Ask for the length with the terminator, then convert.
    int units = AnsiToWide(narrow.get(), -1, nullptr, 0);
    if (units < 1)
        units = 1;
    wchar_t* wide = new (std::nothrow) wchar_t[static_cast<size_t>(units)];
    if (!wide)
        return nullptr;
    if (AnsiToWide(narrow.get(), -1, wide, units) != units)
        wide[0] = 0;
    wide[units - 1] = 0;
    if (length)
        *length = static_cast<uint32_t>(wcslen(wide));
    return wide;
}

// Returns a new wide string of the UTF-8 bytes up to the first 0 byte, or null when out of memory.
wchar_t* ConvertUtf8ArchiveName(const uint8_t* bytes, uint32_t size, uint32_t* length)
{
    const char* text = reinterpret_cast<const char*>(bytes);
    const void* zero = size ? memchr(text, 0, size) : nullptr;
    const size_t n = zero ? static_cast<size_t>(static_cast<const char*>(zero) - text) : size;
    const size_t units = Utf8ToWideUnits(text, n, nullptr, 0);
    wchar_t* wide = new (std::nothrow) wchar_t[units + 1];
    if (!wide)
        return nullptr;
    Utf8ToWideUnits(text, n, wide, units);
    wide[units] = 0;
    if (length)
        *length = static_cast<uint32_t>(units);
    return wide;
}
