// A simulated computer with a few services, and checks on the handles a test left behind.
#pragma once

#include "tests/support/SimulatedServiceManager.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace tobrunel::testing_support {

inline scm::SimulatedService
runningService(std::string name, std::string displayName,
               std::uint32_t controls = scm::controlsAccepted::AcceptStop |
                                        scm::controlsAccepted::AcceptPauseContinue |
                                        scm::controlsAccepted::AcceptShutdown) {
    scm::SimulatedService service;
    service.name = std::move(name);
    service.displayName = std::move(displayName);
    service.status = scm::ServiceStatus{
        scm::serviceType::Win32OwnProcess, scm::serviceState::Running, controls, 0, 0, 0, 0};
    service.controlsWhenRunning = controls;
    service.binaryPathName = "C:\\windows\\system32\\" + service.name + ".exe";
    return service;
}

inline scm::SimulatedService stoppedService(std::string name, std::string displayName) {
    auto service = runningService(std::move(name), std::move(displayName));
    service.status.dwCurrentState = scm::serviceState::Stopped;
    service.status.dwControlsAccepted = 0;
    return service;
}

// expectHandlesClean checks what every operation owes the platform: every handle it opened is
// closed, each once, the service before its manager.
inline void expectHandlesClean(const scm::SimulatedServiceManager& platform) {
    EXPECT_EQ(platform.openHandleCount(), 0u);
    EXPECT_EQ(platform.invalidCloseCount(), 0);
    EXPECT_TRUE(platform.servicesClosedBeforeManagers());
}

} // namespace tobrunel::testing_support
