#include "dialogs/crash_report.h"

namespace {

const wchar_t CrashFormat[] =
    L"例外アドレス=%016I64X コード=%08X\n"
    L"RAX=%016I64X RBX=%016I64X RCX=%016I64X RDX=%016I64X\n"
    L"RSI=%016I64X RDI=%016I64X RBP=%016I64X R08=%016I64X\n"
    L"R09=%016I64X R10=%016I64X R11=%016I64X R12=%016I64X\n"
    L"R13=%016I64X R14=%016I64X";

}  // namespace

int FormatCrashReport(const EXCEPTION_POINTERS* pointers, wchar_t* text)
{
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    const CONTEXT* c = pointers->ContextRecord;
    ULONGLONG address = reinterpret_cast<ULONGLONG>(record->ExceptionAddress);
    return wsprintfW(text, CrashFormat, address, static_cast<unsigned>(record->ExceptionCode),
                     c->Rax, c->Rbx, c->Rcx, c->Rdx, c->Rsi, c->Rdi, c->Rbp,
                     c->R8, c->R9, c->R10, c->R11, c->R12, c->R13, c->R14);
}

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* pointers)
{
    wchar_t text[CrashReportBufferSize];
    FormatCrashReport(pointers, text);
    MessageBoxW(nullptr, text, L"Zize Error", MB_TASKMODAL | MB_ICONWARNING);
    return EXCEPTION_EXECUTE_HANDLER;
}
