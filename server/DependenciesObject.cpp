// clsSVCDependencies members: each passes its call to the model list.
#include "model/clsSVCDependencies.h"
#include "server/DependenciesObject.h"

namespace tobrunel::server {

HRESULT DependenciesObject::get_Source(BSTR* result) noexcept {
    return getText(result, [&] { return model_->Source(); });
}

HRESULT DependenciesObject::put_Source(BSTR* strSource) noexcept {
    return putText(strSource, [&](const std::u16string& text) { model_->Source(text); });
}

HRESULT DependenciesObject::get_Count(long* result) noexcept {
    return getLong(result, [&] { return model_->Count(); });
}

HRESULT DependenciesObject::Add(BSTR* strCad) noexcept {
    return putText(strCad, [&](const std::u16string& text) { model_->Add(text); });
}

HRESULT DependenciesObject::Remove(long* lIndex, VARIANT_BOOL* result) noexcept {
    return getBoolean(result, [&] { return lIndex != nullptr && model_->Remove(*lIndex); });
}

HRESULT DependenciesObject::get_Item(long* lIndex, BSTR* result) noexcept {
    return getText(result, [&] { return lIndex != nullptr ? model_->Item(*lIndex) : u""; });
}

} // namespace tobrunel::server
