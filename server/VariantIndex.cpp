// Reading an Index from a VARIANT.
#include "server/VariantIndex.h"

#include "server/AutomationText.h"

#include <cstdint>
#include <limits>
#include <new>

namespace tobrunel::server {

namespace {

bool isWholeNumber(VARTYPE type) {
    switch (type) {
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
    case VT_BOOL:
        return true;
    default:
        return false;
    }
}

bool isFractionalNumber(VARTYPE type) {
    return type == VT_R4 || type == VT_R8 || type == VT_CY || type == VT_DECIMAL || type == VT_DATE;
}

// Converted holds a VARIANT that this file made and clears it when it goes.
class Converted {
public:
    Converted() noexcept { VariantInit(&value_); }
    Converted(const Converted&) = delete;
    Converted& operator=(const Converted&) = delete;
    ~Converted() { VariantClear(&value_); }
    VARIANT* get() noexcept { return &value_; }

private:
    VARIANT value_;
};

Index positionFrom(Converted& plain, VARTYPE type) {
    Converted number;
    if (isWholeNumber(type)) {
        if (FAILED(VariantChangeType(number.get(), plain.get(), 0, VT_I8))) {
            return {};
        }
        const auto value = V_I8(number.get());
        if (value < std::numeric_limits<std::int32_t>::min() ||
            value > std::numeric_limits<std::int32_t>::max()) {
            return {};
        }
        return Index::position(static_cast<std::int32_t>(value));
    }
    if (FAILED(VariantChangeType(number.get(), plain.get(), 0, VT_R8))) {
        return {};
    }
    return Index::fromNumber(V_R8(number.get()));
}

} // namespace

Index indexFromVariant(const VARIANT* argument) {
    if (argument == nullptr) {
        return {};
    }
    // A copy without references: VT_BYREF|VT_VARIANT and VT_BYREF|VT_BSTR alike become values.
    Converted plain;
    // The platform declares the source without const; it only reads it.
    const HRESULT copied = VariantCopyInd(plain.get(), const_cast<VARIANT*>(argument));
    if (copied == E_OUTOFMEMORY) {
        throw std::bad_alloc();
    }
    if (FAILED(copied)) {
        return {};
    }
    const VARTYPE type = V_VT(plain.get());
    if (type == VT_BSTR) {
        return Index::key(fromBstr(V_BSTR(plain.get())));
    }
    if (isWholeNumber(type) || isFractionalNumber(type)) {
        return positionFrom(plain, type);
    }
    return {};
}

} // namespace tobrunel::server
