#include "platform/utf8.h"

#include <string>

#include <gtest/gtest.h>

namespace {

// Well-formed text round-trips, a character beyond the BMP included; every
// form that is not the shortest, a surrogate, a code point past U+10FFFF, a
// stray continuation byte and a cut sequence give U+FFFD for their first
// byte, so that no such form can stand for '/' or '.'.
TEST(Utf8, StrictDecodingReplacesEveryMalformedByte)
{
    const std::string text = "a\xc3\xa9\xe7\xb5\xb5\xf0\x9f\x98\x80";  // a é 絵 😀
    const std::wstring wide = Utf8ToWide(text);
    EXPECT_EQ(text, WideToUtf8(wide));
    EXPECT_EQ(sizeof(wchar_t) == 2 ? 5u : 4u, wide.size());
    EXPECT_EQ(wide.size(), Utf8ToWideUnits(text.data(), text.size(), nullptr, 0));

    const std::wstring r(1, L'\xFFFD');
    EXPECT_EQ(L"a" + r + r + L"b", Utf8ToWide("a\xc0\xaf" "b"));              // overlong '/'
    EXPECT_EQ(r + r + r, Utf8ToWide("\xe0\x80\xae"));                         // overlong '.'
    EXPECT_EQ(r + r + r, Utf8ToWide("\xed\xa0\x80"));                         // a surrogate
    EXPECT_EQ(r + r + r + r, Utf8ToWide("\xf4\x90\x80\x80"));                 // past U+10FFFF
    EXPECT_EQ(L"x" + r + L"y", Utf8ToWide("x\x80y"));                          // stray continuation
    EXPECT_EQ(L"x" + r + r, Utf8ToWide("x\xe7\xb5"));                          // cut at the end
    EXPECT_EQ(r + L"A", Utf8ToWide("\xe7" "A"));                               // cut by another character

    // Only capacity units are written; the count is the whole text's.
    wchar_t two[2] = {L'-', L'-'};
    EXPECT_EQ(3u, Utf8ToWideUnits("abc", 3, two, 1));
    EXPECT_EQ(L'a', two[0]);
    EXPECT_EQ(L'-', two[1]);
}

}  // namespace
