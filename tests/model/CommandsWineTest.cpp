// The service commands on a real service under Wine's service control manager: what reaches the
// platform, what it answers, and what the object caches from the answer.
#include "model/Enumerations.h"
#include "model/clsService.h"
#include "scm/Win32ServiceManager.h"
#include "tests/wine-support/TestService.h"
#include "tests/wine-support/WineTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>

namespace tobrunel::wintest {
namespace {

using namespace enServiceStatus;

class CommandsWineTest : public ::testing::Test {
protected:
    // serviceNamed loads the service, then forgets the calls of the load.
    std::shared_ptr<clsService> serviceNamed(const std::string& name) {
        auto service = std::make_shared<clsService>(recording);
        service->Name(wide(name));
        recording->clear();
        return service;
    }

    // refreshUntil polls Refresh until the cached state is `state`, and keeps every state it saw.
    bool refreshUntil(clsService& service, std::int32_t state) {
        return eventually([&] {
            service.Refresh();
            seen.insert(service.CurrentState());
            return service.CurrentState() == state;
        });
    }

    // expectStatusAsReturned checks that the object holds the record that the one control request
    // brought back, field for field.
    void expectStatusAsReturned(const clsService& service, std::uint32_t control) {
        ASSERT_EQ(1u, recording->callsTo("ControlService"));
        const auto call = recording->lastCallTo("ControlService");
        EXPECT_EQ(control, call->argument);
        ASSERT_TRUE(call->status);
        const auto& status = *call->status;
        expectStatusHeld(status, service);
    }

    // expectPending checks the pending state that the test service reports from its handler.
    static void expectPending(const clsService& service, std::int32_t state,
                              std::int32_t controlsAccepted) {
        EXPECT_EQ(SERVICE_WIN32_OWN_PROCESS, service.ServiceType());
        EXPECT_EQ(state, service.CurrentState());
        EXPECT_EQ(controlsAccepted, service.ControlsAccepted());
        EXPECT_EQ(static_cast<std::int32_t>(PendingCheckPoint), service.CheckPoint());
        EXPECT_EQ(static_cast<std::int32_t>(PendingWaitHint), service.WaitHint());
    }

    std::shared_ptr<RecordingServiceManager> recording =
        std::make_shared<RecordingServiceManager>(std::make_shared<scm::Win32ServiceManager>());
    const InstalledService installed = installedAs(Role::Demand);
    std::set<std::int32_t> seen;
};

TEST_F(CommandsWineTest, StartIsTakenButTheCachedStateWaitsForRefresh) {
    ASSERT_TRUE(stopService(installed.name));
    const auto service = serviceNamed(installed.name);
    ASSERT_EQ(Stopped, service->CurrentState());

    EXPECT_TRUE(service->StartService());
    EXPECT_EQ(1u, recording->callsTo("StartServiceA"));
    EXPECT_EQ(Stopped, service->CurrentState());
    EXPECT_EQ(0, service->ControlsAccepted());

    ASSERT_TRUE(refreshUntil(*service, Running));
    for (const auto state : seen) {
        EXPECT_TRUE(state == StartPending || state == Running) << state;
    }
    EXPECT_EQ(static_cast<std::int32_t>(AcceptedControls), service->ControlsAccepted());
    EXPECT_EQ(0, service->CheckPoint());
    EXPECT_EQ(0, service->WaitHint());

    recording->clear();
    EXPECT_FALSE(service->StartService());
    EXPECT_TRUE(recording->calls().empty());
    // The platform runs the test program itself as the service.
    const auto process = queryStatusProcess(installed.name);
    ASSERT_TRUE(process);
    EXPECT_NE(0u, process->dwProcessId);
}

TEST_F(CommandsWineTest, PauseContinueAndStopCacheWhatThePlatformReturned) {
    ASSERT_TRUE(startService(installed.name));
    const auto service = serviceNamed(installed.name);
    ASSERT_EQ(Running, service->CurrentState());

    EXPECT_TRUE(service->PauseService());
    expectStatusAsReturned(*service, SERVICE_CONTROL_PAUSE);
    expectPending(*service, PausePending, AcceptedControls);
    ASSERT_TRUE(refreshUntil(*service, Paused));

    recording->clear();
    EXPECT_FALSE(service->PauseService());
    EXPECT_TRUE(recording->calls().empty());
    EXPECT_EQ(Paused, service->CurrentState());

    EXPECT_TRUE(service->ContinueService());
    expectStatusAsReturned(*service, SERVICE_CONTROL_CONTINUE);
    expectPending(*service, ContinuePending, AcceptedControls);
    ASSERT_TRUE(refreshUntil(*service, Running));

    recording->clear();
    EXPECT_TRUE(service->StopService());
    const auto afterStop = queryStatus(installed.name);
    expectStatusAsReturned(*service, SERVICE_CONTROL_STOP);
    expectPending(*service, StopPending, 0);
    ASSERT_TRUE(afterStop);
    EXPECT_TRUE(afterStop->dwCurrentState == SERVICE_STOP_PENDING ||
                afterStop->dwCurrentState == SERVICE_STOPPED)
        << afterStop->dwCurrentState;
    ASSERT_TRUE(refreshUntil(*service, Stopped));

    recording->clear();
    EXPECT_FALSE(service->StopService());
    EXPECT_TRUE(recording->calls().empty());
}

TEST_F(CommandsWineTest, AStopOnAStaleRunningStateReachesThePlatformWhichRefusesIt) {
    ASSERT_TRUE(startService(installed.name));
    const auto service = serviceNamed(installed.name);
    ASSERT_EQ(Running, service->CurrentState());
    ASSERT_TRUE(stopService(installed.name));

    ::SetLastError(Sentinel);
    EXPECT_FALSE(service->StopService());
    const auto call = recording->lastCallTo("ControlService");
    ASSERT_TRUE(call);
    EXPECT_EQ(0, call->result);
    EXPECT_EQ(static_cast<std::uint32_t>(ERROR_SERVICE_NOT_ACTIVE), call->lastError);
    // Whatever the refused request left in the record is what the object now holds.
    expectStatusAsReturned(*service, SERVICE_CONTROL_STOP);
}

TEST_F(CommandsWineTest, CurrentStateLetPicksTheCommandFromTheCachedState) {
    ASSERT_TRUE(stopService(installed.name));
    const auto service = serviceNamed(installed.name);
    ASSERT_EQ(Stopped, service->CurrentState());

    // Each row starts from the state the row before settled in.
    struct Row {
        std::int32_t requested;
        std::int32_t cached;
        const char* request;    // the call that must reach the platform, or nullptr
        std::uint32_t control;  // its control code, for ControlService
        std::int32_t settlesIn; // the state a Refresh then finds
    };
    const Row rows[] = {
        {Running, Stopped, "StartServiceA", 0, Running},
        {Running, Running, nullptr, 0, Running},
        {Paused, Running, "ControlService", SERVICE_CONTROL_PAUSE, Paused},
        {Stopped, Paused, nullptr, 0, Paused},
        {PausePending, Paused, nullptr, 0, Paused},
        {Running, Paused, "ControlService", SERVICE_CONTROL_CONTINUE, Running},
        {StartPending, Running, nullptr, 0, Running},
        {Stopped, Running, "ControlService", SERVICE_CONTROL_STOP, Stopped},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.requested << " on " << row.cached);
        ASSERT_EQ(row.cached, service->CurrentState());
        recording->clear();
        service->CurrentState(row.requested);
        if (row.request == nullptr) {
            EXPECT_TRUE(recording->calls().empty());
            EXPECT_EQ(row.cached, service->CurrentState());
        } else {
            const auto call = recording->lastCallTo(row.request);
            ASSERT_TRUE(call);
            EXPECT_NE(0, call->result);
            EXPECT_EQ(row.control, call->argument);
        }
        if (row.request != nullptr && std::string_view(row.request) == "StartServiceA") {
            // A start copies nothing back.
            EXPECT_EQ(Stopped, service->CurrentState());
        }
        ASSERT_TRUE(refreshUntil(*service, row.settlesIn));
    }
}

TEST_F(CommandsWineTest, TheDisabledServiceRefusesToStart) {
    const auto disabled = installedAs(Role::Disabled);
    const auto service = serviceNamed(disabled.name);
    ASSERT_EQ(Stopped, service->CurrentState());
    ASSERT_EQ(SERVICE_DISABLED, service->StartType());

    ::SetLastError(Sentinel);
    EXPECT_FALSE(service->StartService());
    const auto call = recording->lastCallTo("StartServiceA");
    ASSERT_TRUE(call);
    EXPECT_EQ(0, call->result);
    EXPECT_EQ(static_cast<std::uint32_t>(ERROR_SERVICE_DISABLED), call->lastError);
    EXPECT_TRUE(service->Refresh());
    EXPECT_EQ(Stopped, service->CurrentState());
}

TEST_F(CommandsWineTest, TheSpoolerMakesARoundTripAndIsLeftAsItWasFound) {
    const auto service = serviceNamed("Spooler");
    const auto found = service->CurrentState();
    ASSERT_TRUE(found == Stopped || found == Running) << found;

    // The spooler takes no pause, so the precondition stops a pause before the platform.
    using Command = std::function<bool()>;
    const Command start = [&] { return service->StartService(); };
    const Command stop = [&] { return service->StopService(); };
    const Command pause = [&] { return service->PauseService(); };
    const std::pair<Command, std::int32_t> steps[] = {
        found == Stopped ? std::pair{start, Running} : std::pair{stop, Stopped},
        found == Stopped ? std::pair{stop, Stopped} : std::pair{start, Running},
    };
    for (const auto& [command, reached] : steps) {
        recording->clear();
        EXPECT_FALSE(pause());
        EXPECT_TRUE(recording->calls().empty());
        EXPECT_TRUE(command());
        ASSERT_TRUE(refreshUntil(*service, reached));
    }
    EXPECT_EQ(found, service->CurrentState());
    EXPECT_EQ(0, service->ControlsAccepted() & enControlsAccepted::AcceptPauseContinue);
}

} // namespace
} // namespace tobrunel::wintest

int main(int argc, char** argv) {
    using tobrunel::wintest::Role;
    return tobrunel::wintest::runWineTests(argc, argv, {Role::Demand, Role::Disabled});
}
