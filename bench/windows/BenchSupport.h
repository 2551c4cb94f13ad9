// What the Windows benchmarks share: a clock, contenders run turn about so drift hits all alike,
// timed cscript runs, and COM on the bench thread.
#pragma once

#include "bench/BenchTable.h"
#include "client/ComApartment.h"
#include "server/Platform.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
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

// Contender is one side of a turn-about measurement: `run` is timed; `prepare`, when set, runs
// untimed just before, and what it returns is kept until `run` has returned (a handle held
// through the run, say).
struct Contender {
    explicit Contender(std::function<void()> timed,
                       std::function<std::shared_ptr<void>()> untimed = nullptr)
        : run(std::move(timed)), prepare(std::move(untimed)) {}

    std::function<void()> run;
    std::function<std::shared_ptr<void>()> prepare;
    std::vector<double> seconds;
    // The processor time of all runs together: Wine counts it in 10 ms ticks.
    double cpuSeconds = 0;

    double medianSeconds() const { return median(seconds); }
    // The fastest run is the one the machine's load disturbed least.
    double minimumSeconds() const {
        return seconds.empty() ? 0 : *std::min_element(seconds.begin(), seconds.end());
    }
    double cpuSecondsPerRun() const {
        return seconds.empty() ? 0 : cpuSeconds / static_cast<double>(seconds.size());
    }
};

// turnAbout runs every contender once unmeasured, then `rounds` rounds. The contenders form
// consecutive groups of `groupSize` (the two sides of one comparison, say); a round runs the
// groups one after another, each group's contenders in order in even rounds and in reverse in
// odd ones. So within a group each side goes first equally often, and each is preceded equally
// often by the other side and by a run of another group: a run can leave the platform in a
// state the next one feels (a connection just closed), and no side may get that alone.
inline void turnAbout(std::vector<Contender>& contenders, int rounds, std::size_t groupSize) {
    const auto runOnce = [](Contender& contender, bool measured) {
        const auto kept = contender.prepare ? contender.prepare() : nullptr;
        const double cpu = threadCpuSeconds();
        const double seconds = secondsOf(contender.run);
        if (measured) {
            contender.cpuSeconds += threadCpuSeconds() - cpu;
            contender.seconds.push_back(seconds);
        }
    };
    for (auto& contender : contenders) {
        runOnce(contender, false);
    }
    groupSize = std::max<std::size_t>(groupSize, 1);
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t group = 0; group < contenders.size(); group += groupSize) {
            const std::size_t size = std::min(groupSize, contenders.size() - group);
            for (std::size_t i = 0; i < size; ++i) {
                const std::size_t member = round % 2 == 0 ? i : size - 1 - i;
                runOnce(contenders[group + member], true);
            }
        }
    }
}

// pairedRatio is the median over rounds of a's time over b's, which a drift of the machine's
// load disturbs less than the ratio of the two medians.
inline double pairedRatio(const Contender& a, const Contender& b) {
    std::vector<double> ratios;
    for (std::size_t i = 0; i < a.seconds.size() && i < b.seconds.size(); ++i) {
        ratios.push_back(a.seconds[i] / b.seconds[i]);
    }
    return median(ratios);
}

using client::ComApartment;

// createByProgId creates a registered class as a compiled client does: the programmatic
// identifier through the registry, then the in-process server. Empty when either step fails.
template <typename Interface> server::ComPtr<Interface> createByProgId(const wchar_t* progId) {
    server::ComPtr<Interface> object;
    CLSID clsid{};
    if (SUCCEEDED(CLSIDFromProgID(progId, &clsid))) {
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER,
                         IID_PPV_ARGS(object.ReleaseAndGetAddressOf()));
    }
    return object;
}

struct HandleCloser {
    void operator()(HANDLE handle) const noexcept { ::CloseHandle(handle); }
};
using OwnedHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

// ScriptRun is one cscript run: from process creation to its exit, and what it printed without
// carriage returns. Not a number of seconds when cscript could not start.
struct ScriptRun {
    double seconds = std::nan("");
    std::string output;
};

// runCscript runs `cscript //nologo ARGUMENTS` and waits for it. The scripts' paths are relative:
// bench.sh starts the programs in the source tree's root. The output is read once the script
// has ended, not until the pipe closes, since a console host that Wine starts for cscript may
// still hold the pipe; the scripts print a few lines, which the pipe's buffer holds.
inline ScriptRun runCscript(const std::wstring& arguments) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (::CreatePipe(&readEnd, &writeEnd, &inheritable, 1 << 16) == 0) {
        return {};
    }
    const OwnedHandle reader(readEnd);
    const OwnedHandle writer(writeEnd);
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    std::wstring command = L"cscript.exe //nologo " + arguments;
    PROCESS_INFORMATION process{};
    ScriptRun run;
    const auto start = Clock::now();
    if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                         &startup, &process) == 0) {
        return run;
    }
    const OwnedHandle child(process.hProcess);
    const OwnedHandle thread(process.hThread);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    DWORD waiting = 0;
    while (::PeekNamedPipe(readEnd, nullptr, 0, nullptr, &waiting, nullptr) != 0 && waiting > 0) {
        std::string chunk(waiting, '\0');
        DWORD read = 0;
        if (::ReadFile(readEnd, chunk.data(), waiting, &read, nullptr) == 0) {
            break;
        }
        run.output.append(chunk, 0, read);
    }
    std::erase(run.output, '\r');
    return run;
}

} // namespace tobrunel::bench
