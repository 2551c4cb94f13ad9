// The real test service (the test program relaunched with --serve) and the installer that puts it
// into the prefix's service database and takes it out again.
#include "tests/wine-support/TestService.h"

#include "tests/wine-support/WineTestSupport.h"

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <iostream>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <type_traits>
#include <utility>

namespace tobrunel::wintest {

namespace {

constexpr std::string_view ServeArgument = "--serve";
// Follows the name when the service is to accept no stop and never finish a pause.
constexpr std::string_view StubbornArgument = "--stubborn";
constexpr const char* LoadOrderGroup = "TobrunelTests";

// How long the service stays in a pending state before it reports the state it was asked for:
// long enough for a test to see the pending state that a control request returns.
constexpr auto SettleTime = std::chrono::milliseconds(50);

// RunningService is the service side: its handler answers each control at once with the pending
// state, and its main thread moves on to the final state a moment later, as a real service that
// has work to do would.
class RunningService {
public:
    RunningService(std::string name, bool stubborn)
        : name_(std::move(name)), stubborn_(stubborn),
          accepted_(stubborn ? AcceptedControls & ~SERVICE_ACCEPT_STOP : AcceptedControls) {}

    // run is the body of the service's main function; it returns once the service has stopped.
    void run() {
        statusHandle_ = ::RegisterServiceCtrlHandlerExA(name_.c_str(), &handleControl, this);
        if (statusHandle_ == nullptr) {
            return;
        }
        report(SERVICE_START_PENDING, 0, PendingCheckPoint, PendingWaitHint);
        std::this_thread::sleep_for(SettleTime);
        finish(SERVICE_RUNNING);
        for (;;) {
            const DWORD target = nextTarget();
            std::this_thread::sleep_for(SettleTime);
            if (finish(target) && target == SERVICE_STOPPED) {
                return;
            }
        }
    }

private:
    static DWORD WINAPI handleControl(DWORD control, DWORD, void*, void* context) {
        return static_cast<RunningService*>(context)->onControl(control);
    }

    DWORD onControl(DWORD control) {
        const std::scoped_lock lock(mutex_);
        switch (control) {
        case SERVICE_CONTROL_STOP:
        case SERVICE_CONTROL_SHUTDOWN:
            return begin(SERVICE_STOP_PENDING, 0, SERVICE_STOPPED);
        case SERVICE_CONTROL_PAUSE:
            if (state_ == SERVICE_RUNNING && stubborn_) {
                // Pending for good, its check point never moving: a pause that hangs.
                reportLocked(SERVICE_PAUSE_PENDING, accepted_, PendingCheckPoint, PendingWaitHint);
                return NO_ERROR;
            }
            return state_ == SERVICE_RUNNING
                       ? begin(SERVICE_PAUSE_PENDING, accepted_, SERVICE_PAUSED)
                       : ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
        case SERVICE_CONTROL_CONTINUE:
            // A continue also ends a hung pause, so that a test can put the service back.
            return state_ == SERVICE_PAUSED || (stubborn_ && state_ == SERVICE_PAUSE_PENDING)
                       ? begin(SERVICE_CONTINUE_PENDING, accepted_, SERVICE_RUNNING)
                       : ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
        case SERVICE_CONTROL_INTERROGATE:
            return NO_ERROR;
        default:
            return ERROR_CALL_NOT_IMPLEMENTED;
        }
    }

    // begin reports the pending state before the handler returns, so the platform hands it to
    // whoever sent the control; the main thread then finishes the change.
    DWORD begin(DWORD pending, DWORD accepted, DWORD target) {
        reportLocked(pending, accepted, PendingCheckPoint, PendingWaitHint);
        target_ = target;
        changed_.notify_one();
        return NO_ERROR;
    }

    DWORD nextTarget() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return target_ != 0; });
        return std::exchange(target_, 0);
    }

    // finish reports the state a change was heading for, unless a control that came in the
    // meantime has set off another change; true when it reported.
    bool finish(DWORD state) {
        const std::scoped_lock lock(mutex_);
        if (target_ != 0) {
            return false;
        }
        reportLocked(state, state == SERVICE_STOPPED ? 0 : accepted_);
        return true;
    }

    void report(DWORD state, DWORD accepted, DWORD checkPoint = 0, DWORD waitHint = 0) {
        const std::scoped_lock lock(mutex_);
        reportLocked(state, accepted, checkPoint, waitHint);
    }

    void reportLocked(DWORD state, DWORD accepted, DWORD checkPoint = 0, DWORD waitHint = 0) {
        state_ = state;
        SERVICE_STATUS status{
            SERVICE_WIN32_OWN_PROCESS, state, accepted, NO_ERROR, 0, checkPoint, waitHint};
        ::SetServiceStatus(statusHandle_, &status);
    }

    std::string name_;
    const bool stubborn_;
    const DWORD accepted_;
    SERVICE_STATUS_HANDLE statusHandle_ = nullptr;
    std::mutex mutex_;
    std::condition_variable changed_;
    DWORD state_ = SERVICE_STOPPED;
    DWORD target_ = 0;
};

// The dispatcher calls the service's main function without a context of its own.
RunningService* servedService = nullptr;

void WINAPI serviceMain(DWORD, LPSTR*) {
    servedService->run();
}

std::string programPath() {
    char path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, length);
}

std::wstring wideText(const std::string& text) {
    const auto converted = wide(text);
    return std::wstring(converted.begin(), converted.end());
}

bool hasServicePrefix(const std::string& name) {
    const std::string_view prefix = ServicePrefix;
    return name.size() >= prefix.size() &&
           ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, name.data(),
                            static_cast<int>(prefix.size()), prefix.data(),
                            static_cast<int>(prefix.size())) == CSTR_EQUAL;
}

// install returns the platform's error, 0 when the service was created. CreateServiceA would
// garble a dependency list under Wine; the wide entry point is correct.
DWORD install(const InstalledService& installed) {
    const ScmHandle manager = openManager(SC_MANAGER_CREATE_SERVICE);
    if (!manager) {
        return ::GetLastError();
    }
    const ScmHandle service(::CreateServiceW(
        manager.get(), wideText(installed.name).c_str(), wideText(installed.displayName).c_str(),
        SERVICE_ALL_ACCESS, installed.serviceType, installed.startType, installed.errorControl,
        wideText(installed.binaryPath).c_str(), wideText(installed.loadOrderGroup).c_str(), nullptr,
        nullptr, nullptr, nullptr));
    return service ? 0 : ::GetLastError();
}

std::vector<std::string> servicesWithPrefix() {
    std::vector<std::string> names;
    if (const auto services = enumerateServices(SERVICE_WIN32, SERVICE_STATE_ALL)) {
        for (const auto& service : *services) {
            if (hasServicePrefix(service.name)) {
                names.push_back(service.name);
            }
        }
    }
    return names;
}

void removeLeftovers() {
    for (const auto& name : servicesWithPrefix()) {
        std::cerr << "removing the test service " << name << " of an earlier run\n";
        removeService(name);
    }
}

} // namespace

ProcessHandle serviceProcess(const std::string& name) {
    const auto status = queryStatusProcess(name);
    if (!status || status->dwProcessId == 0) {
        return nullptr;
    }
    return ProcessHandle(
        ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, status->dwProcessId));
}

bool ended(const ProcessHandle& process) {
    return !process || ::WaitForSingleObject(process.get(), 5000) == WAIT_OBJECT_0;
}

InstalledService installedAs(Role role) {
    const auto processId = std::to_string(::GetCurrentProcessId());
    InstalledService installed{std::string(ServicePrefix) + processId,
                               "Tobrunel Test Service " + processId,
                               {},
                               LoadOrderGroup,
                               SERVICE_WIN32_OWN_PROCESS,
                               SERVICE_DEMAND_START,
                               SERVICE_ERROR_NORMAL};
    if (role == Role::Disabled) {
        installed.name += "Off";
        installed.displayName += " (disabled)";
        installed.startType = SERVICE_DISABLED;
    } else if (role == Role::Deletable) {
        installed.name += "Del";
        installed.displayName += " (to delete)";
    } else if (role == Role::Automatic) {
        installed.name += "Auto";
        installed.displayName += " (automatic)";
        installed.startType = SERVICE_AUTO_START;
    } else if (role == Role::Stubborn) {
        installed.name += "Stubborn";
        installed.displayName += " (accepts no stop, hangs in a pause)";
    }
    installed.binaryPath =
        "\"" + programPath() + "\" " + std::string(ServeArgument) + " " + installed.name;
    if (role == Role::Stubborn) {
        installed.binaryPath += " " + std::string(StubbornArgument);
    }
    return installed;
}

std::optional<int> serveIfAsked(int argc, char** argv) {
    const bool stubborn = argc == 4 && argv[3] == StubbornArgument;
    if ((argc != 3 && !stubborn) || argv[1] != ServeArgument) {
        return std::nullopt;
    }
    RunningService service(argv[2], stubborn);
    servedService = &service;
    SERVICE_TABLE_ENTRYA table[] = {{argv[2], &serviceMain}, {nullptr, nullptr}};
    const bool dispatched = ::StartServiceCtrlDispatcherA(table) != FALSE;
    return dispatched ? 0 : static_cast<int>(::GetLastError());
}

bool removeService(const std::string& name) {
    const auto opened = openService(name, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE);
    if (!opened) {
        return ::GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST;
    }
    // The process is opened before the stop, so its end can be awaited, and forced when the
    // service does not answer.
    const auto process = serviceProcess(name);
    const bool stopped = stopService(name);
    if (process) {
        if (!stopped || ::WaitForSingleObject(process.get(), 5000) != WAIT_OBJECT_0) {
            std::cerr << "ending the process of the test service " << name << "\n";
            ::TerminateProcess(process.get(), 1);
            ::WaitForSingleObject(process.get(), 5000);
        }
    }
    return ::DeleteService(opened.service.get()) != FALSE ||
           ::GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE;
}

TestServiceEnvironment::TestServiceEnvironment(std::initializer_list<Role> roles) : roles_(roles) {}

void TestServiceEnvironment::SetUp() {
    connection_ = openManager(SC_MANAGER_CONNECT);
    removeLeftovers();
    for (const Role role : roles_) {
        const auto installed = installedAs(role);
        ASSERT_EQ(0u, install(installed)) << "cannot install " << installed.name;
    }
}

void TestServiceEnvironment::TearDown() {
    for (const Role role : roles_) {
        const auto name = installedAs(role).name;
        EXPECT_TRUE(removeService(name)) << "cannot remove " << name;
    }
    // Every handle is closed now, so a deleted service has left the database.
    EXPECT_EQ(std::vector<std::string>{}, servicesWithPrefix());
    connection_.reset();
}

int runWineTests(int argc, char** argv, std::initializer_list<Role> roles) {
    if (const auto served = serveIfAsked(argc, argv)) {
        return *served;
    }
    ::testing::InitGoogleTest(&argc, argv);
    // GoogleTest takes ownership of the environments it is given.
    ::testing::AddGlobalTestEnvironment(std::make_unique<TestServiceEnvironment>(roles).release());
    return RUN_ALL_TESTS();
}

} // namespace tobrunel::wintest
