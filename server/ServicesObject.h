// The COM face of clsServices: created by clients as Velcastra.clsServices; it lists the
// services of its computer at once.
#pragma once

#include "model/clsServices.h"
#include "server/AutomationObject.h"
#include "server/Interfaces.h"

#include <memory>

namespace tobrunel::server {

class ServicesObject final : public AutomationObject<_clsServices, clsServicesClass> {
public:
    // create makes the collection over `platform`; the errors of its first enumeration (error
    // 5 when the platform wrote no computer name) leave as exceptions.
    static ComPtr<_clsServices> create(std::shared_ptr<scm::ServiceManager> platform);

    explicit ServicesObject(std::shared_ptr<clsServices> model);

    HRESULT STDMETHODCALLTYPE get_ServicesEnumType(long* result) noexcept override;
    HRESULT STDMETHODCALLTYPE put_ServicesEnumType(long* lngServicesEnumType) noexcept override;
    HRESULT STDMETHODCALLTYPE get_ServicesEnumState(long* result) noexcept override;
    HRESULT STDMETHODCALLTYPE put_ServicesEnumState(long* lngServicesEnumState) noexcept override;
    HRESULT STDMETHODCALLTYPE get_ComputerName(BSTR* result) noexcept override;
    HRESULT STDMETHODCALLTYPE put_ComputerName(BSTR* strComputerName) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Count(long* result) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Item(VARIANT* Index, _clsService** result) noexcept override;
    HRESULT STDMETHODCALLTYPE Delete(VARIANT* Index, VARIANT_BOOL* result) noexcept override;
    HRESULT STDMETHODCALLTYPE Refresh(VARIANT_BOOL* result) noexcept override;

private:
    std::shared_ptr<clsServices> model_;
};

} // namespace tobrunel::server
