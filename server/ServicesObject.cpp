// clsServices members: each passes its call to the model collection; the services it hands out
// are the one COM object of each model service.
#include "model/clsServices.h"
#include "server/ServicesObject.h"

#include "server/Peers.h"
#include "server/ServiceObject.h"
#include "server/VariantIndex.h"

namespace tobrunel::server {

ComPtr<_clsServices> ServicesObject::create(std::shared_ptr<scm::ServiceManager> platform) {
    auto model = std::make_shared<clsServices>(std::move(platform));
    return adopt<_clsServices>(std::make_unique<ServicesObject>(std::move(model)).release());
}

ServicesObject::ServicesObject(std::shared_ptr<clsServices> model) : model_(std::move(model)) {}

HRESULT ServicesObject::get_ServicesEnumType(long* result) noexcept {
    return getLong(result, [&] { return model_->ServicesEnumType(); });
}

HRESULT ServicesObject::put_ServicesEnumType(long* lngServicesEnumType) noexcept {
    return putLong(lngServicesEnumType,
                   [&](std::int32_t value) { model_->ServicesEnumType(value); });
}

HRESULT ServicesObject::get_ServicesEnumState(long* result) noexcept {
    return getLong(result, [&] { return model_->ServicesEnumState(); });
}

HRESULT ServicesObject::put_ServicesEnumState(long* lngServicesEnumState) noexcept {
    return putLong(lngServicesEnumState,
                   [&](std::int32_t value) { model_->ServicesEnumState(value); });
}

HRESULT ServicesObject::get_ComputerName(BSTR* result) noexcept {
    return getText(result, [&] { return model_->ComputerName(); });
}

HRESULT ServicesObject::put_ComputerName(BSTR* strComputerName) noexcept {
    return putText(strComputerName,
                   [&](const std::u16string& text) { model_->ComputerName(text); });
}

HRESULT ServicesObject::get_Count(long* result) noexcept {
    return getLong(result, [&] { return model_->Count(); });
}

HRESULT ServicesObject::get_Item(VARIANT* Index, _clsService** result) noexcept {
    return getObject(result,
                     [&] { return peerOf<ServiceObject>(model_->Item(indexFromVariant(Index))); });
}

HRESULT ServicesObject::Delete(VARIANT* Index, VARIANT_BOOL* result) noexcept {
    return getBoolean(result, [&] { return model_->Delete(indexFromVariant(Index)); });
}

HRESULT ServicesObject::Refresh(VARIANT_BOOL* result) noexcept {
    return getBoolean(result, [&] { return model_->Refresh(); });
}

} // namespace tobrunel::server
