// The contract's fixture in the native build: a simulated manager holding the services that the
// Windows build installs for real.
#include "SeamContract.h"
#include "tests/support/SimulatedServiceManager.h"

namespace tobrunel::contract {
namespace {

// What the real test service accepts while it runs.
constexpr std::uint32_t AcceptedWhileRunning = scm::controlsAccepted::AcceptStop |
                                               scm::controlsAccepted::AcceptPauseContinue |
                                               scm::controlsAccepted::AcceptShutdown;

ContractService described(const std::string& name, std::uint32_t startType) {
    return ContractService{name, "Tobrunel Contract " + name,
                           "\"C:\\tests\\seam_contract.exe\" --serve " + name, "TobrunelTests",
                           startType};
}

class SimulatedSeam final : public SeamUnderTest {
public:
    SimulatedSeam() {
        for (const auto& service : {demandService(), disabledService(), deletableService()}) {
            scm::SimulatedService entry;
            entry.name = service.name;
            entry.displayName = service.displayName;
            entry.controlsWhenRunning = AcceptedWhileRunning;
            entry.startType = service.startType;
            entry.binaryPathName = service.binaryPath;
            entry.loadOrderGroup = service.loadOrderGroup;
            manager_.addService(entry);
        }
    }

    scm::ServiceManager& manager() override { return manager_; }
    ContractService demandService() const override {
        return described("TobrunelContract", scm::startType::DemandStart);
    }
    ContractService disabledService() const override {
        return described("TobrunelContractOff", scm::startType::Disabled);
    }
    ContractService deletableService() const override {
        return described("TobrunelContractDel", scm::startType::DemandStart);
    }
    bool isWine() const override { return false; }
    void disturbThreadError() override { scm::SimulatedServiceManager::setThreadError(0xdeadbeef); }

private:
    scm::SimulatedServiceManager manager_;
};

} // namespace

std::unique_ptr<SeamUnderTest> makeSeamUnderTest() {
    return std::make_unique<SimulatedSeam>();
}

} // namespace tobrunel::contract
