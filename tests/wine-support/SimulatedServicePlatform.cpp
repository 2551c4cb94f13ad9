// The platform of TobrunelSimulated.dll, a test build of the server: an in-memory service
// database whose fault the test chooses through the environment before it creates an object,
// so that the automation errors of the model reach a client as they would from a real platform.
#include "tests/support/SimulatedServiceManager.h"
#include "server/ServicePlatform.h"

#include <windows.h>

#include <string>

namespace tobrunel::server {

std::shared_ptr<scm::ServiceManager> makeServicePlatform() {
    auto platform = std::make_shared<scm::SimulatedServiceManager>();
    for (const char* name : {"Alpha", "Beta"}) {
        scm::SimulatedService service;
        service.name = name;
        service.displayName = std::string(name) + " Service";
        platform->addService(std::move(service));
    }

    // The process environment, not the C runtime's copy, so a test's SetEnvironmentVariable
    // counts at once.
    char chosen[64] = {};
    GetEnvironmentVariableA("TOBRUNEL_SIMULATED_FAULT", chosen, sizeof chosen);
    const std::string fault = chosen;
    if (fault == "computer-name") {
        // Creating a collection then fails with error 5.
        platform->leaveComputerNameUnwritten();
    } else if (fault == "service-names") {
        // Both services then read back the empty name: the second key is a duplicate, 457.
        platform->leaveServiceNameUnwritten("Alpha");
        platform->leaveServiceNameUnwritten("Beta");
    } else if (fault == "service-names-on-refresh") {
        // The same, from the second enumeration on: the collection is created, and its
        // Refresh fails with 457.
        platform->beforeNextCall("EnumServicesStatusA", [](scm::SimulatedServiceManager& first) {
            first.beforeNextCall("EnumServicesStatusA", [](scm::SimulatedServiceManager& later) {
                later.leaveServiceNameUnwritten("Alpha");
                later.leaveServiceNameUnwritten("Beta");
            });
        });
    } else if (fault == "binary-path") {
        // Every refresh of a service then fails with error 5.
        platform->leaveUnwritten(scm::ConfigText::BinaryPathName);
    }
    return platform;
}

} // namespace tobrunel::server
