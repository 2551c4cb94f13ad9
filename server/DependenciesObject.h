// The COM face of clsSVCDependencies: reached only through clsService.Dependencies, never
// created by clients.
#pragma once

#include "model/clsSVCDependencies.h"
#include "server/AutomationObject.h"
#include "server/Interfaces.h"
#include "server/Peers.h"

#include <memory>

namespace tobrunel::server {

class DependenciesObject final
    : public AutomationObject<_clsSVCDependencies, clsSVCDependenciesClass>,
      public Peer<clsSVCDependencies> {
public:
    // Made through peerOf only, so that a list never has two COM objects.
    explicit DependenciesObject(std::shared_ptr<clsSVCDependencies> model)
        : Peer(std::move(model)) {}

    HRESULT STDMETHODCALLTYPE get_Source(BSTR* result) noexcept override;
    HRESULT STDMETHODCALLTYPE put_Source(BSTR* strSource) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Count(long* result) noexcept override;
    HRESULT STDMETHODCALLTYPE Add(BSTR* strCad) noexcept override;
    HRESULT STDMETHODCALLTYPE Remove(long* lIndex, VARIANT_BOOL* result) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Item(long* lIndex, BSTR* result) noexcept override;
};

} // namespace tobrunel::server
