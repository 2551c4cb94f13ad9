// What Tobrunel.dll adds to a collection refresh: Refresh() through the vtable of a registered
// Velcastra.clsServices against the floor, the same platform calls made directly, turn about in
// one process; and a VBScript listing through the DLL against one through WMI, timed by cscript
// run. Prints its rows of the bench table (medians).
//
//   bench_refresh table ROUNDS SCRIPT_RUNS EXTRA   both comparisons on the database as created
//                  and with EXTRA services installed: the refresh with no manager handle held
//                  and with one held on the component's computer name, what one open of the
//                  manager costs in each case, what the enumeration alone costs; the scripts
//   bench_refresh check          shows the floor makes the component's calls, in its order
//   bench_refresh install COUNT  installs COUNT extra services (removing earlier ones first)
//   bench_refresh remove         removes the extra services
#include "bench/windows/BenchServices.h"
#include "bench/windows/BenchSupport.h"
#include "bench/windows/CallCheck.h"
#include "bench/windows/FloorRefresh.h"
#include "server/Interfaces.h"

#include <cmath>
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

// comparisonRow is the DLL against the floor over the same rounds: the ratio column is the
// median of the paired ratios, the note adds the ratios of the medians and of the minimums.
std::string comparisonRow(const std::string& label, const Contender& component,
                          const Contender& floor, const std::string& note) {
    return row(label, figure(component.medianSeconds() * 1e3), figure(floor.medianSeconds() * 1e3),
               decimals3(pairedRatio(component, floor)),
               "DLL | floor; of medians " +
                   decimals3(component.medianSeconds() / floor.medianSeconds()) + ", of minimums " +
                   decimals3(component.minimumSeconds() / floor.minimumSeconds()) + note);
}

// openCostRow times OpenSCManagerA + CloseServiceHandle on the component's arguments with no
// other handle in the process, with one held that was opened on the same computer name, and
// with one held that was opened on the local manager by a null name; each held handle is
// closed before the next cold open.
std::string openCostRow(const std::string& computer, int runs) {
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
    return row("   open+close manager: none held | one held (ms)", median(noneHeld) * 1e3,
               median(sameNameHeld) * 1e3,
               "held on the same name; held on a null name: " + figure(median(nullNameHeld) * 1e3) +
                   " ms");
}

// enumerationRow times the part of a refresh that is not per service: open, one enumeration
// pass, close.
std::string enumerationRow(const std::string& computer, int runs) {
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
    return row("   open, enumerate, close (ms)", figure(median(times) * 1e3), "", "",
               "the part of a refresh not spent per service");
}

// refreshRows measures the refresh comparison on the database as it stands; empty when the
// component cannot be created.
std::string refreshRows(int rounds, const std::string& database) {
    const ComApartment apartment;
    const auto services = createByProgId<server::_clsServices>(L"Velcastra.clsServices");
    if (!services) {
        std::fprintf(stderr, "cannot create Velcastra.clsServices: is Tobrunel.dll registered?\n");
        return {};
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
    const std::string label = "1. refresh, " + database + ": " + std::to_string(listed);
    return comparisonRow(label + " svcs (ms)", sides[0], sides[1], "; target <= 1.05") +
           row("   client CPU a refresh (ms)", sides[0].cpuSecondsPerRun() * 1e3,
               sides[1].cpuSecondsPerRun() * 1e3, "DLL | floor; all runs' processor time / runs") +
           comparisonRow("   same, one handle held on the computer name (ms)", sides[2], sides[3],
                         "") +
           openCostRow(computer, rounds * 2 + 1) + enumerationRow(computer, rounds);
}

// scriptSeconds is one timed cscript run of a script in scripts/; not a number when a listing
// did not reach its "listed N" line, since cscript hides a script's errors.
double scriptSeconds(const std::wstring& script) {
    const auto run = runCscript(L"bench\\windows\\scripts\\" + script);
    if (script.starts_with(L"list") && run.output.find("listed") == std::string::npos) {
        std::fprintf(stderr, "bench: %ls printed no 'listed': %s\n", script.c_str(),
                     run.output.c_str());
        return std::nan("");
    }
    return run.seconds;
}

// scriptRows times the three scripts end to end, turn about, and gives medians of each.
std::string scriptRows(int runs, const std::string& database) {
    std::vector<double> dll;
    std::vector<double> wmi;
    std::vector<double> empty;
    const auto keep = [](std::vector<double>& samples, double seconds) {
        if (!std::isnan(seconds)) {
            samples.push_back(seconds);
        }
    };
    for (int run = 0; run < runs; ++run) {
        keep(dll, scriptSeconds(L"list-through-dll.vbs"));
        keep(wmi, scriptSeconds(L"list-through-wmi.vbs"));
        keep(empty, scriptSeconds(L"empty.vbs"));
    }
    const double throughDll = median(dll);
    const double throughWmi = median(wmi);
    const double start = median(empty);
    return row("2. list services from VBScript, " + database + " (s)", throughDll, throughWmi,
               "DLL | WMI Win32_Service; cscript run end to end") +
           row("   same, less the empty script", decimals3(throughDll - start),
               decimals3(throughWmi - start),
               decimals3((throughDll - start) / (throughWmi - start)),
               "empty script (cscript start): " + figure(start) + " s");
}

std::wstring ownPath() {
    std::wstring path(MAX_PATH, L'\0');
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), MAX_PATH);
    path.resize(length);
    return path;
}

// table measures both comparisons on the database as created and with `extra` services, and
// prints the rows in the table's order: the refreshes first.
int table(int rounds, int scriptRuns, int extra) {
    removeBenchServices();
    const auto measureDatabase = [&](const std::string& database, std::string& scripts) {
        std::fprintf(stderr, "bench: refresh, %s (%d rounds)\n", database.c_str(), rounds);
        auto refreshes = refreshRows(rounds, database);
        std::fprintf(stderr, "bench: scripts, %s (%d runs each)\n", database.c_str(), scriptRuns);
        scripts = scriptRows(scriptRuns, database);
        return refreshes;
    };
    std::string createdScripts;
    std::string extraScripts;
    const auto created = measureDatabase("as created", createdScripts);
    const int installed = installBenchServices(extra, ownPath());
    std::fprintf(stderr, "bench: installed %d services\n", installed);
    const auto extended = measureDatabase("+" + std::to_string(extra), extraScripts);
    std::fprintf(stderr, "bench: removed %d services\n", removeBenchServices());
    print(created + extended + createdScripts + extraScripts);
    return created.empty() || extended.empty() || installed != extra ? 1 : 0;
}

int usage() {
    std::fprintf(stderr, "usage: bench_refresh table ROUNDS SCRIPT_RUNS EXTRA | check | "
                         "install COUNT | remove\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return usage();
    }
    const std::string_view verb = argv[1];
    const auto number = [&](int at) { return argc > at ? std::atoi(argv[at]) : 0; };
    if (verb == "table" && number(2) > 0 && number(3) > 0 && number(4) > 0) {
        return table(number(2), number(3), number(4));
    }
    if (verb == "check") {
        return floorMatchesComponent(stdout) ? 0 : 1;
    }
    if (verb == "install" && number(2) > 0) {
        const int installed = installBenchServices(number(2), ownPath());
        std::printf("installed %d services\n", installed);
        return installed == number(2) ? 0 : 1;
    }
    if (verb == "remove") {
        const int removed = removeBenchServices();
        std::printf("removed %d services\n", removed);
        return removed < 0 ? 1 : 0;
    }
    return usage();
}
