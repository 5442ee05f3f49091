// A small team of threads that makes a handful of thumbnails at once: the
// helpers take the jobs of one batch in order, one at a time, until none
// is left, and the calling thread can hand each result on as soon as its
// job has ended (taking jobs itself while it waits). A thread holds one job
// at a time, so no more pictures are being decoded at once than the team
// has threads. The jobs must be safe to run together (the own decoders and
// the scaler are; GDI+ loads serialise themselves on the shared lock).
#pragma once

#include <windows.h>

#include <cstdint>

// Threads that make thumbnails, the caller included: one a processor, at
// most MaxJobThreads.
constexpr uint32_t MaxJobThreads = 4;
uint32_t JobThreadCount();

// The jobs in one batch for a team of threads: four a thread, at most
// eight, so that the round trip that asks for a batch, and the wait for
// the batch's last job while the other threads have none left, are shared
// by several thumbnails; each thread still holds one picture at a time.
constexpr uint32_t JobBatchSize(uint32_t threads)
{
    return threads == 0 ? 4 : (4 * threads < 8 ? 4 * threads : 8);
}
constexpr uint32_t MaxBatchJobs = JobBatchSize(MaxJobThreads);

using JobFunction = void (*)(void* context, uint32_t job);

// The first job not yet taken of a batch of count jobs whose next counter
// is next: the counter's old value, or count when all are taken. Safe from
// several threads at once.
uint32_t TakeJob(volatile LONG* next, uint32_t count);

class JobTeam {
public:
    JobTeam() = default;
    ~JobTeam() { Stop(); }
    JobTeam(const JobTeam&) = delete;
    JobTeam& operator=(const JobTeam&) = delete;

    // Starts helpers threads (at most MaxJobThreads - 1), below normal
    // priority. Returns how many started: the team works with fewer, or
    // with the caller alone.
    uint32_t Start(uint32_t helpers);

    // Begins a batch: job(context, i) for every i below count (at most
    // MaxBatchJobs); the helpers start on it at once.
    void Begin(uint32_t count, JobFunction job, void* context);

    // Returns when job i of the batch has ended; the caller takes jobs
    // itself while it waits.
    void WaitJob(uint32_t i);

    // Returns when every job of the batch has ended (with abandon, every
    // job that was taken: the others never run) and every helper is idle
    // again: the batch's records may then be reused.
    void Finish(bool abandon = false);

    // Begin, every job, Finish.
    void Run(uint32_t count, JobFunction job, void* context);

    // Ends the helpers (each after its current job) and waits for them.
    void Stop();

private:
    struct Helper {
        JobTeam* team;
        HANDLE thread;
        HANDLE go;    // auto-reset: a batch, or the end
        HANDLE idle;  // auto-reset: the helper found no job left
    };
    static DWORD WINAPI HelperMain(void* parameter);
    bool RunOne();  // takes and runs one job; false when none is left

    Helper helpers_[MaxJobThreads - 1] = {};
    uint32_t helperCount_ = 0;
    HANDLE progress_ = nullptr;  // auto-reset: a job has ended
    uint32_t woken_ = 0;         // helpers working on the batch
    volatile LONG next_ = 0;
    volatile LONG callerWaits_ = 0;  // the caller waits on progress_
    volatile LONG ended_[MaxBatchJobs] = {};
    uint32_t count_ = 0;
    JobFunction job_ = nullptr;
    void* context_ = nullptr;
    volatile LONG stopping_ = 0;
};
