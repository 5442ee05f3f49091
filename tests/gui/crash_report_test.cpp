// The crash report in a real process: a fault on a worker thread shows the
// box, and closing it ends the process without any other dialog.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "support/windows_harness.h"

namespace {

TEST(CrashReportProcess, FaultOnAWorkerThreadShowsTheBoxAndEndsTheProcess)
{
    ChildProcess child;
    ASSERT_TRUE(child.Start(WindowsPath(ZIZE_CRASH_CHILD), L""));

    MessageBoxSeen seen = CloseMessageBox(child.Id(), 30000);
    ASSERT_TRUE(seen.found) << "no crash box appeared";
    EXPECT_EQ(L"Zize Error", seen.caption);
    EXPECT_EQ(0u, seen.text.find(L"例外アドレス="));
    EXPECT_NE(std::wstring::npos, seen.text.find(L"コード=C0000005"));
    EXPECT_NE(std::wstring::npos, seen.text.find(L"R14="));

    // The filter's answer ends the process with the exception's code.
    EXPECT_EQ(static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION), child.WaitForExit(15000));
}

}  // namespace
