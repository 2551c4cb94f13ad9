// The COM face of clsService: created by clients as Velcastra.clsService, and by a collection
// for each service it lists.
#pragma once

#include "model/clsService.h"
#include "server/AutomationObject.h"
#include "server/Interfaces.h"
#include "server/Peers.h"

#include <memory>

namespace tobrunel::server {

class ServiceObject final : public AutomationObject<_clsService, clsServiceClass>,
                            public Peer<clsService> {
public:
    // create makes the empty service that a client creates, over `platform`.
    static ComPtr<_clsService> create(std::shared_ptr<scm::ServiceManager> platform);

    // Made through create or peerOf only, so that a service never has two COM objects.
    explicit ServiceObject(std::shared_ptr<clsService> model) : Peer(std::move(model)) {}

    HRESULT STDMETHODCALLTYPE get_Dependencies(_clsSVCDependencies** result) noexcept override;
    HRESULT STDMETHODCALLTYPE get_TagID(long* result) noexcept override;
    HRESULT STDMETHODCALLTYPE get_BinaryPathName(BSTR* result) noexcept override;
    HRESULT STDMETHODCALLTYPE get_LoadOrderGroup(BSTR* result) noexcept override;
    HRESULT STDMETHODCALLTYPE get_StartName(BSTR* result) noexcept override;
    HRESULT STDMETHODCALLTYPE get_StartType(long* result) noexcept override;
    HRESULT STDMETHODCALLTYPE get_StartErrorSeverity(long* result) noexcept override;
    HRESULT STDMETHODCALLTYPE get_ComputerName(BSTR* result) noexcept override;
    HRESULT STDMETHODCALLTYPE put_ComputerName(BSTR* strComputerName) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Win32ExitCode(long* result) noexcept override;
    HRESULT STDMETHODCALLTYPE get_ServiceSpecificExitCode(long* result) noexcept override;
    HRESULT STDMETHODCALLTYPE get_WaitHint(long* result) noexcept override;
    HRESULT STDMETHODCALLTYPE get_CheckPoint(long* result) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* result) noexcept override;
    HRESULT STDMETHODCALLTYPE put_Name(BSTR* strName) noexcept override;
    HRESULT STDMETHODCALLTYPE get_DisplayName(BSTR* result) noexcept override;
    HRESULT STDMETHODCALLTYPE put_DisplayName(BSTR* strDisplayName) noexcept override;
    HRESULT STDMETHODCALLTYPE get_CurrentState(long* result) noexcept override;
    HRESULT STDMETHODCALLTYPE put_CurrentState(long* lngState) noexcept override;
    HRESULT STDMETHODCALLTYPE get_ServiceType(long* result) noexcept override;
    HRESULT STDMETHODCALLTYPE get_ControlsAccepted(long* result) noexcept override;
    HRESULT STDMETHODCALLTYPE StopService(VARIANT_BOOL* result) noexcept override;
    HRESULT STDMETHODCALLTYPE StartService(VARIANT_BOOL* result) noexcept override;
    HRESULT STDMETHODCALLTYPE PauseService(VARIANT_BOOL* result) noexcept override;
    HRESULT STDMETHODCALLTYPE ContinueService(VARIANT_BOOL* result) noexcept override;
    HRESULT STDMETHODCALLTYPE Refresh(VARIANT_BOOL* result) noexcept override;
};

} // namespace tobrunel::server
