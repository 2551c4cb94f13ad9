// Prints how a collection refresh and a lookup by name scale from 1,000 to 10,000 simulated
// services: medians of repeated runs, per service, and the ratio of the two totals.
#include "model/clsServices.h"
#include "tests/support/SimulatedServiceManager.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace tobrunel;

namespace {

using Clock = std::chrono::steady_clock;

std::shared_ptr<scm::SimulatedServiceManager> platformWith(int count) {
    auto platform = std::make_shared<scm::SimulatedServiceManager>();
    platform->keepLog(false);
    for (int i = 0; i < count; ++i) {
        scm::SimulatedService service;
        service.name = "Service" + std::to_string(i);
        service.displayName = "Display name of service " + std::to_string(i);
        service.binaryPathName = "C:\\Program Files\\Example\\service" + std::to_string(i) + ".exe";
        service.status = scm::ServiceStatus{0x10, 4, 1, 0, 0, 0, 0};
        platform->addService(std::move(service));
    }
    return platform;
}

double median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

struct Figures {
    double refreshSeconds;
    double lookupSeconds;
};

Figures measure(int count, int runs) {
    const auto platform = platformWith(count);
    clsServices services(platform);
    std::vector<std::u16string> names;
    for (int i = 0; i < count; ++i) {
        names.push_back(u"SERVICE" + std::u16string(fromUtf8(std::to_string(count - 1 - i))));
    }
    std::vector<double> refreshes;
    std::vector<double> lookups;
    for (int run = 0; run < runs; ++run) {
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

} // namespace

int main() {
    // The small case takes a few milliseconds, so it needs more runs to settle than the large.
    const int runs = 21;
    std::printf("%-10s %14s %18s %14s %18s\n", "services", "refresh (ms)", "refresh/service",
                "lookups (ms)", "lookup/service");
    const auto small = measure(1000, runs);
    const auto large = measure(10000, runs);
    for (const auto& [count, figures] : {std::pair{1000, small}, std::pair{10000, large}}) {
        std::printf("%-10d %14.2f %15.2f us %14.3f %15.3f us\n", count,
                    figures.refreshSeconds * 1e3, figures.refreshSeconds * 1e6 / count,
                    figures.lookupSeconds * 1e3, figures.lookupSeconds * 1e6 / count);
    }
    std::printf(
        "ratio 10000/1000: refresh %.2f, lookups %.2f, both %.2f (median of %d runs)\n",
        large.refreshSeconds / small.refreshSeconds, large.lookupSeconds / small.lookupSeconds,
        (large.refreshSeconds + large.lookupSeconds) / (small.refreshSeconds + small.lookupSeconds),
        runs);
    return 0;
}
