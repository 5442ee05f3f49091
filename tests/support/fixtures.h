// Access to the independent test files in shared/fixtures and to scratch
// folders for tests that write files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// The fixtures folder, as a path the build's file functions accept.
std::wstring FixturePath(const std::string& relative);
// The same path as UTF-8, for messages.
std::string FixturePathUtf8(const std::string& relative);
bool FixturesAvailable();
// True when the CI variable is set: missing fixtures then fail the test.
bool RunningUnderCi();

// Reads a whole fixture file; false when it cannot be read.
bool ReadFixture(const std::string& relative, std::vector<uint8_t>* bytes);

// A picture in the fixtures' ".bgr" form: width and height as 32-bit
// little-endian numbers, then the rows from the top, width x (blue, green,
// red) bytes each, no padding.
struct BgrImage {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> pixels;
};
bool ReadBgrFixture(const std::string& relative, BgrImage* image);
std::vector<uint8_t> EncodeBgr(uint32_t width, uint32_t height, const std::vector<uint8_t>& pixels);

// One line of MANIFEST.tsv, by its column names.
struct ManifestRow {
    std::string path, format, variant, width, height, expected, compare, undefinedPixels, notes;
};
std::vector<ManifestRow> ReadManifest();

// Skips the test when the fixtures are missing, fails it under CI.
#define REQUIRE_FIXTURES()                                                               \
    do {                                                                                 \
        if (!FixturesAvailable()) {                                                      \
            if (RunningUnderCi())                                                        \
                FAIL() << "fixtures missing at " << FixturePathUtf8("");                 \
            GTEST_SKIP() << "fixtures missing at " << FixturePathUtf8("")                \
                         << " (shared/fixtures beside the checkout)";                    \
        }                                                                                \
    } while (0)

// A fresh, empty folder removed with everything in it at the end of its scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The full path of a file in the folder.
    std::wstring Path(const std::wstring& name) const;
    // Writes a file in the folder and returns its full path.
    std::wstring Write(const std::wstring& name, const std::vector<uint8_t>& bytes) const;

private:
    std::wstring dir_;
};
