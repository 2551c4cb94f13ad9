// clsService: one service of one computer, with a cached copy of what the service control
// manager last reported about it and the commands that change its running state.
#pragma once

#include "model/AutomationPeer.h"
#include "model/clsSVCDependencies.h"
#include "scm/Conversions.h"
#include "scm/ServiceManager.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tobrunel {

// clsService owns its dependency list and shares the platform with whoever made it. Every read
// returns the cache; Refresh, the name setters and the commands are the only calls that reach
// the platform, each opening and closing its own handles. A failed platform call shows as a
// false result or emptied fields, never as an error; runtime errors (error 5 for a text the
// platform left unwritten, errors of the dependency list) pass to the caller.
class clsService {
public:
    explicit clsService(std::shared_ptr<scm::ServiceManager> platform);

    std::shared_ptr<clsSVCDependencies> Dependencies();
    std::int32_t TagID() const noexcept { return tagId_; }
    const std::u16string& BinaryPathName() const noexcept { return binaryPathName_; }
    const std::u16string& LoadOrderGroup() const noexcept { return loadOrderGroup_; }
    const std::u16string& StartName() const noexcept { return startName_; }
    std::int32_t StartType() const noexcept { return startType_; }
    std::int32_t StartErrorSeverity() const noexcept { return startErrorSeverity_; }
    const std::u16string& ComputerName() const noexcept { return computerName_; }
    void ComputerName(std::u16string_view strComputerName);
    std::int32_t Win32ExitCode() const noexcept { return win32ExitCode_; }
    std::int32_t ServiceSpecificExitCode() const noexcept { return serviceSpecificExitCode_; }
    std::int32_t WaitHint() const noexcept { return waitHint_; }
    std::int32_t CheckPoint() const noexcept { return checkPoint_; }
    const std::u16string& Name() const noexcept { return name_; }
    void Name(std::u16string_view strName);
    const std::u16string& DisplayName() const noexcept { return displayName_; }
    void DisplayName(std::u16string_view strDisplayName);
    std::int32_t CurrentState() const noexcept { return currentState_; }
    void CurrentState(std::int32_t lngState);
    std::int32_t ServiceType() const noexcept { return serviceType_; }
    std::int32_t ControlsAccepted() const noexcept { return controlsAccepted_; }

    bool StopService();
    bool StartService();
    bool PauseService();
    bool ContinueService();
    bool Refresh();

    // The server's COM object for this service while one exists; see clsSVCDependencies.
    AutomationPeer* automationPeer = nullptr;

private:
    void ClearServiceData(bool bKeepNames);
    // resolve looks up the name that goes with `given` into `other` and refreshes, or, when the
    // platform knows no such name, clears both names and the cache.
    void resolve(scm::NameLookup lookup, const std::u16string& given, std::u16string& other);
    bool readStatus();
    void readConfiguration();
    bool sendControl(std::uint32_t managerAccess, std::uint32_t serviceAccess,
                     std::uint32_t control);
    void copyStatus(const scm::ServiceStatus& status) noexcept;

    std::shared_ptr<scm::ServiceManager> platform_;

    std::u16string name_;
    std::u16string displayName_;
    std::int32_t currentState_ = 0;
    std::int32_t serviceType_ = 0;
    std::int32_t controlsAccepted_ = 0;
    std::int32_t win32ExitCode_ = 0;
    std::int32_t serviceSpecificExitCode_ = 0;
    std::int32_t checkPoint_ = 0;
    std::int32_t waitHint_ = 0;
    std::int32_t startType_ = 0;
    std::int32_t startErrorSeverity_ = 0;
    std::u16string binaryPathName_;
    std::u16string loadOrderGroup_;
    std::int32_t tagId_ = 0;
    std::u16string startName_;
    std::shared_ptr<clsSVCDependencies> dependencies_;
    std::u16string computerName_;
};

} // namespace tobrunel
