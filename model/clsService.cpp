// The service object: name resolution, the two-phase refresh and the control commands.
#include "model/clsService.h"

#include "model/Enumerations.h"
#include "base/Text.h"
#include "scm/Conversions.h"
#include "scm/ScHandle.h"

#include <utility>
#include <vector>

namespace tobrunel {

using namespace scm;

clsService::clsService(std::shared_ptr<ServiceManager> platform) : platform_(std::move(platform)) {}

std::shared_ptr<clsSVCDependencies> clsService::Dependencies() {
    if (!dependencies_) {
        dependencies_ = std::make_shared<clsSVCDependencies>();
    }
    return dependencies_;
}

void clsService::ComputerName(std::u16string_view strComputerName) {
    computerName_ = trimSpaces(strComputerName);
}

void clsService::ClearServiceData(bool bKeepNames) {
    if (!bKeepNames) {
        name_.clear();
        displayName_.clear();
    }
    // A client that holds the old list keeps it, with its names.
    dependencies_ = std::make_shared<clsSVCDependencies>();
    currentState_ = serviceType_ = controlsAccepted_ = 0;
    win32ExitCode_ = serviceSpecificExitCode_ = checkPoint_ = waitHint_ = 0;
    startType_ = startErrorSeverity_ = 0;
    binaryPathName_.clear();
    loadOrderGroup_.clear();
    startName_.clear();
    tagId_ = 0;
}

void clsService::Name(std::u16string_view strName) {
    name_ = trimSpaces(strName);
    resolve(&ServiceManager::GetServiceDisplayNameA, name_, displayName_);
}

void clsService::DisplayName(std::u16string_view strDisplayName) {
    displayName_ = trimSpaces(strDisplayName);
    resolve(&ServiceManager::GetServiceKeyNameA, displayName_, name_);
}

void clsService::resolve(scm::NameLookup lookup, const std::u16string& given,
                         std::u16string& other) {
    // The lookup's manager handle stays open until the refresh that follows has returned.
    const auto manager = openManager(*platform_, computerName_, access::GenericRead);
    std::u16string found;
    if (!manager || !readName(*platform_, lookup, manager.get(), given, found)) {
        ClearServiceData(false);
        return;
    }
    other = std::move(found);
    Refresh();
}

bool clsService::Refresh() {
    ClearServiceData(true);
    if (!readStatus()) {
        return false;
    }
    readConfiguration();
    return true;
}

bool clsService::readStatus() {
    const auto opened = openService(*platform_, computerName_, name_,
                                    access::ScManagerEnumerateService, access::ServiceQueryStatus);
    ServiceStatus status{};
    if (!opened || platform_->QueryServiceStatus(opened.service.get(), &status) == 0) {
        return false;
    }
    copyStatus(status);
    return true;
}

void clsService::readConfiguration() {
    const auto opened = openService(*platform_, computerName_, name_, access::ScManagerConnect,
                                    access::ServiceQueryConfig);
    if (!opened) {
        return;
    }
    const auto service = opened.service.get();
    // Probe with one byte and a declared size of 0; only "buffer too small" tells the size.
    std::vector<std::byte> buffer(1);
    std::uint32_t bytesNeeded = 0;
    if (platform_->QueryServiceConfigA(service, buffer.data(), 0, &bytesNeeded) != 0 ||
        platform_->lastError() != error::InsufficientBuffer) {
        return;
    }
    buffer.assign(static_cast<std::size_t>(bytesNeeded) + 1, std::byte{0});
    if (platform_->QueryServiceConfigA(service, buffer.data(), bytesNeeded, &bytesNeeded) == 0) {
        return;
    }
    const PlatformBuffer filled(buffer);
    const auto record = readConfigRecord(filled);
    const auto binaryPathName = bufferCopy(*platform_, filled, record.lpBinaryPathName);
    const auto loadOrderGroup = bufferCopy(*platform_, filled, record.lpLoadOrderGroup);
    const auto startName = bufferCopy(*platform_, filled, record.lpServiceStartName);
    const auto dependencyText = listCopy(*platform_, filled, record.lpDependencies);
    const auto displayName = bufferCopy(*platform_, filled, record.lpDisplayName);

    // Each field takes its text only once the text is known to be whole, so a text the platform
    // left unwritten stops the refresh with error 5 without leaving filler in a field.
    binaryPathName_ = cutAtNul(binaryPathName);
    loadOrderGroup_ = cutAtNul(loadOrderGroup);
    startName_ = cutAtNul(startName);
    Dependencies()->Source(dependencyText);
    displayName_ = cutAtNul(displayName);
    startType_ = static_cast<std::int32_t>(record.dwStartType);
    startErrorSeverity_ = static_cast<std::int32_t>(record.dwErrorControl);
    tagId_ = static_cast<std::int32_t>(record.dwTagId);
}

void clsService::copyStatus(const ServiceStatus& status) noexcept {
    serviceType_ = static_cast<std::int32_t>(status.dwServiceType);
    currentState_ = static_cast<std::int32_t>(status.dwCurrentState);
    controlsAccepted_ = static_cast<std::int32_t>(status.dwControlsAccepted);
    win32ExitCode_ = static_cast<std::int32_t>(status.dwWin32ExitCode);
    serviceSpecificExitCode_ = static_cast<std::int32_t>(status.dwServiceSpecificExitCode);
    checkPoint_ = static_cast<std::int32_t>(status.dwCheckPoint);
    waitHint_ = static_cast<std::int32_t>(status.dwWaitHint);
}

bool clsService::sendControl(std::uint32_t managerAccess, std::uint32_t serviceAccess,
                             std::uint32_t control) {
    const auto opened = openService(*platform_, computerName_, name_, managerAccess, serviceAccess);
    if (!opened) {
        return false;
    }
    // The record is copied back even after a refusal: fields the platform did not fill read 0.
    ServiceStatus status{};
    const bool sent = platform_->ControlService(opened.service.get(), control, &status) != 0;
    copyStatus(status);
    return sent;
}

bool clsService::StopService() {
    const bool acceptsStop = (controlsAccepted_ & enControlsAccepted::AcceptStop) != 0;
    const bool settled = currentState_ != enServiceStatus::Stopped &&
                         currentState_ != enServiceStatus::StartPending &&
                         currentState_ != enServiceStatus::StopPending &&
                         currentState_ != enServiceStatus::ContinuePending &&
                         currentState_ != enServiceStatus::PausePending;
    if (!acceptsStop || !settled) {
        return false;
    }
    return sendControl(access::ScManagerModifyBootConfig, access::ServiceStop, control::Stop);
}

bool clsService::StartService() {
    if (currentState_ != enServiceStatus::Stopped) {
        return false;
    }
    const auto opened = openService(*platform_, computerName_, name_,
                                    access::ScManagerQueryLockStatus, access::ServiceStart);
    return opened && platform_->StartServiceA(opened.service.get(), 0, nullptr) != 0;
}

bool clsService::PauseService() {
    if ((controlsAccepted_ & enControlsAccepted::AcceptPauseContinue) == 0 ||
        currentState_ != enServiceStatus::Running) {
        return false;
    }
    return sendControl(access::GenericExecute, access::ServicePauseContinue, control::Pause);
}

bool clsService::ContinueService() {
    if ((controlsAccepted_ & enControlsAccepted::AcceptPauseContinue) == 0 ||
        currentState_ != enServiceStatus::Paused) {
        return false;
    }
    return sendControl(access::GenericExecute, access::ServicePauseContinue, control::Continue);
}

void clsService::CurrentState(std::int32_t lngState) {
    using namespace enServiceStatus;
    if (lngState == Paused && currentState_ == Running) {
        PauseService();
    } else if (lngState == Running && currentState_ == Stopped) {
        StartService();
    } else if (lngState == Running && currentState_ == Paused) {
        ContinueService();
    } else if (lngState == Stopped && currentState_ == Running) {
        StopService();
    }
}

} // namespace tobrunel
