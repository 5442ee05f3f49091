#include "image/classify.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/fixtures.h"

namespace {

// A 17-byte classification header that starts with the given bytes, zeros after.
std::vector<uint8_t> Header(const std::string& start)
{
    std::vector<uint8_t> h(kClassifyHeaderSize, 0);
    memcpy(h.data(), start.data(), start.size() < h.size() ? start.size() : h.size());
    return h;
}

// A TGA header: image type, pixel depth, width and height.
std::vector<uint8_t> TgaHeader(uint8_t type, uint8_t depth, uint16_t width, uint16_t height)
{
    std::vector<uint8_t> h(kClassifyHeaderSize, 0);
    h[2] = type;
    h[12] = static_cast<uint8_t>(width);
    h[13] = static_cast<uint8_t>(width >> 8);
    h[14] = static_cast<uint8_t>(height);
    h[15] = static_cast<uint8_t>(height >> 8);
    h[16] = depth;
    return h;
}

FileKind Classify(const wchar_t* name, const std::vector<uint8_t>& header)
{
    return ClassifyHeader(name, header.data());
}

TEST(ClassifyHeader, SignaturesOfEveryKind)
{
    EXPECT_EQ(KindBmp, Classify(L"a", Header("BM")));
    EXPECT_EQ(KindPng, Classify(L"a", Header("\x89PNG")));
    EXPECT_EQ(KindJpeg, Classify(L"a", Header("\xFF\xD8\xFF\xE0")));
    EXPECT_EQ(KindGif, Classify(L"a", Header("GIF89a")));
    EXPECT_EQ(KindGif, Classify(L"a", Header("GIF87a")));
    EXPECT_EQ(KindTiff, Classify(L"a", Header(std::string("II\x2A\0", 4))));
    EXPECT_EQ(KindTiff, Classify(L"a", Header(std::string("MM\0\x2A", 4))));
    EXPECT_EQ(KindZip, Classify(L"a", Header("PK\x03\x04")));
    EXPECT_EQ(KindLzh, Classify(L"a", Header("\x20\x01-lh5-")));
    EXPECT_EQ(KindMag, Classify(L"a", Header("MAKI02  ")));
    EXPECT_EQ(KindPic, Classify(L"a", Header("PIC")));
    EXPECT_EQ(KindPi, Classify(L"a", Header("Pi")));
    EXPECT_EQ(KindP2, Classify(L"a", Header("P2DT")));
    EXPECT_EQ(KindPsd, Classify(L"a", Header("8BPS")));
    EXPECT_EQ(KindMaki01, Classify(L"a", Header("MAKI01A ")));
    EXPECT_EQ(KindMaki01, Classify(L"a", Header("MAKI01B ")));
    EXPECT_EQ(KindNone, Classify(L"a", Header("")));
}

TEST(ClassifyHeader, NearMissesAreRefused)
{
    EXPECT_EQ(KindNone, Classify(L"a", Header("GIF88a")));
    EXPECT_EQ(KindNone, Classify(L"a", Header("PK\x05\x06")));  // an empty zip: only its end record
    EXPECT_EQ(KindNone, Classify(L"a", Header("PIX")));         // only "PIC" is a PIC file
    EXPECT_EQ(KindNone, Classify(L"a", Header("PI")));
    EXPECT_EQ(KindNone, Classify(L"a", Header("MAKI02 X")));    // MAG needs two blanks
    EXPECT_EQ(KindNone, Classify(L"a", Header("MAKI01C ")));
    EXPECT_EQ(KindNone, Classify(L"a", Header("MAKI01A_")));
    EXPECT_EQ(KindNone, Classify(L"a", Header("\x89PNx")));
    EXPECT_EQ(KindNone, Classify(L"a", Header(std::string("II\x2A\x01", 4))));
    EXPECT_EQ(KindNone, Classify(L"a", Header("xx-lz5-")));
    EXPECT_EQ(KindNone, Classify(L"a", Header("xxx-lh5-")));    // "-lh" one byte late
}

TEST(ClassifyHeader, ComparisonsAreCaseSensitive)
{
    EXPECT_EQ(KindNone, Classify(L"a", Header("bm")));
    EXPECT_EQ(KindNone, Classify(L"a", Header("pi")));
    EXPECT_EQ(KindNone, Classify(L"a", Header("PIc")));
    EXPECT_EQ(KindNone, Classify(L"a", Header("8bps")));
    EXPECT_EQ(KindNone, Classify(L"a", Header("p2")));
    EXPECT_EQ(KindNone, Classify(L"a", Header("gif89a")));
    EXPECT_EQ(KindNone, Classify(L"a", Header("maki02  ")));
    EXPECT_EQ(KindNone, Classify(L"a", Header("xx-LH5-")));
}

TEST(ClassifyHeader, LzhWhateverTheMethodLetter)
{
    for (char letter : std::string("0124567ds")) {
        std::string start = "\x22\x10-lh";
        start += letter;
        start += "-";
        EXPECT_EQ(KindLzh, Classify(L"a", Header(start))) << letter;
    }
    // Only bytes 2 to 4 are looked at: the closing "-" may be anything.
    EXPECT_EQ(KindLzh, Classify(L"a", Header("\x22\x10-lhXY")));
}

TEST(ClassifyHeader, EarlierTestsWin)
{
    EXPECT_EQ(KindBmp, Classify(L"a", Header("BM-lh5-")));
    EXPECT_EQ(KindZip, Classify(L"a.tga", Header("PK\x03\x04")));
    EXPECT_EQ(KindLzh, Classify(L"a", Header("PI-lh5-")));            // LZH before "PIC"/"Pi"
    EXPECT_EQ(KindLzh, Classify(L"a", Header("Pi-lh5-")));
    EXPECT_EQ(KindPi, Classify(L"a", Header("PiC")));
    // A TGA-named file with a known signature is that kind, not TGA.
    std::vector<uint8_t> tga = TgaHeader(2, 24, 640, 400);
    tga[0] = 'B';
    tga[1] = 'M';
    EXPECT_EQ(KindBmp, Classify(L"x.tga", tga));
}

TEST(ClassifyHeader, TgaNeedsItsExtensionInAnyCase)
{
    std::vector<uint8_t> h = TgaHeader(2, 24, 640, 400);
    EXPECT_EQ(KindTga, Classify(L"PICTURE.TGA", h));
    EXPECT_EQ(KindTga, Classify(L"picture.tga", h));
    EXPECT_EQ(KindTga, Classify(L"picture.TgA", h));
    EXPECT_EQ(KindNone, Classify(L"picture.bmp", h));
    EXPECT_EQ(KindNone, Classify(L"picture", h));
    EXPECT_EQ(KindNone, Classify(L"picture.tga.bmp", h));
    EXPECT_EQ(KindNone, Classify(L"picture.tgax", h));
    EXPECT_EQ(KindNone, Classify(L"picture.tg", h));
    EXPECT_EQ(KindNone, Classify(nullptr, h));
    // Archive members: only the last component's extension counts.
    EXPECT_EQ(KindTga, Classify(L"dir\\sub\\picture.tga", h));
    EXPECT_EQ(KindTga, Classify(L"dir.bmp\\picture.tga", h));
    EXPECT_EQ(KindNone, Classify(L"dir.tga\\picture", h));
    EXPECT_EQ(KindTga, Classify(L"dir/picture.tga", h));
}

TEST(ClassifyHeader, TgaHeaderLimits)
{
    const uint8_t acceptedTypes[] = {0, 1, 2, 3, 9, 10, 11};
    for (uint8_t type : acceptedTypes)
        EXPECT_EQ(KindTga, Classify(L"a.tga", TgaHeader(type, 24, 10, 10))) << int(type);
    const uint8_t refusedTypes[] = {4, 5, 6, 7, 8, 12, 16, 32, 0x80, 0x89};
    for (uint8_t type : refusedTypes)
        EXPECT_EQ(KindNone, Classify(L"a.tga", TgaHeader(type, 24, 10, 10))) << int(type);

    for (uint8_t depth : {8, 15, 24, 32})
        EXPECT_EQ(KindTga, Classify(L"a.tga", TgaHeader(2, depth, 10, 10))) << int(depth);
    for (uint8_t depth : {0, 1, 4, 16, 31, 48})
        EXPECT_EQ(KindNone, Classify(L"a.tga", TgaHeader(2, depth, 10, 10))) << int(depth);

    EXPECT_EQ(KindNone, Classify(L"a.tga", TgaHeader(2, 24, 0, 10)));
    EXPECT_EQ(KindNone, Classify(L"a.tga", TgaHeader(2, 24, 10, 0)));
    // Either byte of a dimension makes it non-zero.
    EXPECT_EQ(KindTga, Classify(L"a.tga", TgaHeader(2, 24, 256, 1)));
    EXPECT_EQ(KindTga, Classify(L"a.tga", TgaHeader(2, 24, 1, 256)));
    EXPECT_EQ(KindTga, Classify(L"a.tga", TgaHeader(2, 24, 65535, 65535)));
}

TEST(FindPathExtension, FindsTheLastDotOfTheLastComponent)
{
    struct Case {
        const wchar_t* path;
        const wchar_t* ext;
    };
    const Case cases[] = {
        {L"a.tga", L".tga"},
        {L"b.tar.gz", L".gz"},
        {L"C:\\a.b\\c", L""},
        {L"C:\\a.b\\c.d", L".d"},
        {L".hidden", L".hidden"},
        {L"noext", L""},
        {L"", L""},
        {L"trailing.", L"."},
        {L"a.b c", L""},          // a blank after the dot ends the extension
        {L"a b.c", L".c"},
        {L"dir/x.tga", L".tga"},  // "/" is not a separator for the shell's function
        {L"a.b/c", L".b/c"},
        {L"\xFF0E.tga", L".tga"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(std::wstring(c.ext), std::wstring(FindPathExtension(c.path))) << "case " << (&c - cases);
    const wchar_t* noext = L"abc";
    EXPECT_EQ(noext + 3, FindPathExtension(noext));  // points at the terminator
}

class OpenAndClassifyTest : public ::testing::Test {
protected:
    TempDir dir;
};

TEST_F(OpenAndClassifyTest, SeventeenBytesIsEnough)
{
    std::vector<uint8_t> bytes = Header("BM");
    std::wstring path = dir.Write(L"b.bin", bytes);
    FileKind kind = 99;
    FileHandle f = OpenAndClassify(path.c_str(), &kind);
    ASSERT_NE(kInvalidFile, f);
    EXPECT_EQ(KindBmp, kind);
    FileClose(f);

    bytes.pop_back();
    path = dir.Write(L"c.bin", bytes);
    kind = 99;
    EXPECT_EQ(kInvalidFile, OpenAndClassify(path.c_str(), &kind));
    EXPECT_EQ(99u, kind);  // untouched on failure
    EXPECT_EQ(kInvalidFile, OpenAndClassify(dir.Write(L"empty", {}).c_str(), &kind));
}

TEST_F(OpenAndClassifyTest, LeavesTheFileJustAfterTheHeader)
{
    std::vector<uint8_t> bytes = Header("MAKI02  ");
    for (int i = 0; i < 8; ++i)
        bytes.push_back(static_cast<uint8_t>(0xA0 + i));
    std::wstring path = dir.Write(L"m.mag", bytes);
    FileHandle f = OpenAndClassify(path.c_str(), nullptr);  // no kind pointer
    ASSERT_NE(kInvalidFile, f);
    uint8_t next[4];
    EXPECT_EQ(4, FileRead(f, next, 4));
    EXPECT_EQ(0xA0, next[0]);
    EXPECT_EQ(0xA3, next[3]);
    FileClose(f);
}

TEST_F(OpenAndClassifyTest, RefusesMissingFilesFoldersAndUnknownKinds)
{
    FileKind kind = 99;
    EXPECT_EQ(kInvalidFile, OpenAndClassify(dir.Path(L"missing.bmp").c_str(), &kind));
    EXPECT_EQ(kInvalidFile, OpenAndClassify(dir.Path(L"").c_str(), &kind));
    std::wstring unknown = dir.Write(L"u.txt", std::vector<uint8_t>(100, 'x'));
    EXPECT_EQ(kInvalidFile, OpenAndClassify(unknown.c_str(), &kind));
    EXPECT_EQ(99u, kind);
}

TEST_F(OpenAndClassifyTest, TgaIsJudgedByThePathsExtension)
{
    std::vector<uint8_t> h = TgaHeader(10, 32, 64, 64);
    h.resize(200, 0);
    FileKind kind = 99;
    ScopedFile f(OpenAndClassify(dir.Write(L"T.TGA", h).c_str(), &kind));
    EXPECT_TRUE(f.valid());
    EXPECT_EQ(KindTga, kind);
    EXPECT_EQ(kInvalidFile, OpenAndClassify(dir.Write(L"T.dat", h).c_str(), &kind));
}

TEST_F(OpenAndClassifyTest, NamesWithJapaneseCharacters)
{
    std::wstring path = dir.Write(L"\x65E5\x672C\x8A9E.mag", Header("MAKI02  "));
    FileKind kind = 99;
    ScopedFile f(OpenAndClassify(path.c_str(), &kind));
    EXPECT_TRUE(f.valid());
    EXPECT_EQ(KindMag, kind);
}

// The kind each fixture's format must get.
FileKind ExpectedKind(const ManifestRow& row)
{
    if (row.compare == "refused" && row.format == "TGA")
        return KindNone;  // a 16-bit TGA: classification refuses it
    if (row.format.rfind("MAG", 0) == 0)
        return KindMag;
    if (row.format == "MAKI01")
        return KindMaki01;
    if (row.format == "Pi")
        return KindPi;
    if (row.format.rfind("PIC2", 0) == 0)
        return KindP2;
    if (row.format.rfind("PIC", 0) == 0)
        return KindPic;
    if (row.format == "TGA")
        return KindTga;
    if (row.format == "PSD")
        return KindPsd;
    if (row.format == "ZIP")
        return KindZip;
    if (row.format == "LZH")
        return KindLzh;
    return 12;  // a format this test does not know
}

TEST(ClassifyFixtures, EveryFixtureGetsItsKind)
{
    REQUIRE_FIXTURES();
    int checked = 0;
    for (const ManifestRow& row : ReadManifest()) {
        std::vector<uint8_t> bytes;
        if (!ReadFixture(row.path, &bytes))
            continue;  // listed but not shipped
        FileKind want = ExpectedKind(row);
        ASSERT_NE(12u, want) << row.path << ": unknown format " << row.format;
        FileKind kind = KindNone;
        ScopedFile f(OpenAndClassify(FixturePath(row.path).c_str(), &kind));
        if (want == KindNone) {
            EXPECT_FALSE(f.valid()) << row.path;
        } else {
            EXPECT_TRUE(f.valid()) << row.path;
            EXPECT_EQ(want, kind) << row.path;
        }
        ++checked;
    }
    EXPECT_GE(checked, 30);
}

TEST(FileKindName, NamesEveryCode)
{
    EXPECT_STREQ("KindBmp", FileKindName(KindBmp));
    EXPECT_STREQ("KindMaki01", FileKindName(KindMaki01));
    EXPECT_STREQ("KindNone", FileKindName(12));
    EXPECT_STREQ("KindZip", FileKindName(KindZip));
    EXPECT_STREQ("KindLzh", FileKindName(KindLzh));
    EXPECT_STREQ("KindNone", FileKindName(KindNone));
    EXPECT_STREQ("KindNone", FileKindName(1000));
}

}  // namespace
