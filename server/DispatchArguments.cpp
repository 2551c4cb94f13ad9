// Conversion of late-bound arguments to the declared parameter types.
#include "server/DispatchArguments.h"

namespace tobrunel::server {

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

// convertArgument makes `target` a by-value copy of `source` in type `type`; VT_VARIANT keeps the
// value's own type and only takes away the reference. As for the index of Item and Delete, an
// object is not asked for its default value (VARIANT_NOVALUEPROP).
HRESULT convertArgument(VARIANT& target, const VARIANTARG& source, VARTYPE type) noexcept {
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

const Member* findMember(const InterfaceDescription& description, DISPID id, WORD flags) noexcept {
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    for (const auto& member : description.members) {
        if (member.dispid == id && (member.kind == MemberKind::PropertyLet) == put) {
            return &member;
        }
    }
    return nullptr;
}

DispatchArguments::~DispatchArguments() {
    VariantClear(&temporary_);
}

HRESULT DispatchArguments::prepare(const Member* member, const DISPPARAMS& caller,
                                   UINT* argumentError) {
    parameters_ = caller;
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
    arguments_.assign(caller.rgvarg, caller.rgvarg + caller.cArgs);
    parameters_.rgvarg = arguments_.data();

    // With one argument, the declared parameter is rgvarg[0], whether it came by position or,
    // for a property let, named DISPID_PROPERTYPUT.
    const VARTYPE type = declaredType(member->parameter->type.type);
    VariantInit(&temporary_);
    const HRESULT status = convertArgument(temporary_, caller.rgvarg[0], type);
    if (FAILED(status)) {
        if (argumentError != nullptr) {
            *argumentError = 0;
        }
        return status;
    }
    auto& argument = arguments_[0];
    VariantInit(&argument);
    if (type == VT_VARIANT) {
        V_VT(&argument) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(&argument) = &temporary_;
    } else if (type == VT_BSTR) {
        V_VT(&argument) = VT_BYREF | VT_BSTR;
        V_BSTRREF(&argument) = &V_BSTR(&temporary_);
    } else if (type == VT_I4) {
        V_VT(&argument) = VT_BYREF | VT_I4;
        V_I4REF(&argument) = &V_I4(&temporary_);
    } else {
        V_VT(&argument) = VT_BYREF | VT_BOOL;
        V_BOOLREF(&argument) = &V_BOOL(&temporary_);
    }
    return S_OK;
}

} // namespace tobrunel::server
