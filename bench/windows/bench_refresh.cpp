// What Tobrunel.dll adds to a collection refresh: Refresh() through the vtable of a registered
// Velcastra.clsServices against the floor, the same platform calls made directly, turn about in
// one process. Prints key=value figures (medians, milliseconds) for scripts/bench.sh.
//
//   bench_refresh measure ROUNDS the two sides, with no manager handle held and with one held
//                                on the component's computer name, what one open of the
//                                manager costs in each case, and what the enumeration alone costs
//   bench_refresh check          shows the floor makes the component's calls, in its order
//   bench_refresh install COUNT  installs COUNT extra services (removing earlier ones first)
//   bench_refresh remove         removes the extra services
#include "bench/windows/BenchServices.h"
#include "bench/windows/BenchSupport.h"
#include "bench/windows/CallCheck.h"
#include "bench/windows/FloorRefresh.h"
#include "server/Interfaces.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

using namespace tobrunel;
using namespace tobrunel::bench;

namespace {

struct ManagerCloser {
    void operator()(SC_HANDLE handle) const noexcept { ::CloseServiceHandle(handle); }
};
// HeldManager is a manager handle kept open across a measurement, as a client that holds one of
// its own would. Wine keeps its connection to the manager, as measured, per machine-name argument
// while any handle opened with that argument lives, so only a handle opened on the component's
// computer name spares the component's opens their connection.
using HeldManager = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ManagerCloser>;

HeldManager holdManager(const char* machine, DWORD access = SC_MANAGER_CONNECT) {
    return HeldManager(::OpenSCManagerA(machine, nullptr, access));
}

void printComparison(const std::string& prefix, const Contender& component,
                     const Contender& floor) {
    printFigure(prefix + ".dll.ms", component.medianSeconds() * 1e3);
    printFigure(prefix + ".floor.ms", floor.medianSeconds() * 1e3);
    printFigure(prefix + ".ratio", component.medianSeconds() / floor.medianSeconds());
    printFigure(prefix + ".paired_ratio", pairedRatio(component, floor));
    printFigure(prefix + ".minimum_ratio", component.minimumSeconds() / floor.minimumSeconds());
    printFigure(prefix + ".dll.cpu_ms", component.cpuSecondsPerRun() * 1e3);
    printFigure(prefix + ".floor.cpu_ms", floor.cpuSecondsPerRun() * 1e3);
}

// printOpenCosts times OpenSCManagerA + CloseServiceHandle on the component's arguments with no
// other handle in the process, with one held that was opened on the same computer name, and
// with one held that was opened on the local manager by a null name; each held handle is
// closed before the next cold open.
void printOpenCosts(const std::string& computer, int runs) {
    const auto openAndClose = [&computer] {
        ::CloseServiceHandle(
            ::OpenSCManagerA(computer.c_str(), nullptr, SC_MANAGER_ENUMERATE_SERVICE));
    };
    std::vector<double> noneHeld;
    std::vector<double> sameNameHeld;
    std::vector<double> nullNameHeld;
    for (int run = 0; run < runs; ++run) {
        noneHeld.push_back(secondsOf(openAndClose));
        {
            const auto held = holdManager(computer.c_str());
            sameNameHeld.push_back(secondsOf(openAndClose));
        }
        const auto held = holdManager(nullptr);
        nullNameHeld.push_back(secondsOf(openAndClose));
    }
    printFigure("open.none_held.ms", median(noneHeld) * 1e3);
    printFigure("open.one_held.ms", median(sameNameHeld) * 1e3);
    printFigure("open.null_name_held.ms", median(nullNameHeld) * 1e3);
}

// printEnumerationCost times the part of a refresh that is not per service: open, one
// enumeration pass, close.
void printEnumerationCost(const std::string& computer, int runs) {
    std::vector<ENUM_SERVICE_STATUSA> records(floor::RecordsPerPass);
    const auto enumerate = [&] {
        const HeldManager manager = holdManager(computer.c_str(), SC_MANAGER_ENUMERATE_SERVICE);
        DWORD needed = 0;
        DWORD returned = 0;
        DWORD resume = 0;
        ::EnumServicesStatusA(manager.get(), SERVICE_WIN32, SERVICE_STATE_ALL, records.data(),
                              static_cast<DWORD>(records.size() * sizeof records[0]), &needed,
                              &returned, &resume);
    };
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        times.push_back(secondsOf(enumerate));
    }
    printFigure("enumerate.ms", median(times) * 1e3);
}

int measure(int rounds) {
    const ComApartment apartment;
    const auto services = createByProgId<server::_clsServices>(L"Velcastra.clsServices");
    if (!services) {
        std::fprintf(stderr, "cannot create Velcastra.clsServices: is Tobrunel.dll registered?\n");
        return 1;
    }
    const auto computer = localComputerName();
    DirectPlatform platform;
    long listed = 0;
    services->get_Count(&listed);
    const auto loaded = refreshFloor(platform, computer);
    if (loaded != static_cast<std::size_t>(listed)) {
        std::fprintf(stderr, "the component lists %ld services, the floor loads %zu\n", listed,
                     loaded);
    }
    printFigure("services", listed);
    printFigure("rounds", rounds);

    const auto componentRefresh = [&services] {
        VARIANT_BOOL refreshed = VARIANT_FALSE;
        services->Refresh(&refreshed);
    };
    const auto floorRefresh = [&platform, &computer] { refreshFloor(platform, computer); };
    const auto holdOne = [&computer]() -> std::shared_ptr<void> {
        return holdManager(computer.c_str());
    };
    // Both sides with no handle held, then both with one held, turn about in pairs.
    std::vector<Contender> sides{Contender(componentRefresh), Contender(floorRefresh),
                                 Contender(componentRefresh, holdOne),
                                 Contender(floorRefresh, holdOne)};
    turnAbout(sides, rounds, 2);
    printComparison("refresh", sides[0], sides[1]);
    printComparison("held", sides[2], sides[3]);
    printOpenCosts(computer, rounds * 2 + 1);
    printEnumerationCost(computer, rounds);
    return 0;
}

std::wstring ownPath() {
    std::wstring path(MAX_PATH, L'\0');
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), MAX_PATH);
    path.resize(length);
    return path;
}

int usage() {
    std::fprintf(stderr, "usage: bench_refresh measure ROUNDS | check | install COUNT | remove\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return usage();
    }
    const std::string_view verb = argv[1];
    const int number = argc > 2 ? std::atoi(argv[2]) : 0;
    if (verb == "measure" && number > 0) {
        return measure(number);
    }
    if (verb == "check") {
        return floorMatchesComponent(stdout) ? 0 : 1;
    }
    if (verb == "install" && number > 0) {
        const int installed = installBenchServices(number, ownPath());
        std::printf("installed %d services\n", installed);
        return installed == number ? 0 : 1;
    }
    if (verb == "remove") {
        const int removed = removeBenchServices();
        std::printf("removed %d services\n", removed);
        return removed < 0 ? 1 : 0;
    }
    return usage();
}
