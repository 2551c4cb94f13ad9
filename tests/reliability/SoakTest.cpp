// Soak: Tobrunel.dll driven for a set time through cycles of a collection refresh, lookups by
// position and by name, and start, pause, continue and stop of the test service. The process's
// handles and memory stay level between the early and the late cycles, and every cycle ends with
// no object alive. The duration: --soak-seconds=N, else TOBRUNEL_SOAK_SECONDS, else 60.
#include "tests/wine-support/TestService.h"
#include "tests/wine-support/WineTestSupport.h"

#include "server/Interfaces.h"

#include "tests/wine-support/ServerTestSupport.h"

#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace tobrunel::server {
namespace {

using namespace testing;

using Export = HRESULT(STDAPICALLTYPE*)();

int soakSeconds = 60;

// --- What the process holds ----------------------------------------------------------------

// SystemHandleInformation lists every handle of the system with its owner; Wine 8 implements it,
// while its GetProcessHandleCount answers TRUE with a count of 0.
constexpr auto SystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);
constexpr NTSTATUS InfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);

struct SystemHandle {
    ULONG ownerProcessId;
    UCHAR objectType;
    UCHAR flags;
    USHORT value;
    void* object;
    ULONG access;
};

struct SystemHandles {
    ULONG count;
    SystemHandle handles[1];
};

// handleCount is the platform's count when it gives one, otherwise this process's share of the
// system's handle list; nothing when neither works.
std::optional<unsigned long> handleCount() {
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0) {
        return count;
    }
    ULONG length = 1 << 16;
    std::vector<unsigned char> buffer;
    for (;;) {
        buffer.resize(length);
        const NTSTATUS status =
            NtQuerySystemInformation(SystemHandleInformation, buffer.data(), length, &length);
        if (status == InfoLengthMismatch) {
            length = std::max<ULONG>(length, static_cast<ULONG>(buffer.size()) * 2);
            continue;
        }
        if (status != 0) {
            return std::nullopt;
        }
        break;
    }
    const auto* list = reinterpret_cast<const SystemHandles*>(buffer.data());
    const auto own = GetCurrentProcessId();
    return std::count_if(
        list->handles, list->handles + list->count,
        [own](const SystemHandle& handle) { return handle.ownerProcessId == own; });
}

struct Reading {
    unsigned long handles = 0;
    // Wine 8 reports PrivateUsage as 0; PagefileUsage is the private committed memory.
    std::size_t privateBytes = 0;
    std::size_t workingSet = 0;
};

Reading readProcess() {
    Reading reading;
    reading.handles = handleCount().value_or(0);
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
        reading.privateBytes = counters.PagefileUsage;
        reading.workingSet = counters.WorkingSetSize;
    }
    return reading;
}

// --- One cycle -------------------------------------------------------------------------------

class SoakTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_HRESULT(S_OK, apartment.result());
        ASSERT_NE(library.get(), nullptr);
    }

    ComPtr<_clsServices> createServices() {
        ComPtr<_clsServices> services;
        EXPECT_HRESULT(S_OK, library.create(CLSID_clsServices, services));
        return services;
    }

    // item looks a service up late-bound, as a script's services(x) does.
    static ComPtr<_clsService> item(IDispatch& services, Variant index) {
        Call call;
        invoke(call, services, DISPID_VALUE, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {&index});
        EXPECT_HRESULT(S_OK, call.status);
        ComPtr<_clsService> service;
        if (call.result.type() == VT_DISPATCH && V_DISPATCH(call.result.get()) != nullptr) {
            V_DISPATCH(call.result.get())
                ->QueryInterface(IID_PPV_ARGS(service.ReleaseAndGetAddressOf()));
        }
        return service;
    }

    static std::wstring nameOf(_clsService& service) {
        Bstr name;
        EXPECT_HRESULT(S_OK, service.get_Name(name.put()));
        return textOf(name.get());
    }

    static long stateOf(_clsService& service) {
        long state = 0;
        EXPECT_HRESULT(S_OK, service.get_CurrentState(&state));
        return state;
    }

    // reach refreshes the object until the platform reports `state`.
    static bool reach(_clsService& service, long state) {
        return wintest::eventually([&] {
            VARIANT_BOOL refreshed = VARIANT_FALSE;
            return SUCCEEDED(service.Refresh(&refreshed)) && refreshed == VARIANT_TRUE &&
                   stateOf(service) == state;
        });
    }

    using Command = HRESULT (STDMETHODCALLTYPE _clsService::*)(VARIANT_BOOL*);

    static void command(_clsService& service, Command send, long target, const char* name) {
        VARIANT_BOOL done = VARIANT_FALSE;
        EXPECT_HRESULT(S_OK, (service.*send)(&done)) << name;
        EXPECT_EQ(done, VARIANT_TRUE) << name;
        EXPECT_TRUE(reach(service, target)) << name << " did not reach " << target;
    }

    // cycle runs one round and releases everything it made.
    void cycle(const std::wstring& testService) {
        const auto services = createServices();
        ASSERT_TRUE(services);
        VARIANT_BOOL refreshed = VARIANT_FALSE;
        EXPECT_HRESULT(S_OK, services->Refresh(&refreshed));
        EXPECT_EQ(refreshed, VARIANT_TRUE);
        long count = 0;
        EXPECT_HRESULT(S_OK, services->get_Count(&count));
        EXPECT_GT(count, 0);
        const auto dispatch = dispatchOf(services);
        for (long position = 1; position <= count; ++position) {
            const auto byPosition = item(*dispatch.Get(), Variant::integer(position));
            ASSERT_TRUE(byPosition) << position;
            const auto byName = item(*dispatch.Get(), Variant::text(nameOf(*byPosition.Get())));
            EXPECT_EQ(byName.Get(), byPosition.Get()) << position;
        }
        const auto service = item(*dispatch.Get(), Variant::text(testService));
        ASSERT_TRUE(service) << "the test service is listed";
        ASSERT_EQ(stateOf(*service.Get()), 1) << "the test service starts each cycle stopped";
        command(*service.Get(), &_clsService::StartService, 4, "StartService");
        command(*service.Get(), &_clsService::PauseService, 7, "PauseService");
        command(*service.Get(), &_clsService::ContinueService, 4, "ContinueService");
        const auto process =
            wintest::serviceProcess(std::string(testService.begin(), testService.end()));
        command(*service.Get(), &_clsService::StopService, 1, "StopService");
        // Wine refuses to start a service (1056) while the process that reported it stopped is
        // still ending, so the next cycle starts once that process has gone.
        EXPECT_TRUE(wintest::ended(process)) << "the stopped service's process ends";
    }

    HRESULT canUnloadNow() { return library.entry<Export>("DllCanUnloadNow")(); }

    ComApartment apartment;
    LoadedLibrary library{dllPath()};
};

std::string megabytes(std::size_t bytes) {
    std::ostringstream text;
    text << std::fixed << std::setprecision(2) << static_cast<double>(bytes) / (1 << 20) << " MiB";
    return text.str();
}

TEST_F(SoakTest, HandlesMemoryAndObjectsStayLevel) {
    const auto testService = wintest::installedAs(wintest::Role::Demand).name;
    const std::wstring name(testService.begin(), testService.end());
    ASSERT_TRUE(handleCount()) << "no way to count this process's handles";

    const auto started = std::chrono::steady_clock::now();
    const auto until = started + std::chrono::seconds(soakSeconds);
    std::vector<Reading> readings;
    while (readings.empty() || std::chrono::steady_clock::now() < until) {
        cycle(name);
        ASSERT_HRESULT(S_OK, canUnloadNow())
            << "an object of cycle " << readings.size() + 1 << " is still alive";
        readings.push_back(readProcess());
        if (HasFatalFailure() || HasFailure()) {
            break;
        }
    }
    const auto seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    // The first cycles fill the platform's caches and the heap; "early" is the reading once
    // they are done, "late" the last one.
    const std::size_t warmUp = std::min<std::size_t>(readings.size() - 1, 3);
    const Reading early = readings[warmUp];
    const Reading late = readings.back();
    const auto [fewest, most] = std::minmax_element(
        readings.begin() + static_cast<std::ptrdiff_t>(warmUp), readings.end(),
        [](const Reading& a, const Reading& b) { return a.handles < b.handles; });
    std::cout << "soak: " << readings.size() << " cycles in " << std::fixed << std::setprecision(1)
              << seconds << " s (" << seconds / static_cast<double>(readings.size())
              << " s a cycle)\n"
              << "  handles after cycle " << warmUp + 1 << ": " << early.handles
              << ", after the last: " << late.handles << " (range " << fewest->handles << "-"
              << most->handles << ")\n"
              << "  private bytes: " << megabytes(early.privateBytes) << " -> "
              << megabytes(late.privateBytes) << "\n"
              << "  working set:   " << megabytes(early.workingSet) << " -> "
              << megabytes(late.workingSet) << "\n"
              << "  along the run (cycle: handles, private bytes):";
    for (int quarter = 0; quarter <= 4; ++quarter) {
        const auto at = warmUp + (readings.size() - 1 - warmUp) * quarter / 4;
        std::cout << "  " << at + 1 << ": " << readings[at].handles << ", "
                  << readings[at].privateBytes;
    }
    std::cout << "\n";

    // Objects that one cycle makes and all release leave nothing behind: a leaked handle a
    // cycle, or a leaked collection (a few kilobytes a cycle), shows over the run.
    if (readings.size() > warmUp + 1) {
        EXPECT_LE(late.handles, early.handles + 2);
        const auto cycles = readings.size() - warmUp - 1;
        const auto growth = late.privateBytes > early.privateBytes
                                ? late.privateBytes - early.privateBytes
                                : std::size_t{0};
        EXPECT_LE(growth, 256 * 1024 + cycles * 1024)
            << "private bytes grew by " << growth << " over " << cycles << " cycles";
    }
    EXPECT_HRESULT(S_OK, canUnloadNow());
}

// soakSecondsFrom takes --soak-seconds=N out of the command line, else reads the environment.
int soakSecondsFrom(int& argc, char** argv) {
    int seconds = 60;
    if (const char* setting = std::getenv("TOBRUNEL_SOAK_SECONDS")) {
        seconds = std::atoi(setting);
    }
    constexpr std::string_view flag = "--soak-seconds=";
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument.starts_with(flag)) {
            seconds = std::atoi(argv[i] + flag.size());
            std::copy(argv + i + 1, argv + argc, argv + i);
            --argc;
            break;
        }
    }
    return std::max(seconds, 1);
}

} // namespace
} // namespace tobrunel::server

int main(int argc, char** argv) {
    tobrunel::server::soakSeconds = tobrunel::server::soakSecondsFrom(argc, argv);
    return tobrunel::wintest::runWineTests(argc, argv, {tobrunel::wintest::Role::Demand});
}
