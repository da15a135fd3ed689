// What the benchmarks share: a monotonic clock in seconds, and a series of
// timings with its minimum and median.  (<chrono> cannot be compiled with
// the code page 932 execution character set, as it spells a micro sign, so
// the system's clock is read directly.)
#pragma once

#include <algorithm>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

namespace bench {

inline double Now() {
#ifdef _WIN32
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
#else
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
#endif
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Series {
    const char* name;
    std::vector<double> samples;
    double Min() const { return *std::min_element(samples.begin(), samples.end()); }
    double Median() const { return bench::Median(samples); }
};

}  // namespace bench
