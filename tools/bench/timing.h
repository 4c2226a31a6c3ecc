// Timing helpers shared by the benchmarks.
#pragma once

#include <windows.h>

#include <algorithm>
#include <vector>

// Milliseconds from the performance counter.
inline double Now() {
    LARGE_INTEGER t, f;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&f);
    return double(t.QuadPart) * 1000.0 / double(f.QuadPart);
}

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Milliseconds from the creation of this process to now.
inline double MillisecondsSinceProcessStart() {
    FILETIME created, exited, kernel, user, now;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    GetSystemTimeAsFileTime(&now);
    const ULONGLONG a = (ULONGLONG(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    const ULONGLONG b = (ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return double(b - a) / 10000.0;
}

// Median time of `runs` calls of f.
template <class F>
double Time(int runs, F f) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double t = Now();
        f();
        times.push_back(Now() - t);
    }
    return Median(times);
}
