// clsService members: each passes its call to the model service.
#include "model/clsService.h"
#include "server/ServiceObject.h"

#include "server/DependenciesObject.h"
#include "server/Peers.h"

namespace tobrunel::server {

ComPtr<_clsService> ServiceObject::create(std::shared_ptr<scm::ServiceManager> platform) {
    return peerOf<ServiceObject>(std::make_shared<clsService>(std::move(platform)));
}

HRESULT ServiceObject::get_Dependencies(_clsSVCDependencies** result) noexcept {
    return getObject(result, [&] { return peerOf<DependenciesObject>(model_->Dependencies()); });
}

HRESULT ServiceObject::get_TagID(long* result) noexcept {
    return getLong(result, [&] { return model_->TagID(); });
}

HRESULT ServiceObject::get_BinaryPathName(BSTR* result) noexcept {
    return getText(result, [&] { return model_->BinaryPathName(); });
}

HRESULT ServiceObject::get_LoadOrderGroup(BSTR* result) noexcept {
    return getText(result, [&] { return model_->LoadOrderGroup(); });
}

HRESULT ServiceObject::get_StartName(BSTR* result) noexcept {
    return getText(result, [&] { return model_->StartName(); });
}

HRESULT ServiceObject::get_StartType(long* result) noexcept {
    return getLong(result, [&] { return model_->StartType(); });
}

HRESULT ServiceObject::get_StartErrorSeverity(long* result) noexcept {
    return getLong(result, [&] { return model_->StartErrorSeverity(); });
}

HRESULT ServiceObject::get_ComputerName(BSTR* result) noexcept {
    return getText(result, [&] { return model_->ComputerName(); });
}

HRESULT ServiceObject::put_ComputerName(BSTR* strComputerName) noexcept {
    return putText(strComputerName,
                   [&](const std::u16string& text) { model_->ComputerName(text); });
}

HRESULT ServiceObject::get_Win32ExitCode(long* result) noexcept {
    return getLong(result, [&] { return model_->Win32ExitCode(); });
}

HRESULT ServiceObject::get_ServiceSpecificExitCode(long* result) noexcept {
    return getLong(result, [&] { return model_->ServiceSpecificExitCode(); });
}

HRESULT ServiceObject::get_WaitHint(long* result) noexcept {
    return getLong(result, [&] { return model_->WaitHint(); });
}

HRESULT ServiceObject::get_CheckPoint(long* result) noexcept {
    return getLong(result, [&] { return model_->CheckPoint(); });
}

HRESULT ServiceObject::get_Name(BSTR* result) noexcept {
    return getText(result, [&] { return model_->Name(); });
}

HRESULT ServiceObject::put_Name(BSTR* strName) noexcept {
    return putText(strName, [&](const std::u16string& text) { model_->Name(text); });
}

HRESULT ServiceObject::get_DisplayName(BSTR* result) noexcept {
    return getText(result, [&] { return model_->DisplayName(); });
}

HRESULT ServiceObject::put_DisplayName(BSTR* strDisplayName) noexcept {
    return putText(strDisplayName, [&](const std::u16string& text) { model_->DisplayName(text); });
}

HRESULT ServiceObject::get_CurrentState(long* result) noexcept {
    return getLong(result, [&] { return model_->CurrentState(); });
}

HRESULT ServiceObject::put_CurrentState(long* lngState) noexcept {
    return putLong(lngState, [&](std::int32_t state) { model_->CurrentState(state); });
}

HRESULT ServiceObject::get_ServiceType(long* result) noexcept {
    return getLong(result, [&] { return model_->ServiceType(); });
}

HRESULT ServiceObject::get_ControlsAccepted(long* result) noexcept {
    return getLong(result, [&] { return model_->ControlsAccepted(); });
}

HRESULT ServiceObject::StopService(VARIANT_BOOL* result) noexcept {
    return getBoolean(result, [&] { return model_->StopService(); });
}

HRESULT ServiceObject::StartService(VARIANT_BOOL* result) noexcept {
    return getBoolean(result, [&] { return model_->StartService(); });
}

HRESULT ServiceObject::PauseService(VARIANT_BOOL* result) noexcept {
    return getBoolean(result, [&] { return model_->PauseService(); });
}

HRESULT ServiceObject::ContinueService(VARIANT_BOOL* result) noexcept {
    return getBoolean(result, [&] { return model_->ContinueService(); });
}

HRESULT ServiceObject::Refresh(VARIANT_BOOL* result) noexcept {
    return getBoolean(result, [&] { return model_->Refresh(); });
}

} // namespace tobrunel::server
