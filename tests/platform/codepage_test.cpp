#include "platform/codepage.h"

#include <string>

#include <gtest/gtest.h>

namespace {

std::wstring Convert(const std::string& bytes)
{
    int n = AnsiToWide(bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) {
        EXPECT_EQ(n, AnsiToWide(bytes.data(), static_cast<int>(bytes.size()), &out[0], n));
    }
    return out;
}

// These tests expect the Japanese code page: natively it is always 932, and
// the Wine test runner starts every test in a Japanese locale.
TEST(AnsiToWide, ShiftJisBecomesJapanese)
{
    EXPECT_EQ(std::wstring(L"\x65E5\x672C\x8A9E\x8868"), Convert("\x93\xFA\x96\x7B\x8C\xEA\x95\x5C"));
    // "画像.mag": a trail byte of 0x5C is no backslash.
    EXPECT_EQ(std::wstring(L"\x753B\x50CF.mag"), Convert("\x89\xE6\x91\x9C.mag"));
    // Half-width katakana are single bytes.
    EXPECT_EQ(std::wstring(L"\xFF71\xFF72"), Convert("\xB1\xB2"));
    EXPECT_EQ(std::wstring(L"pics/a b.pi"), Convert("pics/a b.pi"));
}

TEST(AnsiToWide, TerminatedInputCountsTheTerminator)
{
    const char* text = "\x8E\xCA\x90\x5E.jpg";  // 写真.jpg
    int n = AnsiToWide(text, -1, nullptr, 0);
    ASSERT_EQ(7, n);
    wchar_t out[7];
    ASSERT_EQ(7, AnsiToWide(text, -1, out, 7));
    EXPECT_EQ(std::wstring(L"\x5199\x771F.jpg"), std::wstring(out));
}

TEST(AnsiToWide, TooSmallBufferAndEmptyInputFail)
{
    wchar_t out[2];
    EXPECT_EQ(0, AnsiToWide("abc", 3, out, 2));
    EXPECT_EQ(0, AnsiToWide("", 0, out, 2));
    EXPECT_EQ(0, AnsiToWide(nullptr, 3, out, 2));
}

TEST(AnsiToWide, UnmappableBytesAreReplacedNotDropped)
{
    // A lead byte with a trail that cannot follow it, and a lead byte at the end.
    std::wstring bad = Convert("A\x81\x20" "B");
    ASSERT_GE(bad.size(), 3u);
    EXPECT_EQ(L'A', bad.front());
    EXPECT_EQ(L'B', bad.back());
    std::wstring cut = Convert("A\x93");
    ASSERT_EQ(2u, cut.size());
    EXPECT_EQ(L'A', cut[0]);
    EXPECT_NE(L'\0', cut[1]);
}

}  // namespace
