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
    // The counter stops at the count, so it never wraps.
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
    progress_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!progress_)
        return 0;
    if (helpers > MaxJobThreads - 1)
        helpers = MaxJobThreads - 1;
    for (uint32_t i = 0; i < helpers; ++i) {
        Helper& h = helpers_[helperCount_];
        h = Helper{this, nullptr, CreateEventW(nullptr, FALSE, FALSE, nullptr),
                   CreateEventW(nullptr, FALSE, FALSE, nullptr)};
        if (h.go && h.idle)
            h.thread = CreateThread(nullptr, 0, HelperMain, &h, 0, nullptr);
        if (!h.thread) {
            if (h.go)
                CloseHandle(h.go);
            if (h.idle)
                CloseHandle(h.idle);
            h = Helper{};
            break;
        }
        // Below the user interface, like the workers they help.
        SetThreadPriority(h.thread, THREAD_PRIORITY_BELOW_NORMAL);
        ++helperCount_;
    }
    return helperCount_;
}

bool JobTeam::RunOne()
{
    const uint32_t i = TakeJob(&next_, count_);
    if (i >= count_)
        return false;
    job_(context_, i);
    // The event only for a caller that waits: setting it is a round trip
    // to the server under Wine. Each side writes its flag before it reads
    // the other's, so the caller either sees the job ended or is woken.
    InterlockedExchange(&ended_[i], 1);
    if (InterlockedCompareExchange(&callerWaits_, 0, 0) && progress_)
        SetEvent(progress_);
    return true;
}

DWORD WINAPI JobTeam::HelperMain(void* parameter)
{
    Helper* h = static_cast<Helper*>(parameter);
    for (;;) {
        WaitForSingleObject(h->go, INFINITE);
        if (h->team->stopping_)
            return 0;
        while (h->team->RunOne()) {
        }
        SetEvent(h->idle);
    }
}

void JobTeam::Begin(uint32_t count, JobFunction job, void* context)
{
    job_ = job;
    context_ = context;
    count_ = count < MaxBatchJobs ? count : MaxBatchJobs;
    for (uint32_t i = 0; i < count_; ++i)
        ended_[i] = 0;
    next_ = 0;

    // As many helpers as there are jobs for.
    woken_ = helperCount_ < count_ ? helperCount_ : count_;
    for (uint32_t i = 0; i < woken_; ++i)
        SetEvent(helpers_[i].go);
}

void JobTeam::WaitJob(uint32_t i)
{
    if (i >= count_)
        return;
    while (InterlockedCompareExchange(&ended_[i], 0, 0) == 0) {
        if (RunOne())
            continue;
        InterlockedExchange(&callerWaits_, 1);
        if (InterlockedCompareExchange(&ended_[i], 0, 0) == 0)
            WaitForSingleObject(progress_, INFINITE);
        InterlockedExchange(&callerWaits_, 0);
    }
}

void JobTeam::Finish(bool abandon)
{
    if (abandon)
        InterlockedExchange(&next_, LONG(count_));
    while (RunOne()) {
    }
    for (uint32_t i = 0; i < woken_; ++i)
        WaitForSingleObject(helpers_[i].idle, INFINITE);
    woken_ = 0;
    ResetEvent(progress_);
}

void JobTeam::Run(uint32_t count, JobFunction job, void* context)
{
    Begin(count, job, context);
    Finish();
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
        CloseHandle(h.idle);
        h = Helper{};
    }
    helperCount_ = 0;
    if (progress_)
        CloseHandle(progress_);
    progress_ = nullptr;
}
