// Conversion of late-bound arguments to the declared parameter types.
#include "server/DispatchArguments.h"

namespace tobrunel::server {

namespace {

VARTYPE declaredType(ValueType type) noexcept {
    switch (type) {
    case ValueType::Text:
        return VT_BSTR;
    case ValueType::Int32:
    case ValueType::Enumeration:
        return VT_I4;
    case ValueType::Boolean:
        return VT_BOOL;
    case ValueType::Variant:
    case ValueType::Object:
        break;
    }
    return VT_VARIANT;
}

// The platform's Invoke matches a member by its id and by the kind of call its flags allow, so a
// method's id called as a property get reaches no member at all.
constexpr WORD invokeKindOf(MemberKind kind) noexcept {
    switch (kind) {
    case MemberKind::PropertyGet:
        return DISPATCH_PROPERTYGET;
    case MemberKind::PropertyLet:
        return DISPATCH_PROPERTYPUT;
    case MemberKind::Method:
        break;
    }
    return DISPATCH_METHOD;
}

const Member* memberReached(const InterfaceDescription& description, DISPID id,
                            WORD flags) noexcept {
    for (const auto& member : description.members) {
        if (member.dispid == id && (flags & invokeKindOf(member.kind)) != 0) {
            return &member;
        }
    }
    return nullptr;
}

// convert makes `target` a by-value copy of `source` in type `type`; VT_VARIANT keeps the value's
// own type and only takes away the reference. As for the index of Item and Delete, an object is
// not asked for its default value (VARIANT_NOVALUEPROP).
HRESULT convert(VARIANT& target, const VARIANTARG& source, VARTYPE type) noexcept {
    VARIANT plain;
    VariantInit(&plain);
    // The platform declares the source without const; it only reads it.
    HRESULT status = VariantCopyInd(&plain, const_cast<VARIANTARG*>(&source));
    if (SUCCEEDED(status)) {
        status = type == VT_VARIANT ? VariantCopy(&target, &plain)
                                    : VariantChangeType(&target, &plain, VARIANT_NOVALUEPROP, type);
    }
    VariantClear(&plain);
    if (FAILED(status) && status != DISP_E_OVERFLOW && status != E_OUTOFMEMORY) {
        return DISP_E_TYPEMISMATCH;
    }
    return status;
}

// referTo makes `argument` a reference to `value` as a parameter of `type` receives it: the
// whole VARIANT for a VARIANT*, else the field of that type.
void referTo(VARIANTARG& argument, VARIANT& value, VARTYPE type) noexcept {
    V_VT(&argument) = static_cast<VARTYPE>(VT_BYREF | type);
    switch (type) {
    case VT_BSTR:
        V_BSTRREF(&argument) = &V_BSTR(&value);
        break;
    case VT_I4:
        V_I4REF(&argument) = &V_I4(&value);
        break;
    case VT_BOOL:
        V_BOOLREF(&argument) = &V_BOOL(&value);
        break;
    default:
        V_VARIANTREF(&argument) = &value;
        break;
    }
}

} // namespace

DispatchArguments::DispatchArguments() noexcept {
    VariantInit(&argument_);
    VariantInit(&temporary_);
}

DispatchArguments::~DispatchArguments() {
    VariantClear(&temporary_);
}

HRESULT DispatchArguments::prepare(const InterfaceDescription& description, DISPID id, WORD flags,
                                   const DISPPARAMS& caller, UINT* argumentError) noexcept {
    parameters_ = caller;
    const Member* member = memberReached(description, id, flags);
    if (member == nullptr) {
        return S_OK;
    }
    const UINT declared = member->parameter ? 1 : 0;
    if (caller.cArgs != declared) {
        return DISP_E_BADPARAMCOUNT;
    }
    if (declared == 0) {
        return S_OK;
    }
    if (caller.rgvarg == nullptr) {
        return E_INVALIDARG;
    }
    // With one argument, the declared parameter is rgvarg[0], whether it came by position or,
    // for a property let, named DISPID_PROPERTYPUT.
    const VARTYPE type = declaredType(member->parameter->type.type);
    VARIANTARG* value = &caller.rgvarg[0];
    if (V_VT(value) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(value) != nullptr) {
        value = V_VARIANTREF(value);
    }
    // The members only read their arguments, so a value of the declared type is lent as it is.
    if (type != VT_VARIANT && V_VT(value) == type) {
        referTo(argument_, *value, type);
    } else {
        const HRESULT status = convert(temporary_, caller.rgvarg[0], type);
        if (FAILED(status)) {
            if (argumentError != nullptr) {
                *argumentError = 0;
            }
            return status;
        }
        referTo(argument_, temporary_, type);
    }
    parameters_.rgvarg = &argument_;
    return S_OK;
}

} // namespace tobrunel::server
