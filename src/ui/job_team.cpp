#include "ui/job_team.h"

uint32_t JobThreadCount()
{
    SYSTEM_INFO info = {};
    GetSystemInfo(&info);
    const uint32_t processors = info.dwNumberOfProcessors ? uint32_t(info.dwNumberOfProcessors) : 1;
    return processors < MaxJobThreads ? processors : MaxJobThreads;
}

uint32_t TakeJob(volatile LONG* next, uint32_t count)
{
    // The counter stops one past the end, so it never wraps.
    for (;;) {
        const LONG taken = *next;
        if (uint32_t(taken) >= count)
            return count;
        if (InterlockedCompareExchange(next, taken + 1, taken) == taken)
            return uint32_t(taken);
    }
}

uint32_t JobTeam::Start(uint32_t helpers)
{
    Stop();
    stopping_ = 0;
    if (helpers > MaxJobThreads - 1)
        helpers = MaxJobThreads - 1;
    for (uint32_t i = 0; i < helpers; ++i) {
        Helper& h = helpers_[helperCount_];
        h = Helper{this, nullptr, CreateEventW(nullptr, FALSE, FALSE, nullptr),
                   CreateEventW(nullptr, FALSE, FALSE, nullptr)};
        if (h.go && h.done)
            h.thread = CreateThread(nullptr, 0, HelperMain, &h, 0, nullptr);
        // Below the user interface, like the workers they help.
        if (h.thread)
            SetThreadPriority(h.thread, THREAD_PRIORITY_BELOW_NORMAL);
        if (!h.thread) {
            if (h.go)
                CloseHandle(h.go);
            if (h.done)
                CloseHandle(h.done);
            h = Helper{};
            break;
        }
        ++helperCount_;
    }
    return helperCount_;
}

void JobTeam::Work()
{
    for (uint32_t i; (i = TakeJob(&next_, count_)) < count_;)
        job_(context_, i);
}

DWORD WINAPI JobTeam::HelperMain(void* parameter)
{
    Helper* h = static_cast<Helper*>(parameter);
    for (;;) {
        WaitForSingleObject(h->go, INFINITE);
        if (h->team->stopping_)
            return 0;
        h->team->Work();
        SetEvent(h->done);
    }
}

void JobTeam::Run(uint32_t count, JobFunction job, void* context)
{
    job_ = job;
    context_ = context;
    count_ = count;
    next_ = 0;

    // Helpers are woken only when there is more than one job.
    const uint32_t woken = count > 1 ? (helperCount_ < count - 1 ? helperCount_ : count - 1) : 0;
    for (uint32_t i = 0; i < woken; ++i)
        SetEvent(helpers_[i].go);
    Work();
    for (uint32_t i = 0; i < woken; ++i)
        WaitForSingleObject(helpers_[i].done, INFINITE);
}

void JobTeam::Stop()
{
    InterlockedExchange(&stopping_, 1);
    for (uint32_t i = 0; i < helperCount_; ++i) {
        Helper& h = helpers_[i];
        SetEvent(h.go);
        WaitForSingleObject(h.thread, INFINITE);
        CloseHandle(h.thread);
        CloseHandle(h.go);
        CloseHandle(h.done);
        h = Helper{};
    }
    helperCount_ = 0;
}
