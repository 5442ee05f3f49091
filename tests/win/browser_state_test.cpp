// BrowserState's initial values, PendingPath and the colour bytes.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "ui/browser_state.h"

namespace {

TEST(BrowserState, ResetGivesTheInitialValues)
{
    Browser.flags = 0x7F;
    Browser.changeCount = 5;
    Browser.mainWindow = reinterpret_cast<HWND>(1);
    ResetBrowserState();
    EXPECT_EQ(nullptr, Browser.mainWindow);
    EXPECT_EQ(0u, Browser.flags);
    EXPECT_EQ(0u, Browser.changeCount);
    for (int32_t index : Browser.imageIndex)
        EXPECT_EQ(-1, index);
    EXPECT_EQ(0xFFFFFFFFu, Browser.changeRegistration[0]);
    EXPECT_EQ(0xFFFFFFFFu, Browser.changeRegistration[1]);
    EXPECT_EQ(0, Browser.colour[ColourSpare]);
    EXPECT_EQ(255, Browser.colour[ColourBlue]);
    EXPECT_EQ(255, Browser.colour[ColourGreen]);
    EXPECT_EQ(255, Browser.colour[ColourRed]);
    EXPECT_EQ(0, Browser.firstVisibleIndex);
    EXPECT_EQ(nullptr, Browser.itemStates);
}

TEST(PendingPath, TakesUpTo263CharactersAndRefusesLongerOnes)
{
    std::wstring longest(263, L'a');
    EXPECT_TRUE(SetPendingPath(longest.c_str(), longest.size() + 1));
    EXPECT_EQ(longest, std::wstring(PendingPath));

    std::wstring tooLong(264, L'b');
    EXPECT_FALSE(SetPendingPath(tooLong.c_str(), tooLong.size() + 1));
    EXPECT_EQ(L'\0', PendingPath[0]);
}

TEST(PendingPath, ReadsNoFurtherThanTheUnitsGiven)
{
    // Four units without a terminator: refused, nothing beyond is read.
    const wchar_t text[] = {L'C', L':', L'\\', L'x', L'y', L'\0'};
    EXPECT_FALSE(SetPendingPath(text, 4));
    EXPECT_EQ(L'\0', PendingPath[0]);
    EXPECT_TRUE(SetPendingPath(text, 6));
    EXPECT_EQ(std::wstring(L"C:\\xy"), std::wstring(PendingPath));
    EXPECT_FALSE(SetPendingPath(nullptr, 10));
    EXPECT_TRUE(SetPendingPath(L"", 1));
    EXPECT_EQ(L'\0', PendingPath[0]);
}

}  // namespace
