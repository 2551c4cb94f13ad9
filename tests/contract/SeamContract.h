// The contract of the seam (scm/ServiceManager.h): one suite of cases, run against the simulated
// manager in the native build and against the platform's own manager under Wine.
#pragma once

#include "scm/ServiceManager.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tobrunel::contract {

// ContractService is a service that the fixture installed for the suite, as the suite expects to
// read it back: a Win32 own-process service, stopped, with the default error control, that
// accepts stop and pause/continue while it runs.
struct ContractService {
    std::string name;
    std::string displayName;
    std::string binaryPath;
    std::string loadOrderGroup;
    std::uint32_t startType;
};

// SeamUnderTest is what each build provides for one case: the manager under test and the
// services it holds. The services of a case start stopped; a case that starts one stops it again.
class SeamUnderTest {
public:
    virtual ~SeamUnderTest() = default;
    virtual scm::ServiceManager& manager() = 0;
    // Demand start, the service the cases start, pause and stop.
    virtual ContractService demandService() const = 0;
    // Disabled start.
    virtual ContractService disabledService() const = 0;
    // Demand start; one case deletes it.
    virtual ContractService deletableService() const = 0;
    // The platform's own manager under Wine, where a few documented answers differ.
    virtual bool isWine() const = 0;
    // disturbThreadError sets the thread's last error behind the manager's back, as another
    // module would between two calls.
    virtual void disturbThreadError() = 0;
};

// makeSeamUnderTest is defined once in each build.
std::unique_ptr<SeamUnderTest> makeSeamUnderTest();

} // namespace tobrunel::contract
