// The control commands: which cached states reach the platform, with which rights, and what the
// status fields hold afterwards.
#include "model/Enumerations.h"
#include "model/clsService.h"

#include "tests/support/CallLog.h"
#include "tests/support/SimulatedPlatform.h"
#include "tests/support/TestSupport.h"

#include <functional>
#include <vector>

using namespace tobrunel;
using namespace tobrunel::scm;
using namespace tobrunel::testing_support;

namespace {

enum class Command { Stop, Start, Pause, Continue };

bool run(clsService& service, Command command) {
    switch (command) {
    case Command::Stop:
        return service.StopService();
    case Command::Start:
        return service.StartService();
    case Command::Pause:
        return service.PauseService();
    case Command::Continue:
        return service.ContinueService();
    }
    return false;
}

struct Rights {
    std::uint32_t manager;
    std::uint32_t service;
    const char* request;
    std::uint32_t number;
};

Rights rightsOf(Command command) {
    switch (command) {
    case Command::Stop:
        return {access::ScManagerModifyBootConfig, access::ServiceStop, "ControlService",
                control::Stop};
    case Command::Start:
        return {access::ScManagerQueryLockStatus, access::ServiceStart, "StartServiceA", 0};
    case Command::Pause:
        return {access::GenericExecute, access::ServicePauseContinue, "ControlService",
                control::Pause};
    case Command::Continue:
        return {access::GenericExecute, access::ServicePauseContinue, "ControlService",
                control::Continue};
    }
    return {};
}

// loadedService gives a service object whose cache holds the given state and controls.
std::shared_ptr<clsService> loadedService(const std::shared_ptr<SimulatedServiceManager>& platform,
                                          std::uint32_t state, std::uint32_t controls) {
    auto entry = runningService("Target", "Target Service", controls);
    entry.status.dwCurrentState = state;
    entry.status.dwControlsAccepted = controls;
    platform->addService(entry);
    auto service = std::make_shared<clsService>(platform);
    service->Name(u"Target");
    platform->clearCalls();
    return service;
}

struct PreconditionCase {
    Command command;
    std::uint32_t state;
    std::uint32_t controls;
    bool reachesPlatform;
};

class CommandPrecondition : public testing::TestWithParam<PreconditionCase> {};

TEST_P(CommandPrecondition, DecidesOnTheCacheAloneAndUsesTheCommandsRights) {
    const auto& row = GetParam();
    auto platform = std::make_shared<SimulatedServiceManager>();
    auto service = loadedService(platform, row.state, row.controls);

    const bool result = run(*service, row.command);

    if (!row.reachesPlatform) {
        EXPECT_FALSE(result);
        EXPECT_TRUE(platform->calls().empty());
        EXPECT_EQ(service->CurrentState(), static_cast<std::int32_t>(row.state));
        return;
    }
    const auto rights = rightsOf(row.command);
    ASSERT_EQ(platform->functionsCalled(),
              (std::vector<std::string>{"OpenSCManagerA", "OpenServiceA", rights.request,
                                        "CloseServiceHandle", "CloseServiceHandle"}));
    EXPECT_TRUE(called(*platform, {"OpenSCManagerA", rights.manager}));
    const auto opened = callTo(*platform, {"OpenServiceA", rights.service, "Target"});
    const auto request = callTo(*platform, {rights.request});
    EXPECT_EQ(request.number, rights.number);
    EXPECT_EQ(result, request.result != 0);
    // The bracket closes the service first.
    EXPECT_EQ(platform->calls()[3].handle, opened.result);
    expectHandlesClean(*platform);
}

constexpr std::uint32_t Stop = controlsAccepted::AcceptStop,
                        PauseContinue = controlsAccepted::AcceptPauseContinue,
                        Shutdown = controlsAccepted::AcceptShutdown;

INSTANTIATE_TEST_SUITE_P(
    Table, CommandPrecondition,
    testing::Values(PreconditionCase{Command::Stop, 4, Stop, true},
                    PreconditionCase{Command::Stop, 7, Stop | PauseContinue, true},
                    PreconditionCase{Command::Stop, 0, Stop, true},
                    PreconditionCase{Command::Stop, 9, Stop, true},
                    PreconditionCase{Command::Stop, 1, Stop, false},
                    PreconditionCase{Command::Stop, 2, Stop, false},
                    PreconditionCase{Command::Stop, 3, Stop, false},
                    PreconditionCase{Command::Stop, 5, Stop, false},
                    PreconditionCase{Command::Stop, 6, Stop, false},
                    PreconditionCase{Command::Stop, 4, PauseContinue | Shutdown, false},
                    PreconditionCase{Command::Stop, 4, 0, false},
                    PreconditionCase{Command::Start, 1, 0, true},
                    PreconditionCase{Command::Start, 1, Stop | PauseContinue, true},
                    PreconditionCase{Command::Start, 4, Stop, false},
                    PreconditionCase{Command::Start, 7, PauseContinue, false},
                    PreconditionCase{Command::Start, 0, 0, false},
                    PreconditionCase{Command::Pause, 4, PauseContinue, true},
                    PreconditionCase{Command::Pause, 4, Stop | PauseContinue, true},
                    PreconditionCase{Command::Pause, 7, PauseContinue, false},
                    PreconditionCase{Command::Pause, 4, Stop, false},
                    PreconditionCase{Command::Pause, 0, PauseContinue, false},
                    PreconditionCase{Command::Continue, 7, PauseContinue, true},
                    PreconditionCase{Command::Continue, 4, PauseContinue, false},
                    PreconditionCase{Command::Continue, 7, Stop, false},
                    PreconditionCase{Command::Continue, 5, PauseContinue, false}),
    ([](const auto& info) {
        const char* const commands[] = {"Stop", "Start", "Pause", "Continue"};
        const auto& row = info.param;
        return std::string(commands[static_cast<int>(row.command)]) + "_in_state_" +
               std::to_string(row.state) + "_accepting_" + std::to_string(row.controls) +
               (row.reachesPlatform ? "_is_sent" : "_is_refused");
    }));

TEST(Commands, NewObjectReachesNothing) {
    auto platform = std::make_shared<SimulatedServiceManager>();
    clsService service(platform);
    for (const auto command : {Command::Stop, Command::Start, Command::Pause, Command::Continue}) {
        EXPECT_FALSE(run(service, command));
    }
    EXPECT_TRUE(platform->calls().empty());
}

TEST(Commands, StartLeavesTheCacheUntilRefresh) {
    auto platform = std::make_shared<SimulatedServiceManager>();
    auto service = loadedService(platform, 1, 0);
    EXPECT_TRUE(service->StartService());
    EXPECT_EQ(service->CurrentState(), 1);
    EXPECT_EQ(platform->findService("Target")->status.dwCurrentState, 4u);
    EXPECT_TRUE(service->Refresh());
    EXPECT_EQ(service->CurrentState(), 4);
}

TEST(Commands, ControlCopiesBackTheRecordThePlatformReturned) {
    auto platform = std::make_shared<SimulatedServiceManager>();
    auto service = loadedService(platform, 4, Stop | PauseContinue);
    platform->findService("Target")->status.dwCheckPoint = 5;
    platform->findService("Target")->status.dwWaitHint = 3000;
    EXPECT_TRUE(service->PauseService());
    EXPECT_EQ(service->CurrentState(), 7);
    EXPECT_EQ(service->CheckPoint(), 5);
    EXPECT_EQ(service->WaitHint(), 3000);
    EXPECT_TRUE(service->StopService());
    EXPECT_EQ(service->CurrentState(), 1);
    EXPECT_EQ(service->ControlsAccepted(), 0);
}

// A platform that fills part of the record and then refuses, as a real one may.
class PartialRefusal : public SimulatedServiceManager {
public:
    int ControlService(RawHandle, std::uint32_t, ServiceStatus* status) override {
        status->dwServiceType = serviceType::Win32OwnProcess;
        status->dwCurrentState = 4;
        return 0;
    }
};

TEST(Commands, RefusedControlStillOverwritesTheStatusFields) {
    auto platform = std::make_shared<SimulatedServiceManager>();
    auto service = loadedService(platform, 4, Stop | PauseContinue);
    platform->failCall("ControlService", error::InvalidServiceControl);
    EXPECT_FALSE(service->StopService());
    EXPECT_EQ(service->CurrentState(), 0);
    EXPECT_EQ(service->ServiceType(), 0);
    EXPECT_EQ(service->ControlsAccepted(), 0);
    expectHandlesClean(*platform);

    auto partial = std::make_shared<PartialRefusal>();
    auto other = loadedService(partial, 4, Stop | PauseContinue);
    partial->findService("Target")->status.dwWaitHint = 99;
    EXPECT_FALSE(other->PauseService());
    EXPECT_EQ(other->CurrentState(), 4);
    EXPECT_EQ(other->ServiceType(), enServiceType::Win32OwnProcess);
    EXPECT_EQ(other->ControlsAccepted(), 0);
    EXPECT_EQ(other->WaitHint(), 0);
}

TEST(Commands, FailedOpensChangeNoField) {
    for (const char* function : {"OpenSCManagerA", "OpenServiceA"}) {
        auto platform = std::make_shared<SimulatedServiceManager>();
        auto service = loadedService(platform, 4, Stop | PauseContinue);
        platform->failCall(function, error::AccessDenied);
        EXPECT_FALSE(service->StopService()) << function;
        EXPECT_EQ(service->CurrentState(), 4) << function;
        EXPECT_EQ(service->ControlsAccepted(), Stop | PauseContinue) << function;
        expectHandlesClean(*platform);
    }
}

TEST(Commands, StartOfDisabledServiceIsRefused) {
    auto platform = std::make_shared<SimulatedServiceManager>();
    auto entry = stoppedService("Off", "Disabled Service");
    entry.startType = 4;
    platform->addService(entry);
    clsService service(platform);
    service.Name(u"Off");
    EXPECT_FALSE(service.StartService());
    EXPECT_EQ(callTo(*platform, {"StartServiceA"}).error, error::ServiceDisabled);
}

struct StateLetCase {
    std::int32_t requested;
    std::uint32_t cached;
    const char* expectedRequest; // nullptr: no platform call
    std::uint32_t number;
};

class CurrentStateLet : public testing::TestWithParam<StateLetCase> {};

TEST_P(CurrentStateLet, PicksTheCommandFromRequestedAndCachedState) {
    const auto& row = GetParam();
    auto platform = std::make_shared<SimulatedServiceManager>();
    auto service = loadedService(platform, row.cached, Stop | PauseContinue);

    service->CurrentState(row.requested);

    if (row.expectedRequest == nullptr) {
        EXPECT_TRUE(platform->calls().empty());
        EXPECT_EQ(service->CurrentState(), static_cast<std::int32_t>(row.cached));
        return;
    }
    EXPECT_EQ(platform->calls().size(), 5u) << describe(platform->calls());
    EXPECT_EQ(callTo(*platform, {row.expectedRequest}).number, row.number);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CurrentStateLet,
    testing::Values(StateLetCase{7, 4, "ControlService", 2}, StateLetCase{4, 1, "StartServiceA", 0},
                    StateLetCase{4, 7, "ControlService", 3},
                    StateLetCase{1, 4, "ControlService", 1}, StateLetCase{4, 4, nullptr, 0},
                    StateLetCase{1, 1, nullptr, 0}, StateLetCase{7, 7, nullptr, 0},
                    StateLetCase{1, 7, nullptr, 0}, StateLetCase{2, 1, nullptr, 0},
                    StateLetCase{3, 4, nullptr, 0}, StateLetCase{5, 7, nullptr, 0},
                    StateLetCase{6, 4, nullptr, 0}, StateLetCase{0, 4, nullptr, 0},
                    StateLetCase{99, 4, nullptr, 0}, StateLetCase{-1, 1, nullptr, 0}),
    ([](const auto& info) {
        const auto& row = info.param;
        return "from_" + numberName(row.cached) + "_to_" + numberName(row.requested) + "_" +
               (row.expectedRequest != nullptr ? row.expectedRequest : std::string("nothing"));
    }));

TEST(CurrentStateLet, RunningOnStoppedStartsAndStillReadsStopped) {
    auto platform = std::make_shared<SimulatedServiceManager>();
    auto service = loadedService(platform, 1, 0);
    service->CurrentState(4);
    EXPECT_EQ(service->CurrentState(), 1);
    EXPECT_EQ(platform->findService("Target")->status.dwCurrentState, 4u);
}

} // namespace
