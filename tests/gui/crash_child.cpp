// A program that installs the crash report and then faults on a worker
// thread, for the crash report's process test.
#include <windows.h>

#include "dialogs/crash_report.h"

namespace {

DWORD WINAPI Fault(void*)
{
    volatile int* nowhere = nullptr;
    *nowhere = 1;
    return 0;
}

}  // namespace

int main()
{
    SetUnhandledExceptionFilter(CrashFilter);
    HANDLE worker = CreateThread(nullptr, 0, Fault, nullptr, 0, nullptr);
    if (!worker)
        return 1;
    WaitForSingleObject(worker, INFINITE);
    return 0;
}
