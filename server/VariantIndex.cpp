// Reading an Index from a VARIANT: the references are followed here, the decision is portable
// (server/IndexConversion.h).
#include "server/VariantIndex.h"

#include "server/AutomationText.h"
#include "server/IndexConversion.h"

#include <new>

namespace tobrunel::server {

namespace {

// The portable type codes are the platform's own.
static_assert(VariantTypeCode::Text == VT_BSTR && VariantTypeCode::Decimal == VT_DECIMAL &&
              VariantTypeCode::UInt == VT_UINT && VariantTypeCode::ArrayFlag == VT_ARRAY &&
              VariantTypeCode::ByReferenceFlag == VT_BYREF);

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

// describe reads the one field of a by-value VARIANT that its type names.
VariantDescription describe(const VARIANT& plain) {
    VariantDescription description;
    description.type = V_VT(&plain);
    switch (V_VT(&plain)) {
    case VT_I1:
        description.signedInteger = static_cast<signed char>(V_I1(&plain));
        break;
    case VT_I2:
        description.signedInteger = V_I2(&plain);
        break;
    case VT_I4:
        description.signedInteger = V_I4(&plain);
        break;
    case VT_I8:
        description.signedInteger = V_I8(&plain);
        break;
    case VT_INT:
        description.signedInteger = V_INT(&plain);
        break;
    case VT_BOOL:
        description.signedInteger = V_BOOL(&plain);
        break;
    case VT_UI1:
        description.unsignedInteger = V_UI1(&plain);
        break;
    case VT_UI2:
        description.unsignedInteger = V_UI2(&plain);
        break;
    case VT_UI4:
        description.unsignedInteger = V_UI4(&plain);
        break;
    case VT_UI8:
        description.unsignedInteger = V_UI8(&plain);
        break;
    case VT_UINT:
        description.unsignedInteger = V_UINT(&plain);
        break;
    case VT_R4:
        description.real = V_R4(&plain);
        break;
    case VT_R8:
        description.real = V_R8(&plain);
        break;
    case VT_DATE:
        description.real = V_DATE(&plain);
        break;
    case VT_CY:
        description.currency = V_CY(&plain).int64;
        break;
    case VT_DECIMAL: {
        const DECIMAL& decimal = V_DECIMAL(&plain);
        description.decimal = {decimal.sign, decimal.scale, decimal.Hi32, decimal.Lo64};
        break;
    }
    case VT_BSTR:
        description.text = fromBstr(V_BSTR(&plain));
        break;
    default:
        break;
    }
    return description;
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
    return indexFromDescription(describe(*plain.get()));
}

} // namespace tobrunel::server
