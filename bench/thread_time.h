// Timing a decoder against its peer within one benchmark: processor time of
// this thread, since the machine may be shared.
#pragma once

#include <ctime>

// This thread's processor time in seconds.
inline double ThreadSeconds()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Processor seconds per call of f, over at least 0.2 s.
template <typename F>
double SecondsPerRun(F f)
{
    double start = ThreadSeconds();
    int runs = 0;
    double elapsed;
    do {
        f();
        ++runs;
        elapsed = ThreadSeconds() - start;
    } while (elapsed < 0.2);
    return elapsed / runs;
}
