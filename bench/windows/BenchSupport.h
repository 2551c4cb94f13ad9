// What the Windows benchmarks share: a clock, medians, runs of two sides interleaved so drift
// hits both alike, the key=value lines scripts/bench.sh reads, and COM on the bench thread.
#pragma once

#include "server/ComPtr.h"
#include "server/Platform.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace tobrunel::bench {

using Clock = std::chrono::steady_clock;

template <typename Action> double secondsOf(Action&& action) {
    const auto start = Clock::now();
    action();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// threadCpuSeconds is the processor time, user and kernel, that this thread has used. Wine
// counts it in the kernel's clock ticks (10 ms), so only sums over many runs mean anything; it
// shows the client's own work, which the machine's load does not stretch as it does wall time.
inline double threadCpuSeconds() {
    FILETIME created{};
    FILETIME exited{};
    FILETIME kernel{};
    FILETIME user{};
    if (GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user) == 0) {
        return 0;
    }
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) * 100e-9;
}

inline double median(std::vector<double> samples) {
    if (samples.empty()) {
        return 0;
    }
    std::sort(samples.begin(), samples.end());
    const auto middle = samples.size() / 2;
    return samples.size() % 2 == 1 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2;
}

// Interleaved holds the times of two sides measured turn about: wall time of each run, and the
// processor time of all runs of a side together.
struct Interleaved {
    std::vector<double> first;
    std::vector<double> second;
    double firstCpu = 0;
    double secondCpu = 0;

    // pairedRatio is the median of first/second over the pairs that ran next to each other,
    // which drift of the machine's load disturbs less than the ratio of the two medians.
    double pairedRatio() const {
        std::vector<double> ratios;
        for (std::size_t i = 0; i < first.size() && i < second.size(); ++i) {
            ratios.push_back(first[i] / second[i]);
        }
        return median(ratios);
    }
};

// interleave runs each side once unmeasured, then `runs` pairs, alternating which side goes
// first, so neither always follows the other.
template <typename First, typename Second>
Interleaved interleave(int runs, First&& first, Second&& second) {
    first();
    second();
    Interleaved result;
    const auto timeFirst = [&] {
        const double cpu = threadCpuSeconds();
        result.first.push_back(secondsOf(first));
        result.firstCpu += threadCpuSeconds() - cpu;
    };
    const auto timeSecond = [&] {
        const double cpu = threadCpuSeconds();
        result.second.push_back(secondsOf(second));
        result.secondCpu += threadCpuSeconds() - cpu;
    };
    for (int run = 0; run < runs; ++run) {
        if (run % 2 == 0) {
            timeFirst();
            timeSecond();
        } else {
            timeSecond();
            timeFirst();
        }
    }
    return result;
}

// printFigure writes one `key=value` line; the bench script builds its table from these.
inline void printFigure(const std::string& key, double value) {
    std::printf("%s=%.6g\n", key.c_str(), value);
    std::fflush(stdout);
}

// ComApartment makes the bench thread a single-threaded apartment, as a script host's is.
class ComApartment {
public:
    ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (SUCCEEDED(result_)) {
            CoUninitialize();
        }
    }
    HRESULT result() const noexcept { return result_; }

private:
    HRESULT result_;
};

// createByProgId creates a registered class as a compiled client does: the programmatic
// identifier through the registry, then the in-process server. Empty when either step fails.
template <typename Interface> server::ComPtr<Interface> createByProgId(const wchar_t* progId) {
    server::ComPtr<Interface> object;
    CLSID clsid{};
    if (SUCCEEDED(CLSIDFromProgID(progId, &clsid))) {
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, Interface::iid,
                         reinterpret_cast<void**>(object.put()));
    }
    return object;
}

} // namespace tobrunel::bench
