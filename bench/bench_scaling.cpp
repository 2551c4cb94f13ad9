// How a collection refresh and a lookup by name scale from 1,000 to 10,000 simulated services:
// RUNS runs of medians per service, printed as the bench table's rows for the median run.
//
//   bench_scaling [RUNS]
#include "bench/BenchTable.h"
#include "model/clsServices.h"
#include "tests/support/SimulatedServiceManager.h"
#include "tests/support/Utf8.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace tobrunel;
using bench::median;

namespace {

using Clock = std::chrono::steady_clock;

// The small case takes a few milliseconds, so it needs more runs to settle than the large.
constexpr int RunsInside = 21;

std::shared_ptr<scm::SimulatedServiceManager> platformWith(int count) {
    auto platform = std::make_shared<scm::SimulatedServiceManager>();
    platform->keepLog(false);
    for (int i = 0; i < count; ++i) {
        scm::SimulatedService service;
        service.name = "Service" + std::to_string(i);
        service.displayName = "Display name of service " + std::to_string(i);
        service.binaryPathName = "C:\\Program Files\\Example\\service" + std::to_string(i) + ".exe";
        service.status = scm::ServiceStatus{scm::serviceType::Win32OwnProcess,
                                            scm::serviceState::Running,
                                            scm::controlsAccepted::AcceptStop,
                                            0,
                                            0,
                                            0,
                                            0};
        platform->addService(std::move(service));
    }
    return platform;
}

struct Figures {
    double refreshSeconds;
    double lookupSeconds;

    double totalSeconds() const { return refreshSeconds + lookupSeconds; }
};

Figures measure(int count) {
    const auto platform = platformWith(count);
    clsServices services(platform);
    std::vector<std::u16string> names;
    for (int i = 0; i < count; ++i) {
        names.push_back(u"SERVICE" + std::u16string(fromUtf8(std::to_string(count - 1 - i))));
    }
    std::vector<double> refreshes;
    std::vector<double> lookups;
    for (int run = 0; run < RunsInside; ++run) {
        const auto start = Clock::now();
        services.Refresh();
        const auto refreshed = Clock::now();
        std::size_t found = 0;
        for (const auto& name : names) {
            found += services.Item(Index::key(name)) != nullptr;
        }
        const auto looked = Clock::now();
        if (found != names.size()) {
            std::fprintf(stderr, "lookup missed %zu names\n", names.size() - found);
        }
        refreshes.push_back(std::chrono::duration<double>(refreshed - start).count());
        lookups.push_back(std::chrono::duration<double>(looked - refreshed).count());
    }
    return {median(refreshes), median(lookups)};
}

// Run is one run of both sizes; the table shows the run whose ratio of totals is the median, so
// its figures belong together.
struct Run {
    Figures small;
    Figures large;

    double ratio() const { return large.totalSeconds() / small.totalSeconds(); }
};

void printRunDetail(const Run& run) {
    std::printf("  %-10s %14s %18s %14s %18s\n", "services", "refresh (ms)", "refresh/service",
                "lookups (ms)", "lookup/service");
    for (const auto& [count, figures] : {std::pair{1000, run.small}, std::pair{10000, run.large}}) {
        std::printf("  %-10d %14.2f %15.2f us %14.3f %15.3f us\n", count,
                    figures.refreshSeconds * 1e3, figures.refreshSeconds * 1e6 / count,
                    figures.lookupSeconds * 1e3, figures.lookupSeconds * 1e6 / count);
    }
    std::printf("  ratio 10000/1000: refresh %.2f, lookups %.2f, both %.2f (median of %d runs)\n",
                run.large.refreshSeconds / run.small.refreshSeconds,
                run.large.lookupSeconds / run.small.lookupSeconds, run.ratio(), RunsInside);
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 1;
    if (runs <= 0) {
        std::fprintf(stderr, "usage: bench_scaling [RUNS]\n");
        return 2;
    }
    std::fprintf(stderr, "bench: native scaling (%d runs)\n", runs);
    std::vector<Run> measured;
    std::string ratios;
    for (int i = 0; i < runs; ++i) {
        const Figures small = measure(1000);
        measured.push_back({small, measure(10000)});
        ratios += bench::formatted("%.2f ", measured.back().ratio());
    }
    auto byRatio = measured;
    std::sort(byRatio.begin(), byRatio.end(),
              [](const Run& a, const Run& b) { return a.ratio() < b.ratio(); });
    const Run& middle = byRatio[(byRatio.size() - 1) / 2];
    const auto perService = [](const Figures& figures, int count) {
        return bench::formatted("%.3f", figures.totalSeconds() * 1e6 / count);
    };
    bench::print(bench::row("4. native refresh + Item by name (us/service)",
                            perService(middle.small, 1000), perService(middle.large, 10000),
                            bench::formatted("%.2f", middle.ratio()),
                            "1,000 | 10,000 simulated; ratio of totals, target <= 11; median run") +
                 bench::row("   ratio 10000/1000 of each run", "", "", "", ratios));
    std::printf("\nnative scaling, as printed by the last run of bench_scaling:\n");
    printRunDetail(measured.back());
    return 0;
}
