// Win32ServiceManager: the seam over the real service control manager of advapi32 and kernel32,
// for the Windows build only. Deliberately free of <windows.h>, so its macros stay out of the
// model.
#pragma once

#include "scm/ServiceManager.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tobrunel::scm {

// Win32ServiceManager passes each call straight to its platform namesake and keeps the platform's
// last error of that call, so conversions made between two calls do not disturb it. Texts cross in
// the system's ANSI code page.
class Win32ServiceManager final : public ServiceManager {
public:
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

    // Both conversions take the text over its whole length, NULs included.
    std::string toAnsi(std::u16string_view text) const override;
    std::u16string fromAnsi(std::string_view text) const override;

private:
    void keepLastError();

    std::uint32_t lastError_ = 0;
};

} // namespace tobrunel::scm
