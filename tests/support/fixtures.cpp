#include "support/fixtures.h"

#include "platform/utf8.h"

#include <atomic>
#include <chrono>
#include <thread>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// Paths from wide text: natively the file names are UTF-8.
fs::path ToPath(const std::wstring& text)
{
#ifdef _WIN32
    return fs::path(text);
#else
    return fs::path(WideToUtf8(text));
#endif
}

std::wstring FromPath(const fs::path& path)
{
#ifdef _WIN32
    return path.wstring();
#else
    return Utf8ToWide(path.string());
#endif
}

// The fixtures folder as configured; under Wine the Unix root is drive Z:.
fs::path FixtureRoot()
{
    std::string dir = ZIZE_FIXTURES_DIR;
#ifdef _WIN32
    if (!dir.empty() && dir[0] == '/')
        dir = "Z:" + dir;
#endif
    return fs::u8path(dir);
}

}  // namespace

std::wstring FixturePath(const std::string& relative)
{
    return FromPath((FixtureRoot() / fs::u8path(relative)).make_preferred());
}

std::string FixturePathUtf8(const std::string& relative)
{
    return (FixtureRoot() / fs::u8path(relative)).make_preferred().u8string();
}

bool FixturesAvailable()
{
    std::error_code ec;
    return fs::is_regular_file(FixtureRoot() / "MANIFEST.tsv", ec);
}

bool RunningUnderCi()
{
    const char* ci = std::getenv("CI");
    return ci && *ci && std::string(ci) != "false" && std::string(ci) != "0";
}

bool ReadFixture(const std::string& relative, std::vector<uint8_t>* bytes)
{
    std::ifstream in(FixtureRoot() / fs::u8path(relative), std::ios::binary);
    if (!in)
        return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool ReadBgrFixture(const std::string& relative, BgrImage* image)
{
    std::vector<uint8_t> bytes;
    if (!ReadFixture(relative, &bytes) || bytes.size() < 8)
        return false;
    auto le32 = [&](size_t at) {
        return uint32_t(bytes[at]) | (uint32_t(bytes[at + 1]) << 8) | (uint32_t(bytes[at + 2]) << 16) |
               (uint32_t(bytes[at + 3]) << 24);
    };
    image->width = le32(0);
    image->height = le32(4);
    uint64_t want = uint64_t(image->width) * image->height * 3;
    if (bytes.size() - 8 != want)
        return false;
    image->pixels.assign(bytes.begin() + 8, bytes.end());
    return true;
}

std::vector<uint8_t> EncodeBgr(uint32_t width, uint32_t height, const std::vector<uint8_t>& pixels)
{
    std::vector<uint8_t> out;
    for (uint32_t v : {width, height})
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

std::vector<ManifestRow> ReadManifest()
{
    std::vector<ManifestRow> rows;
    std::ifstream in(FixtureRoot() / "MANIFEST.tsv");
    std::string line;
    bool header = true;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (header) {
            header = false;
            continue;
        }
        if (line.empty())
            continue;
        std::vector<std::string> cols;
        std::stringstream ss(line);
        std::string col;
        while (std::getline(ss, col, '\t'))
            cols.push_back(col);
        cols.resize(9);
        rows.push_back({cols[0], cols[1], cols[2], cols[3], cols[4], cols[5], cols[6], cols[7], cols[8]});
    }
    return rows;
}

TempDir::TempDir()
{
    static std::atomic<int> counter{0};
    fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::ostringstream name;
        name << "zize-test-" << std::rand() << "-" << counter++;
        fs::path candidate = base / name.str();
        std::error_code ec;
        if (fs::create_directory(candidate, ec)) {
            dir_ = FromPath(candidate);
            return;
        }
    }
    ADD_FAILURE() << "cannot create a temporary folder";
}

TempDir::~TempDir()
{
    // A process that the test started may still be closing its files: a
    // few more tries, so that no test folder is left behind.
    if (dir_.empty())
        return;
    for (int attempt = 0; attempt < 20; ++attempt) {
        std::error_code ec;
        fs::remove_all(ToPath(dir_), ec);
        if (!fs::exists(ToPath(dir_), ec))
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

std::wstring TempDir::Path(const std::wstring& name) const
{
    return FromPath(ToPath(dir_) / ToPath(name));
}

std::wstring TempDir::Write(const std::wstring& name, const std::vector<uint8_t>& bytes) const
{
    std::wstring path = Path(name);
#ifdef _WIN32
    FILE* out = _wfopen(path.c_str(), L"wb");
#else
    FILE* out = fopen(WideToUtf8(path).c_str(), "wb");
#endif
    if (!out) {
        ADD_FAILURE() << "cannot write " << WideToUtf8(path);
        return path;
    }
    if (!bytes.empty() && fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size())
        ADD_FAILURE() << "cannot write " << WideToUtf8(path);
    fclose(out);
    return path;
}
