// The contract's fixture in the Windows build: the platform's own manager through
// Win32ServiceManager, with real test services (this program relaunched with --serve).
#include "scm/Win32ServiceManager.h"
#include "SeamContract.h"
#include "tests/wine-support/TestService.h"

#include <windows.h>

namespace tobrunel::contract {
namespace {

ContractService described(wintest::Role role) {
    const auto installed = wintest::installedAs(role);
    return ContractService{installed.name, installed.displayName, installed.binaryPath,
                           installed.loadOrderGroup, installed.startType};
}

class Win32Seam final : public SeamUnderTest {
public:
    scm::ServiceManager& manager() override { return manager_; }
    ContractService demandService() const override { return described(wintest::Role::Demand); }
    ContractService disabledService() const override { return described(wintest::Role::Disabled); }
    ContractService deletableService() const override {
        return described(wintest::Role::Deletable);
    }
    // Wine's ntdll alone exports wine_get_version; on Windows every documented answer holds.
    bool isWine() const override {
        const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
        return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }
    void disturbThreadError() override { ::SetLastError(0xdeadbeef); }

private:
    scm::Win32ServiceManager manager_;
};

} // namespace

std::unique_ptr<SeamUnderTest> makeSeamUnderTest() {
    return std::make_unique<Win32Seam>();
}

} // namespace tobrunel::contract

int main(int argc, char** argv) {
    using tobrunel::wintest::Role;
    return tobrunel::wintest::runWineTests(argc, argv,
                                           {Role::Demand, Role::Disabled, Role::Deletable});
}
