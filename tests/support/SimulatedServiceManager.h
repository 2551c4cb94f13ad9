// SimulatedServiceManager: an in-memory service database that answers every call the component
// makes as the platform does, with switches for failures and a log of every call, so the model
// can be tested without Windows.
#pragma once

#include "tests/support/CodePage.h"
#include "scm/ServiceManager.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tobrunel::scm {

namespace simulated {
// Every access right there is: what a caller holds unless a test takes some away.
inline constexpr std::uint32_t EveryRight = ~std::uint32_t{0};
} // namespace simulated

// SimulatedService is one entry of a computer's service database, with texts in ANSI form.
struct SimulatedService {
    std::string name;
    std::string displayName;
    ServiceStatus status{serviceType::Win32OwnProcess, serviceState::Stopped, 0, 0, 0, 0, 0};
    // The controls the service accepts while it runs; a stopped service accepts none.
    std::uint32_t controlsWhenRunning = controlsAccepted::AcceptStop;
    std::uint32_t startType = scm::startType::DemandStart;
    std::uint32_t errorControl = scm::errorControl::NormalError;
    std::uint32_t tagId = 0;
    std::string binaryPathName;
    std::string loadOrderGroup;
    std::string startName = "LocalSystem";
    // The platform's form: every name followed by a NUL, the list closed by one more NUL.
    std::string dependencies = std::string(1, '\0');
    // The service rights a caller may open it with.
    std::uint32_t grantedAccess = simulated::EveryRight;
    bool markedForDelete = false;
};

enum class ConfigText { BinaryPathName, LoadOrderGroup, Dependencies, StartName, DisplayName };

// Call is one entry of the log: the function, its handle, text and numeric arguments (desired
// access for the opens, control code, buffer size, type mask), what it returned and the last
// error it left.
struct Call {
    std::string function;
    RawHandle handle = 0;
    std::string text;
    std::uint32_t access = 0;
    std::uint32_t number = 0;
    std::uintptr_t result = 0;
    std::uint32_t error = 0;
};

class SimulatedServiceManager : public ServiceManager {
public:
    static constexpr std::string_view DefaultComputerName = "SIMHOST";

    SimulatedServiceManager();

    // The database. The empty computer name, and the local name in any letter case, address the
    // local computer; a computer that was never added, or was made unreachable, cannot be opened.
    SimulatedService& addService(SimulatedService service, std::string_view computer = {});
    SimulatedService* findService(std::string_view name, std::string_view computer = {});
    // removeService takes a service out at once, as another program deleting it would.
    void removeService(std::string_view name, std::string_view computer = {});
    void addComputer(std::string_view name);
    void setReachable(std::string_view computer, bool reachable);
    void setLocalComputerName(std::string_view name);
    // The manager rights a caller holds; opening the manager with any other right fails with 5.
    void setGrantedManagerAccess(std::uint32_t access) { grantedManagerAccess_ = access; }

    // Switches. failCall makes the n-th next call of `function` fail with `error`; failAlways
    // makes every call of it fail until clearFailures.
    void failCall(std::string_view function, std::uint32_t error, int occurrence = 1);
    void failAlways(std::string_view function, std::uint32_t error);
    void clearFailures();
    // A configuration text the platform leaves unwritten: its pointer comes back null.
    void leaveUnwritten(ConfigText text) { unwritten_.push_back(text); }
    void leaveServiceNameUnwritten(std::string_view name) { unwrittenNames_.emplace_back(name); }
    void leaveComputerNameUnwritten() { computerNameUnwritten_ = true; }
    // The action runs once, just before the next call of `function` does its work.
    void beforeNextCall(std::string_view function,
                        std::function<void(SimulatedServiceManager&)> action);
    // The most records one enumeration pass returns, whatever the buffer holds.
    void setEnumerationBatchLimit(std::uint32_t limit) { batchLimit_ = limit; }
    // A platform that hands the resume handle back unchanged, as one seen in the field does.
    void setResumeHandleStuck(bool stuck) { resumeStuck_ = stuck; }
    void useCodePage(CodePage codePage) { codePage_ = codePage; }

    // The log. A benchmark turns it off so that it measures the component, not the log.
    void keepLog(bool keep) { logging_ = keep; }
    const std::vector<Call>& calls() const noexcept { return calls_; }
    std::vector<std::string> functionsCalled() const;
    void clearCalls() { calls_.clear(); }
    std::size_t openHandleCount() const noexcept { return handles_.size(); }
    bool isServiceHandle(RawHandle handle) const;
    // Closing a handle that is not open (twice, or never opened) counts here.
    int invalidCloseCount() const noexcept { return invalidCloses_; }
    // True when every service handle in the log was closed before the manager it was opened on.
    bool servicesClosedBeforeManagers() const noexcept { return closeOrderKept_; }

    RawHandle OpenSCManagerA(const char* machineName, const char* databaseName,
                             std::uint32_t desiredAccess) override;
    RawHandle OpenServiceA(RawHandle manager, const char* serviceName,
                           std::uint32_t desiredAccess) override;
    int CloseServiceHandle(RawHandle handle) override;
    int QueryServiceStatus(RawHandle service, ServiceStatus* status) override;
    int QueryServiceConfigA(RawHandle service, void* buffer, std::uint32_t bufferSize,
                            std::uint32_t* bytesNeeded) override;
    int ControlService(RawHandle service, std::uint32_t control, ServiceStatus* status) override;
    int StartServiceA(RawHandle service, std::uint32_t argumentCount,
                      const char** arguments) override;
    int DeleteService(RawHandle service) override;
    int EnumServicesStatusA(RawHandle manager, std::uint32_t serviceType,
                            std::uint32_t serviceState, void* buffer, std::uint32_t bufferSize,
                            std::uint32_t* bytesNeeded, std::uint32_t* servicesReturned,
                            std::uint32_t* resumeHandle) override;
    int GetServiceDisplayNameA(RawHandle manager, const char* serviceName, char* displayName,
                               std::uint32_t* bufferSize) override;
    int GetServiceKeyNameA(RawHandle manager, const char* displayName, char* serviceName,
                           std::uint32_t* bufferSize) override;
    int GetComputerNameA(char* buffer, std::uint32_t* size) override;
    std::uint32_t lastError() const override { return lastError_; }
    // The thread's last error, which every call sets as the platform's do; lastError() reads the
    // copy taken as the call returned, so whatever sets it between two calls goes unseen.
    static void setThreadError(std::uint32_t error) noexcept;

    std::string toAnsi(std::u16string_view text) const override;
    std::u16string fromAnsi(std::string_view text) const override;

private:
    // Services keep their order of addition; the index by case-folded name keeps lookups
    // constant-time, so ten thousand services simulate as fast as ten.
    struct Computer {
        std::string name;
        bool reachable = true;
        std::vector<std::unique_ptr<SimulatedService>> services;
        std::unordered_map<std::string, SimulatedService*> byName;
    };
    struct OpenHandle {
        std::string computer;
        std::string service; // empty for a manager handle
        RawHandle manager = 0;
        std::uint32_t access = 0;
    };
    enum class HandleKind { Manager, Service };
    struct Failure {
        std::string function;
        std::uint32_t error;
        int remaining; // calls to let through first; -1 for every call
    };

    Call& begin(std::string_view function, RawHandle handle = 0, std::string_view text = {},
                std::uint32_t access = 0, std::uint32_t number = 0);
    std::optional<std::uint32_t> injectedFailure(std::string_view function);
    int fail(Call& call, std::uint32_t error);
    int succeed(Call& call, std::uintptr_t result = 1);
    std::string fold(std::string_view text) const;
    Computer* findComputer(std::string_view name);
    const OpenHandle* handleOf(RawHandle handle, bool wantService) const;
    // admit runs the steps every call on an open handle begins with: a failure a test asked for,
    // a handle that is not open or not of the kind the call takes (6), and a right the handle was
    // not opened with (5). It gives the handle, or nullptr once it has failed the call.
    const OpenHandle* admit(Call& call, RawHandle handle, HandleKind kind, std::uint32_t right = 0);
    RawHandle newHandle(OpenHandle opened);
    SimulatedService* serviceOf(const OpenHandle& handle);
    bool isUnwritten(ConfigText text) const;
    void removeIfDeleted(const std::string& computer, const std::string& service);

    static constexpr RawHandle FirstHandle = 0x1000;
    static constexpr std::uint32_t NoBatchLimit = 0xFFFFFFFF;

    std::vector<Computer> computers_;
    std::map<RawHandle, OpenHandle> handles_;
    RawHandle nextHandle_ = FirstHandle;
    std::uint32_t grantedManagerAccess_ = simulated::EveryRight;
    std::vector<Failure> failures_;
    std::vector<ConfigText> unwritten_;
    std::vector<std::string> unwrittenNames_;
    bool computerNameUnwritten_ = false;
    std::vector<std::pair<std::string, std::function<void(SimulatedServiceManager&)>>> actions_;
    std::uint32_t batchLimit_ = NoBatchLimit;
    bool resumeStuck_ = false;
    CodePage codePage_ = CodePage::Windows1252;
    std::vector<Call> calls_;
    bool logging_ = true;
    Call unlogged_;
    std::uint32_t lastError_ = 0;
    int invalidCloses_ = 0;
    bool closeOrderKept_ = true;
};

} // namespace tobrunel::scm
