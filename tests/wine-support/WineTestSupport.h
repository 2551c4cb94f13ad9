// What the platform itself reports, read with its own calls beside the object model, and a
// pass-through manager that records the calls the model makes.
#pragma once

#include "scm/ServiceManager.h"

#include <gtest/gtest.h>
#include <windows.h>
// clsService has a command of this name; the platform's function is called by its A name here.
#undef StartService

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace tobrunel::wintest {

// Set as the last error before a call whose error a test asserts, so a stale code cannot pass.
inline constexpr DWORD Sentinel = 0xdeadbeef;

inline constexpr DWORD AllServices = SERVICE_WIN32 | SERVICE_DRIVER;

struct ScmHandleCloser {
    void operator()(SC_HANDLE handle) const noexcept { ::CloseServiceHandle(handle); }
};
// ScmHandle owns one platform handle of the tests' own calls and closes it once.
using ScmHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ScmHandleCloser>;

// OpenedService keeps the manager handle beside the service handle; the service is declared
// last, so it closes first.
struct OpenedService {
    ScmHandle manager;
    ScmHandle service;
    explicit operator bool() const noexcept { return service != nullptr; }
};

ScmHandle openManager(DWORD access);
OpenedService openService(const std::string& name, DWORD access);

// PlatformConfig is QueryServiceConfigA's answer with its texts copied out; `dependencies` keeps
// the list's NULs.
struct PlatformConfig {
    DWORD serviceType;
    DWORD startType;
    DWORD errorControl;
    DWORD tagId;
    std::string binaryPathName;
    std::string loadOrderGroup;
    std::string dependencies;
    std::string serviceStartName;
    std::string displayName;
};

// PlatformView is all the platform says about one service, read through one pair of handles.
struct PlatformView {
    SERVICE_STATUS status;
    PlatformConfig config;
    std::string displayName;
};

struct EnumeratedService {
    std::string name;
    std::string displayName;
    SERVICE_STATUS status;
};

// Each reader opens and closes its own handles and gives nothing when the platform refuses.
std::optional<SERVICE_STATUS> queryStatus(const std::string& name);
std::optional<SERVICE_STATUS_PROCESS> queryStatusProcess(const std::string& name);
std::optional<PlatformConfig> queryConfig(const std::string& name);
std::optional<std::string> displayNameOf(const std::string& name);
std::optional<PlatformView> viewOf(const std::string& name);
std::optional<std::vector<EnumeratedService>> enumerateServices(DWORD type, DWORD state);

// dependencyNames splits a NUL-separated list closed by an empty name.
std::vector<std::string> dependencyNames(const std::string& list);

// wide converts the platform's ANSI text with the platform's own call, independent of the seam.
std::u16string wide(std::string_view ansi);

// computerName is this computer's name as the platform gives it.
std::u16string computerName();

// expectStatusHeld checks that a clsService holds the platform's status record field for field.
template <typename Status, typename Service>
void expectStatusHeld(const Status& status, const Service& service) {
    EXPECT_EQ(static_cast<std::int32_t>(status.dwServiceType), service.ServiceType());
    EXPECT_EQ(static_cast<std::int32_t>(status.dwCurrentState), service.CurrentState());
    EXPECT_EQ(static_cast<std::int32_t>(status.dwControlsAccepted), service.ControlsAccepted());
    EXPECT_EQ(static_cast<std::int32_t>(status.dwWin32ExitCode), service.Win32ExitCode());
    EXPECT_EQ(static_cast<std::int32_t>(status.dwServiceSpecificExitCode),
              service.ServiceSpecificExitCode());
    EXPECT_EQ(static_cast<std::int32_t>(status.dwCheckPoint), service.CheckPoint());
    EXPECT_EQ(static_cast<std::int32_t>(status.dwWaitHint), service.WaitHint());
}

// eventually polls `condition` every 10 ms until it holds or `limit` has passed; Wine's services
// change state within tens of milliseconds, so the limit only guards against a hang.
bool eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds limit = std::chrono::seconds(10));

// startService and stopService bring a service to Running or Stopped with the platform's own
// calls and wait for it; true when it got there.
bool startService(const std::string& name);
bool stopService(const std::string& name);

// RecordingServiceManager passes every call to the real manager and records its name, result and
// the last error right after it, so a test sees whether the model reached the platform at all and
// what the platform handed back.
class RecordingServiceManager final : public scm::ServiceManager {
public:
    struct Call {
        std::string function;
        // the access asked for by an open, the control code of ControlService, else 0
        std::uint32_t argument;
        std::intptr_t result;
        std::uint32_t lastError;
        // the record as QueryServiceStatus or ControlService left it
        std::optional<scm::ServiceStatus> status;
    };

    explicit RecordingServiceManager(std::shared_ptr<scm::ServiceManager> platform);

    const std::vector<Call>& calls() const noexcept { return calls_; }
    // callsTo counts the recorded calls of one function.
    std::size_t callsTo(std::string_view function) const;
    // lastCallTo is the most recent call of one function, if there was one.
    std::optional<Call> lastCallTo(std::string_view function) const;
    void clear() noexcept { calls_.clear(); }

    scm::RawHandle OpenSCManagerA(const char* machineName, const char* databaseName,
                                  std::uint32_t desiredAccess) override;
    scm::RawHandle OpenServiceA(scm::RawHandle manager, const char* serviceName,
                                std::uint32_t desiredAccess) override;
    int CloseServiceHandle(scm::RawHandle handle) override;
    int QueryServiceStatus(scm::RawHandle service, scm::ServiceStatus* status) override;
    int QueryServiceConfigA(scm::RawHandle service, void* buffer, std::uint32_t bufferSize,
                            std::uint32_t* bytesNeeded) override;
    int ControlService(scm::RawHandle service, std::uint32_t control,
                       scm::ServiceStatus* status) override;
    int StartServiceA(scm::RawHandle service, std::uint32_t argumentCount,
                      const char** arguments) override;
    int DeleteService(scm::RawHandle service) override;
    int EnumServicesStatusA(scm::RawHandle manager, std::uint32_t serviceType,
                            std::uint32_t serviceState, void* buffer, std::uint32_t bufferSize,
                            std::uint32_t* bytesNeeded, std::uint32_t* servicesReturned,
                            std::uint32_t* resumeHandle) override;
    int GetServiceDisplayNameA(scm::RawHandle manager, const char* serviceName, char* displayName,
                               std::uint32_t* bufferSize) override;
    int GetServiceKeyNameA(scm::RawHandle manager, const char* displayName, char* serviceName,
                           std::uint32_t* bufferSize) override;
    int GetComputerNameA(char* buffer, std::uint32_t* size) override;
    std::uint32_t lastError() const override { return platform_->lastError(); }
    std::string toAnsi(std::u16string_view text) const override;
    std::u16string fromAnsi(std::string_view text) const override;

private:
    template <typename Result>
    Result record(const char* function, Result result, std::uint32_t argument = 0,
                  const scm::ServiceStatus* status = nullptr) {
        calls_.push_back(Call{function, argument, static_cast<std::intptr_t>(result),
                              platform_->lastError(),
                              status ? std::optional(*status) : std::nullopt});
        return result;
    }

    std::shared_ptr<scm::ServiceManager> platform_;
    std::vector<Call> calls_;
};

} // namespace tobrunel::wintest
