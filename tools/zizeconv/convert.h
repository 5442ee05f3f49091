// zizeconv convert: the pieces that differ between the builds. The command
// itself (convert.cpp) and the member-name rules (convert_names.cpp) are
// portable; convert_posix.cpp and convert_win.cpp hold the file system,
// the terminal, loading and PNG writing of each build.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/archive_reader.h"
#include "image/classify.h"
#include "image/decoded_image.h"
#include "platform/memory_block.h"

// The separator of the platform's paths.
#ifdef _WIN32
constexpr wchar_t kPathSeparator = L'\\';
#else
constexpr wchar_t kPathSeparator = L'/';
#endif

// What a path names, links followed.
enum class PathType { Missing, File, Folder, Other };

// A path's type and, for folders, an identity that two paths share only when
// they name the same folder (device and inode, or volume and file index).
struct PathInfo {
    PathType type = PathType::Missing;
    uint64_t volume = 0;
    uint64_t id = 0;
};

// Looks the path up, following links. Returns false with why when it cannot
// be looked up (missing, a dangling link, a link loop, no permission).
bool StatPath(const std::wstring& path, PathInfo* info, std::string* why);

// One name in a folder; usable is false when the name cannot be given back
// to the file system as wide text (natively: a name that is not UTF-8).
struct FolderEntry {
    std::wstring name;
    bool usable;
};

// Lists a folder (without "." and ".."), in no set order. Returns false with
// why when the folder cannot be read.
bool ListFolder(const std::wstring& path, std::vector<FolderEntry>* entries, std::string* why);

// Creates the folder and any missing parents; true when it exists as a folder.
bool MakeFolders(const std::wstring& path);

// True when path exists as a regular file.
bool IsExistingFile(const std::wstring& path);

// Renames from to to, replacing a file at to. False when it cannot.
bool RenameReplacing(const std::wstring& from, const std::wstring& to);

// Removes a file; failures are ignored.
void RemoveFileQuietly(const std::wstring& path);

// True when standard error is a terminal (a console on Windows).
bool StderrIsTerminal();

// Starts and stops what loading and writing need (GDI+ on Windows).
bool StartConvertServices();
void StopConvertServices();

// True when this build decodes pictures of the kind (the own formats in both
// builds; BMP, PNG, JPEG, GIF and TIFF through GDI+ on Windows).
bool BuildReadsKind(FileKind kind);

// Decodes the file image in block (consumed) into image, in the 32-bit form
// with withAlpha. name gives the TGA rule its extension. Returns 0 or -1.
int LoadPictureBlock(const std::wstring& name, MemoryBlock block, DecodedImage* image, int withAlpha);

// Writes the picture as a PNG file at path (replacing a file there): RGBA
// from the 32-bit form when alpha is set, else RGB from the 24-bit form.
// False when it cannot be written.
bool WritePngFile(const DecodedImage& image, bool alpha, const std::wstring& path);

// The member name that the archive reader gave, as a name from code page 932.
// Natively the reader already reads 932; on Windows it read the system's
// ANSI code page, so the bytes are recovered and read again as 932.
std::wstring MemberNameFrom932(const wchar_t* readerName);

// The member's name for output paths and failure lines: a UTF-8 name (ZIP
// flag bit 11 or Unicode Path field) as the reader gave it, any other
// through MemberNameFrom932.
std::wstring MemberName(const ArchiveEntry& entry);

// The output folder as this build's file functions take it: on Windows the
// full path in its extended-length form (\\?\C:\... or \\?\UNC\...), so
// that outputs longer than 260 characters can be written; natively as given.
std::wstring OutputFolderPath(const std::wstring& path);

// Checks an archive member's name and turns it into a relative path of
// components joined by '/'. Returns false with why when the name could lead
// outside the output folder or cannot be a file name: empty, absolute, a
// drive letter or any ':', a ".." or "." component, a device name, a
// character that file names cannot hold, a component that ends in a dot or
// a space, or a name too long.
bool SafeMemberPath(const std::wstring& name, std::wstring* path, std::string* why);

// True when the name ends in an extension of a picture or archive kind that
// Zize reads; such files are reported when they turn out not to be pictures.
bool HasPictureExtension(const std::wstring& name);
