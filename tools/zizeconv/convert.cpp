// zizeconv convert [OPTIONS] SOURCE... OUTDIR: every picture that this build
// reads, in files, folders (walked recursively) and ZIP and LZH archives
// (read in memory, archives inside archives up to kMaxArchiveDepth), written
// as PNG (or BMP) under OUTDIR.
//
// The run has two phases. The main thread walks the sources, classifies each
// file by its first bytes, reads each archive's directory and plans every
// output name, claiming it so that no two inputs can write one file. Then
// --jobs threads convert the planned pictures and archive members, each
// output written to a temporary name and renamed when complete. An output
// depends only on its input, so the files are the same whatever the number
// of threads; only the order of the failure lines may differ.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <mutex>
#include <set>
#include <thread>

#include "archive/lzh_directory.h"
#include "archive/lzh_extract.h"
#include "archive/zip_directory.h"
#include "archive/zip_extract.h"
#include "cli.h"
#include "convert.h"
#include "decode/dispatch.h"
#include "image/bmp.h"
#include "image/load_image.h"
#include "platform/file.h"

namespace {

// A top-level archive is at depth 1; an archive inside it at 2, and so on.
constexpr int kMaxArchiveDepth = 3;
// Folders nested deeper than this are not walked (a guard against link
// mazes that the loop check cannot see).
constexpr size_t kMaxFolderDepth = 64;
// Files and members held in memory at once, and pixel buffers, are capped so
// that a few threads cannot exhaust memory on one hostile header.
constexpr uint64_t kMaxInputBytes = uint64_t(512) << 20;
constexpr uint64_t kMaxPixelBytes = uint64_t(1) << 30;
// Archive members are handed to the threads in groups of this many.
constexpr size_t kMembersPerTask = 8;
// The failure of a member whose bytes do not match their stored checksum.
const char kChecksumMismatch[] = "checksum mismatch";

const char kHelp[] =
    "usage: zizeconv convert [OPTIONS] SOURCE... OUTDIR\n"
    "Converts every picture that this build reads, in the files, folders (walked\n"
    "recursively) and ZIP and LZH archives given, to PNG files under OUTDIR.\n"
    "  a file        OUTDIR/NAME.png (NAME with its extension: a.mag -> a.mag.png)\n"
    "  a folder      OUTDIR/<path inside the folder>/NAME.png\n"
    "  an archive    OUTDIR/<archive name>/<member path>.png, member names read as\n"
    "                code page 932 (UTF-8 when the archive says so); archives\n"
    "                inside archives are converted into a folder of their own,\n"
    "                three archives deep at most\n"
    "Pictures: MAG, MAKI01, PIC, Pi, P2, PSD and TGA in every build; on Windows also\n"
    "BMP, PNG, JPEG, GIF and TIFF (the native build counts those as skipped). Files\n"
    "that are not pictures are passed over unless their name ends in a picture or\n"
    "archive extension, or they were named on the command line.\n"
    "Options:\n"
    "  --alpha         keep transparency: RGBA PNG for pictures whose alpha is not\n"
    "                  all opaque\n"
    "  --format bmp    write 24-bit BMP files (NAME.bmp) instead of PNG\n"
    "  --force         convert again when the output exists (default: skip it, so a\n"
    "                  second run resumes)\n"
    "  --jobs N        N threads (default: the number of cores); the files written\n"
    "                  are the same for every N\n"
    "  --quiet         no progress line and no summary\n"
    "  --help          this text\n"
    "Every output is written to NAME.png.part and renamed when complete. A member\n"
    "whose name could lead outside OUTDIR is refused. On a terminal, a progress line\n"
    "on stderr shows files done / found and the rate. Each file that cannot be\n"
    "converted gives one line \"path: reason\" on stderr (not a picture, damaged,\n"
    "too large, refused depth, unsafe name, output name taken, cannot read, write\n"
    "failed, checksum mismatch); then \"converted N, skipped K, failed M\". A member\n"
    "whose bytes do not match its stored checksum is still written when its picture\n"
    "decodes, but reported as \"path: checksum mismatch\" and counted as failed.\n"
    "Exit status: 0 when nothing failed, 1 when something did, 2 for a usage error.";

struct Options {
    bool alpha = false;
    bool force = false;
    bool quiet = false;
    bool bmp = false;
    unsigned jobs = 0;
};

// One archive member that a task converts.
struct MemberPlan {
    uint32_t index;
    std::wstring rel;     // the output path inside OUTDIR, without the extension
    std::string display;  // the member as failure lines name it
};

// One unit of work: a picture file, or a group of one archive's members.
struct Task {
    std::wstring path;
    std::string display;
    std::wstring rel;  // a picture's output path without the extension
    FileKind kind;
    std::vector<MemberPlan> members;
    uint32_t memberCount = 0;  // the archive's count when it was planned
};

enum class Outcome { Converted, Skipped, Failed };

// The state that the threads share.
struct Run {
    Options options;
    std::wstring outdir;
    PathInfo outdirInfo;
    std::wstring ext;

    std::mutex claimsLock;
    std::set<std::wstring> claimedFiles;
    std::set<std::wstring> claimedFolders;

    std::atomic<uint64_t> queued{0};
    std::atomic<uint64_t> done{0};
    std::atomic<uint64_t> counts[3] = {};

    std::mutex printLock;
    bool progress = false;
    size_t progressShown = 0;  // the length of the progress line on screen
};

std::string U8(const std::wstring& s)
{
    return WideToUtf8(s);
}

// The key of an output path in the claim sets: names compare without case
// on Windows.
std::wstring ClaimKey(const std::wstring& rel)
{
#ifdef _WIN32
    std::wstring k = rel;
    for (wchar_t& c : k)
        c = static_cast<wchar_t>(towlower(c));
    return k;
#else
    return rel;
#endif
}

// Claims rel (components joined by '/') as a file (folder false) or a
// folder. False when a file or folder already claimed is in the way.
bool Claim(Run& run, const std::wstring& rel, bool folder)
{
    std::wstring key = ClaimKey(rel);
    std::lock_guard<std::mutex> hold(run.claimsLock);
    if (run.claimedFiles.count(key) || (!folder && run.claimedFolders.count(key)))
        return false;
    for (size_t slash = key.find(L'/'); slash != std::wstring::npos; slash = key.find(L'/', slash + 1)) {
        if (run.claimedFiles.count(key.substr(0, slash)))
            return false;
    }
    for (size_t slash = key.find(L'/'); slash != std::wstring::npos; slash = key.find(L'/', slash + 1))
        run.claimedFolders.insert(key.substr(0, slash));
    (folder ? run.claimedFolders : run.claimedFiles).insert(key);
    return true;
}

// A path as failure lines show it: without the extended-length prefix that
// OutputFolderPath may have added.
std::string Shown(const std::wstring& path)
{
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        return U8(L"\\\\" + path.substr(8));
    if (path.compare(0, 4, L"\\\\?\\") == 0)
        return U8(path.substr(4));
    return U8(path);
}

// The full output path of rel.
std::wstring OutputPath(const Run& run, const std::wstring& rel)
{
    std::wstring path = run.outdir + kPathSeparator + rel;
    std::replace(path.begin() + run.outdir.size(), path.end(), L'/', kPathSeparator);
    return path;
}

// Erases the progress line with spaces (consoles without escape codes
// too); printLock is held.
void ClearProgress(Run& run)
{
    if (run.progressShown) {
        fprintf(stderr, "\r%*s\r", int(run.progressShown), "");
        run.progressShown = 0;
    }
}

// Counts one outcome; a failure also gets its line on stderr.
void Record(Run& run, Outcome outcome, const std::string& display = "", const std::string& reason = "")
{
    if (outcome == Outcome::Failed) {
        std::lock_guard<std::mutex> hold(run.printLock);
        ClearProgress(run);
        std::string line = display + ": " + reason + "\n";
        fwrite(line.data(), 1, line.size(), stderr);
        fflush(stderr);
    }
    run.counts[int(outcome)]++;
    run.done++;
}

void Fail(Run& run, const std::string& display, const std::string& reason)
{
    Record(run, Outcome::Failed, display, reason);
}

// A kind's name without the "Kind" prefix ("Mag", "Zip").
std::string KindText(FileKind kind)
{
    return FileKindName(kind) + 4;
}

// The name after the last separator.
std::wstring BaseName(const std::wstring& path)
{
#ifdef _WIN32
    size_t cut = path.find_last_of(L"/\\:");
#else
    size_t cut = path.find_last_of(L'/');
#endif
    return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

// The path without trailing separators (a root keeps its own).
std::wstring TrimSeparators(std::wstring path)
{
    while (path.size() > 1 && (path.back() == L'/' || path.back() == L'\\') && path[path.size() - 2] != L':')
        path.pop_back();
    return path;
}

bool SameFolder(const PathInfo& a, const PathInfo& b)
{
    return a.type == PathType::Folder && b.type == PathType::Folder && a.volume == b.volume && a.id == b.id;
}

// A folder entry of an archive: its name ends in a separator, or LZH says so.
bool IsFolderEntry(const ArchiveEntry& entry, bool lzh)
{
    if (lzh && entry.method == 'd')
        return true;
    return entry.nameLength > 0 && (entry.name[entry.nameLength - 1] == L'/' || entry.name[entry.nameLength - 1] == L'\\');
}

int ReadDirectory(ArchiveReader* reader, bool lzh)
{
    return lzh ? ReadLzhDirectory(reader, reader->file, 0) : ReadZipDirectory(reader, reader->file, 0);
}

// Turns a 32-bit picture whose alpha is all opaque into the 24-bit form.
// Returns true when it did; false when the picture has transparency (or
// memory ran out), leaving it as it was.
bool DropOpaqueAlpha(DecodedImage* image)
{
    const size_t count = size_t(image->width) * image->height;
    for (size_t i = 0; i < count; ++i) {
        if (image->pixels[4 * i + 3] != 255)
            return false;
    }
    const size_t stride = size_t(Stride24(image->width));
    uint8_t* rows = FixedAlloc(stride * image->height);
    if (!rows)
        return false;
    for (uint32_t y = 0; y < image->height; ++y) {
        uint8_t* dst = rows + y * stride;
        const uint8_t* src = image->pixels + size_t(y) * image->width * 4;
        for (uint32_t x = 0; x < image->width; ++x) {
            dst[3 * x] = src[4 * x];
            dst[3 * x + 1] = src[4 * x + 1];
            dst[3 * x + 2] = src[4 * x + 2];
        }
        std::fill(dst + 3 * size_t(image->width), dst + stride, uint8_t(0));
    }
    FixedFree(image->pixels);
    image->pixels = rows;
    return true;
}

// The converting side: what one thread does with a task.
class Converter {
public:
    explicit Converter(Run& run) : run_(run) {}

    void RunTask(const Task& task)
    {
        if (task.kind < KindZip)
            ConvertFile(task);
        else
            ConvertArchiveMembers(task);
    }

private:
    // A picture file: skipped when its output exists, else read and converted.
    void ConvertFile(const Task& task)
    {
        std::wstring out = OutputPath(run_, task.rel + run_.ext);
        if (!run_.options.force && IsExistingFile(out)) {
            Record(run_, Outcome::Skipped);
        } else {
            ScopedFile file(FileOpenRead(task.path.c_str()));
            int64_t size = file.valid() ? FileSize(file.get()) : -1;
            if (size < 0)
                Fail(run_, task.display, "cannot read: cannot open the file");
            else if (uint64_t(size) > kMaxInputBytes)
                Fail(run_, task.display, "too large: " + std::to_string(size) + " bytes");
            else if (MemoryBlock block = ReadFileImage(file.get(), uint64_t(size)))
                ConvertPicture(block, task.path, task.kind, task.rel, task.display);
            else
                Fail(run_, task.display, "cannot read: the file cannot be read whole");
        }
        run_.queued--;
    }

    // A group of members of an archive file, read through its own reader.
    void ConvertArchiveMembers(const Task& task)
    {
        const bool lzh = task.kind == KindLzh;
        ArchiveReader reader;
        reader.file = FileOpenRead(task.path.c_str());
        bool same = reader.file != kInvalidFile && ReadDirectory(&reader, lzh) == 0 && reader.count == task.memberCount;
        for (const MemberPlan& m : task.members) {
            if (same)
                ConvertMember(&reader, lzh, m.index, m.rel, m.display, 1);
            else
                Fail(run_, m.display, "cannot read: the archive changed during the run");
            run_.queued--;
        }
        CloseArchive(&reader);
    }

    // One member of an open archive at the given depth: skipped when its
    // output exists; else extracted into memory, then converted as a picture
    // or opened as an archive.
    void ConvertMember(ArchiveReader* reader, bool lzh, uint32_t index, const std::wstring& rel,
                       const std::string& display, int depth)
    {
        const ArchiveEntry& entry = reader->entries[index];
        if (!run_.options.force && IsExistingFile(OutputPath(run_, rel + run_.ext))) {
            Record(run_, Outcome::Skipped);
            return;
        }
        if (entry.tooLarge) {
            Fail(run_, display, "too large: 4 GB or more");
            return;
        }
        if (lzh ? !LzhMemberSizePossible(entry) : !ZipMemberSizePossible(entry)) {
            Fail(run_, display, "damaged: the member claims " + std::to_string(entry.uncompressedSize) +
                                    " bytes, more than its " + std::to_string(entry.compressedSize) +
                                    " compressed bytes can give");
            return;
        }
        if (entry.uncompressedSize > kMaxInputBytes) {
            Fail(run_, display, "too large: " + std::to_string(entry.uncompressedSize) + " bytes");
            return;
        }
        if (entry.uncompressedSize < kClassifyHeaderSize) {
            if (HasPictureExtension(entry.name))
                Fail(run_, display, "not a picture: shorter than 17 bytes");
            return;
        }

        // The member into a movable block, as the loaders take it.
        ScopedMemoryBlock block(MemoryBlockAlloc(entry.uncompressedSize));
        FileKind kind = KindNone;
        bool damaged = false;
        {
            MemoryBlockLockHolder lock(block.get());
            if (!lock.bytes()) {
                Fail(run_, display, "too large: not enough memory for " + std::to_string(entry.uncompressedSize) +
                                        " bytes");
                return;
            }
            // A member whose checksum does not match is still converted:
            // when rescuing, a damaged picture is better than none.
            int r = lzh ? ExtractLzhMember(reader, index, lock.bytes(), 0, 0)
                        : ExtractZipMember(reader, index, lock.bytes(), 0, 0);
            damaged = (lzh ? r == kLzhExtractChecksumMismatch : r == kZipExtractChecksumMismatch);
            if (r != 0 && !damaged) {
                Fail(run_, display, "damaged: the member cannot be extracted (code " + std::to_string(r) + ")");
                return;
            }
            kind = ClassifyHeader(entry.name, lock.bytes());
            if (kind == KindZip || kind == KindLzh) {
                ConvertNestedArchive(lock.bytes(), entry.uncompressedSize, kind, rel, display, depth + 1);
                if (damaged)
                    Fail(run_, display, kChecksumMismatch);
                return;
            }
        }
        if (kind == KindNone) {
            if (HasPictureExtension(entry.name))
                Fail(run_, display, damaged ? kChecksumMismatch : "not a picture");
            return;
        }
        ConvertPicture(block.release(), entry.name, kind, rel, display, damaged);
    }

    // An archive held in memory, found inside another: its members go under
    // the folder rel, unless it lies deeper than kMaxArchiveDepth.
    void ConvertNestedArchive(const uint8_t* bytes, uint32_t size, FileKind kind, const std::wstring& rel,
                              const std::string& display, int depth)
    {
        if (depth > kMaxArchiveDepth) {
            Fail(run_, display, "refused depth: an archive inside " + std::to_string(depth - 1) +
                                    " archives (at most " + std::to_string(kMaxArchiveDepth) + " deep)");
            return;
        }
        if (!Claim(run_, rel, true)) {
            Fail(run_, display, "output name taken: another input writes there");
            return;
        }
        const bool lzh = kind == KindLzh;
        ArchiveReader reader;
        reader.file = FileOpenMemory(bytes, size);
        int r = reader.file == kInvalidFile ? -1 : ReadDirectory(&reader, lzh);
        if (r != 0) {
            Fail(run_, display, "damaged: cannot read the " + KindText(kind) + " directory (code " +
                                    std::to_string(r) + ")");
        } else {
            for (uint32_t i = 0; i < reader.count; ++i) {
                const ArchiveEntry& entry = reader.entries[i];
                if (IsFolderEntry(entry, lzh))
                    continue;
                std::wstring name = MemberName(entry), path;
                std::string memberDisplay = display + "/" + U8(name), why;
                if (!SafeMemberPath(name, &path, &why)) {
                    Fail(run_, memberDisplay, "unsafe name: " + why);
                } else if (!Claim(run_, rel + L"/" + path + run_.ext, false)) {
                    Fail(run_, memberDisplay, "output name taken: another input writes there");
                } else {
                    run_.queued++;
                    ConvertMember(&reader, lzh, i, rel + L"/" + path, memberDisplay, depth);
                    run_.queued--;
                }
            }
        }
        CloseArchive(&reader);
    }

    // Decodes the file image in block (consumed) and writes it to rel's output.
    // A damaged member's picture is written but counted as failed.
    void ConvertPicture(MemoryBlock block, const std::wstring& name, FileKind kind, const std::wstring& rel,
                        const std::string& display, bool damaged = false)
    {
        ScopedMemoryBlock owned(block);
        if (!BuildReadsKind(kind)) {
            Record(run_, Outcome::Skipped);
            return;
        }

        // The own formats give their size first: a huge one is refused before
        // anything is allocated for it.
        if (kind >= KindTga) {
            MemoryBlockLockHolder lock(block);
            ImageDecoder decoder;
            uint32_t width = 0, height = 0;
            if (lock.bytes() && DetectDecoderType(&decoder, lock.bytes(), MemoryBlockSize(block)) != DecoderNone &&
                GetImageSize(&decoder, &width, &height) && uint64_t(width) * height * 4 > kMaxPixelBytes) {
                Fail(run_, display, "too large: " + std::to_string(width) + " x " + std::to_string(height) + " pixels");
                return;
            }
        }

        DecodedImage image{};
        const int withAlpha = run_.options.alpha ? 1 : 0;
        if (LoadPictureBlock(name, owned.release(), &image, withAlpha) != 0) {
            Fail(run_, display, damaged ? std::string(kChecksumMismatch) + ": the " + KindText(kind) + " decoder refuses it"
                                        : "damaged or unsupported: the " + KindText(kind) + " decoder refuses it");
            return;
        }
        const bool alpha = withAlpha && !DropOpaqueAlpha(&image);
        WriteOutput(image, alpha, rel, display, damaged);
        ReleaseDecodedImage(&image);
    }

    // Writes the picture to a temporary name beside its output and renames it.
    void WriteOutput(const DecodedImage& image, bool alpha, const std::wstring& rel, const std::string& display,
                     bool damaged)
    {
        std::wstring out = OutputPath(run_, rel + run_.ext);
        std::wstring temp = out + L".part";
        std::wstring folder = out.substr(0, out.find_last_of(kPathSeparator));
        if (!MakeFolders(folder)) {
            Fail(run_, display, "write failed: cannot create the folder " + Shown(folder));
            return;
        }
        bool written = run_.options.bmp ? WriteBmpFile(&image, temp.c_str()) == 0 : WritePngFile(image, alpha, temp);
        if (!written || !RenameReplacing(temp, out)) {
            RemoveFileQuietly(temp);
            Fail(run_, display, "write failed: " + Shown(out));
            return;
        }
        if (damaged)
            Fail(run_, display, kChecksumMismatch);
        else
            Record(run_, Outcome::Converted);
    }

    Run& run_;
};

// The planning side: the walk over the sources on the main thread.
class Planner {
public:
    Planner(Run& run, std::vector<Task>& tasks) : run_(run), tasks_(tasks) {}

    void AddSource(const std::wstring& given)
    {
        std::wstring path = TrimSeparators(given);
        std::string display = U8(path), why;
        PathInfo info;
        if (!StatPath(path, &info, &why)) {
            Fail(run_, display, "cannot read: " + why);
        } else if (info.type == PathType::Folder) {
            if (SameFolder(info, run_.outdirInfo)) {
                Fail(run_, display, "cannot read: it is the output folder");
                return;
            }
            std::vector<PathInfo> above{info};
            WalkFolder(path, L"", display, above);
        } else if (info.type == PathType::File) {
            AddFile(path, BaseName(path), display, true);
        } else {
            Fail(run_, display, "cannot read: not a regular file");
        }
    }

private:
    // Walks a folder in name order; above holds the folders on the way down,
    // so that a link back to one of them is seen.
    void WalkFolder(const std::wstring& path, const std::wstring& rel, const std::string& display,
                    std::vector<PathInfo>& above)
    {
        std::vector<FolderEntry> entries;
        std::string why;
        if (above.size() > kMaxFolderDepth) {
            Fail(run_, display, "cannot read: folders nested more than " + std::to_string(kMaxFolderDepth) + " deep");
            return;
        }
        if (!ListFolder(path, &entries, &why)) {
            Fail(run_, display, "cannot read: " + why);
            return;
        }
        std::sort(entries.begin(), entries.end(),
                  [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
        for (const FolderEntry& e : entries) {
            std::wstring childPath = path + kPathSeparator + e.name;
            std::wstring childRel = rel.empty() ? e.name : rel + L"/" + e.name;
            std::string childDisplay = display + char(kPathSeparator) + U8(e.name);
            PathInfo info;
            if (!e.usable) {
                Fail(run_, childDisplay, "cannot read: the name is not UTF-8");
            } else if (!StatPath(childPath, &info, &why)) {
                Fail(run_, childDisplay, "cannot read: " + why);
            } else if (info.type == PathType::Folder) {
                if (SameFolder(info, run_.outdirInfo))
                    continue;  // the output folder inside a source is not read
                bool loop = std::any_of(above.begin(), above.end(),
                                        [&](const PathInfo& a) { return SameFolder(a, info); });
                if (loop) {
                    Fail(run_, childDisplay, "cannot read: a link back to a folder above it");
                    continue;
                }
                above.push_back(info);
                WalkFolder(childPath, childRel, childDisplay, above);
                above.pop_back();
            } else if (info.type == PathType::File) {
                AddFile(childPath, childRel, childDisplay, false);
            } else if (HasPictureExtension(e.name)) {
                Fail(run_, childDisplay, "cannot read: not a regular file");
            }
        }
    }

    // Classifies a file by its first bytes and plans it: a picture becomes a
    // task, an archive has its directory read and its members planned.
    // Files that are not pictures are reported only when named or when
    // their name says picture.
    void AddFile(const std::wstring& path, const std::wstring& rel, const std::string& display, bool named)
    {
        ScopedFile file(FileOpenRead(path.c_str()));
        if (!file.valid()) {
            Fail(run_, display, "cannot read: cannot open the file");
            return;
        }
        uint8_t header[kClassifyHeaderSize] = {};
        bool whole = FileRead(file.get(), header, sizeof header) == int64_t(sizeof header);
        FileKind kind = whole ? ClassifyHeader(path.c_str(), header) : KindNone;
        if (kind == KindNone) {
            if (named || HasPictureExtension(rel))
                Fail(run_, display, whole ? "not a picture" : "not a picture: shorter than 17 bytes");
        } else if (kind == KindZip || kind == KindLzh) {
            PlanArchive(file.release(), path, rel, display, kind);
        } else if (!Claim(run_, rel + run_.ext, false)) {
            Fail(run_, display, "output name taken: another input writes there");
        } else {
            run_.queued++;
            tasks_.push_back(Task{path, display, rel, kind, {}, 0});
        }
    }

    // Reads an archive's directory (taking over its open file) and plans its
    // members in groups.
    void PlanArchive(FileHandle file, const std::wstring& path, const std::wstring& rel, const std::string& display,
                     FileKind kind)
    {
        const bool lzh = kind == KindLzh;
        ArchiveReader reader;
        reader.file = file;
        int r = ReadDirectory(&reader, lzh);
        if (r != 0) {
            Fail(run_, display, "damaged: cannot read the " + KindText(kind) + " directory (code " + std::to_string(r) + ")");
            CloseArchive(&reader);
            return;
        }
        if (!Claim(run_, rel, true)) {
            Fail(run_, display, "output name taken: another input writes there");
            CloseArchive(&reader);
            return;
        }

        Task task{path, display, rel, kind, {}, reader.count};
        for (uint32_t i = 0; i < reader.count; ++i) {
            const ArchiveEntry& entry = reader.entries[i];
            if (IsFolderEntry(entry, lzh))
                continue;
            std::wstring name = MemberName(entry), memberPath;
            std::string memberDisplay = display + "/" + U8(name), why;
            if (!SafeMemberPath(name, &memberPath, &why)) {
                Fail(run_, memberDisplay, "unsafe name: " + why);
                continue;
            }
            if (!Claim(run_, rel + L"/" + memberPath + run_.ext, false)) {
                Fail(run_, memberDisplay, "output name taken: another input writes there");
                continue;
            }
            run_.queued++;
            task.members.push_back(MemberPlan{i, rel + L"/" + memberPath, memberDisplay});
            if (task.members.size() == kMembersPerTask) {
                tasks_.push_back(task);
                task.members.clear();
            }
        }
        if (!task.members.empty())
            tasks_.push_back(task);
        CloseArchive(&reader);
    }

    Run& run_;
    std::vector<Task>& tasks_;
};

// Parses the options; returns false with a message for a usage error.
bool ParseOptions(const Args& args, Options* options, Args* paths, std::string* error, bool* help)
{
    bool optionsEnd = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string a = U8(args[i]);
        if (optionsEnd || a.empty() || a[0] != '-' || a == "-") {
            paths->push_back(args[i]);
            continue;
        }
        std::string value;
        size_t eq = a.find('=');
        std::string name = a.substr(0, eq);
        bool takesValue = name == "--format" || name == "--jobs";
        if (takesValue) {
            if (eq != std::string::npos) {
                value = a.substr(eq + 1);
            } else if (i + 1 < args.size()) {
                value = U8(args[++i]);
            } else {
                *error = name + " needs a value";
                return false;
            }
        } else if (eq != std::string::npos) {
            *error = "unknown option " + a;
            return false;
        }
        if (a == "--") {
            optionsEnd = true;
        } else if (a == "--help" || a == "-h") {
            *help = true;
        } else if (a == "--alpha") {
            options->alpha = true;
        } else if (a == "--force") {
            options->force = true;
        } else if (a == "--quiet" || a == "-q") {
            options->quiet = true;
        } else if (name == "--format") {
            if (value != "png" && value != "bmp") {
                *error = "--format is png or bmp";
                return false;
            }
            options->bmp = value == "bmp";
        } else if (name == "--jobs") {
            char* end = nullptr;
            unsigned long n = std::strtoul(value.c_str(), &end, 10);
            if (value.empty() || *end != 0 || n < 1 || n > 256) {
                *error = "--jobs needs a number from 1 to 256";
                return false;
            }
            options->jobs = unsigned(n);
        } else {
            *error = "unknown option " + a;
            return false;
        }
    }
    if (options->alpha && options->bmp) {
        *error = "--alpha needs PNG output (BMP files are 24-bit)";
        return false;
    }
    return true;
}

// Redraws the progress line; printLock is taken here.
void ShowProgress(Run& run, std::chrono::steady_clock::time_point start)
{
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    uint64_t done = run.done;
    char line[128];
    int length = snprintf(line, sizeof line, "%llu / %llu files, %.1f files/s", (unsigned long long)done,
                          (unsigned long long)(done + run.queued), seconds > 0 ? done / seconds : 0.0);
    std::lock_guard<std::mutex> hold(run.printLock);
    ClearProgress(run);
    fputs(line, stderr);
    fflush(stderr);
    run.progressShown = size_t(length);
}

}  // namespace

int CmdConvert(const Args& args)
{
    Options options;
    Args paths;
    std::string error;
    bool help = false;
    if (!ParseOptions(args, &options, &paths, &error, &help)) {
        PrintError("convert: " + error + " (try convert --help)");
        return 2;
    }
    if (help) {
        PrintLine(kHelp);
        return 0;
    }
    if (paths.size() < 2) {
        PrintError("convert: give SOURCE... OUTDIR (try convert --help)");
        return 2;
    }

    Run run;
    run.options = options;
    const std::wstring outdir = TrimSeparators(paths.back());
    run.outdir = OutputFolderPath(outdir);
    run.ext = options.bmp ? L".bmp" : L".png";
    std::string why;
    if (!MakeFolders(run.outdir) || !StatPath(run.outdir, &run.outdirInfo, &why)) {
        PrintError("convert: " + U8(outdir) + ": cannot create the output folder");
        return 1;
    }
    if (!StartConvertServices()) {
        PrintError("convert: the imaging library cannot be started");
        return 1;
    }
    run.progress = !options.quiet && StderrIsTerminal();
    const auto start = std::chrono::steady_clock::now();

    // Plan every source, then convert with the threads.
    std::vector<Task> tasks;
    Planner planner(run, tasks);
    for (size_t i = 0; i + 1 < paths.size(); ++i)
        planner.AddSource(paths[i]);

    unsigned jobs = options.jobs ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
    jobs = unsigned(std::min<size_t>(jobs, std::max<size_t>(1, tasks.size())));
    std::atomic<size_t> next{0};
    std::mutex finishLock;
    std::condition_variable finished;
    unsigned running = jobs;
    std::vector<std::thread> threads;
    for (unsigned j = 0; j < jobs; ++j) {
        threads.emplace_back([&] {
            Converter converter(run);
            for (size_t i; (i = next++) < tasks.size();)
                converter.RunTask(tasks[i]);
            std::lock_guard<std::mutex> hold(finishLock);
            if (--running == 0)
                finished.notify_all();
        });
    }
    {
        std::unique_lock<std::mutex> hold(finishLock);
        while (!finished.wait_for(hold, std::chrono::milliseconds(200), [&] { return running == 0; })) {
            if (run.progress) {
                hold.unlock();
                ShowProgress(run, start);
                hold.lock();
            }
        }
    }
    for (std::thread& t : threads)
        t.join();
    StopConvertServices();

    {
        std::lock_guard<std::mutex> hold(run.printLock);
        ClearProgress(run);
    }
    uint64_t failed = run.counts[int(Outcome::Failed)];
    if (!options.quiet)
        PrintLine("converted " + std::to_string(run.counts[int(Outcome::Converted)]) + ", skipped " +
                  std::to_string(run.counts[int(Outcome::Skipped)]) + ", failed " + std::to_string(failed));
    return failed ? 1 : 0;
}
