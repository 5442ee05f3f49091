// The crash report's text, formatted from a synthesized exception.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "dialogs/crash_report.h"

namespace {

TEST(CrashReport, AccessViolationShowsAddressCodeAndFourteenRegisters)
{
    EXCEPTION_RECORD record = {};
    record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    record.ExceptionAddress = reinterpret_cast<void*>(0x00007FF6A1B2C3D4ull);
    CONTEXT context = {};
    context.Rax = 0x1;
    context.Rbx = 0xFFFFFFFFFFFFFFFFull;
    context.Rcx = 0x0123456789ABCDEFull;
    context.Rdx = 0x4;
    context.Rsi = 0x5;
    context.Rdi = 0x6;
    context.Rbp = 0x7;
    context.R8 = 0x8;
    context.R9 = 0x9;
    context.R10 = 0xA;
    context.R11 = 0xB;
    context.R12 = 0xC;
    context.R13 = 0xD;
    context.R14 = 0xE;
    // Not shown.
    context.R15 = 0xF15;
    context.Rsp = 0x5E5;
    context.Rip = 0x1E1;
    EXCEPTION_POINTERS pointers = {&record, &context};

    wchar_t text[CrashReportBufferSize];
    int length = FormatCrashReport(&pointers, text);
    const std::wstring expected =
        L"例外アドレス=00007FF6A1B2C3D4 コード=C0000005\n"
        L"RAX=0000000000000001 RBX=FFFFFFFFFFFFFFFF RCX=0123456789ABCDEF RDX=0000000000000004\n"
        L"RSI=0000000000000005 RDI=0000000000000006 RBP=0000000000000007 R08=0000000000000008\n"
        L"R09=0000000000000009 R10=000000000000000A R11=000000000000000B R12=000000000000000C\n"
        L"R13=000000000000000D R14=000000000000000E";
    EXPECT_EQ(expected, std::wstring(text));
    EXPECT_EQ(CrashReportLength, length);
    EXPECT_EQ(static_cast<size_t>(CrashReportLength), expected.size());
}

}  // namespace
