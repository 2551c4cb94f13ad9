// Arguments of a late-bound call, re-packed for ITypeInfo::Invoke. Every member declares its
// parameter by reference; a script passes values, or a variable as VT_BYREF|VT_VARIANT, which
// the platform's Invoke refuses for a BSTR* or long* parameter. Each declared argument is
// therefore converted into a temporary of the declared type and passed by reference, so the
// caller's own variable is never written.
#pragma once

#include "library/Description.h"
#include "server/Platform.h"

#include <vector>

namespace tobrunel::server {

// convertArgument makes `target` a by-value copy of `source` in type `type` (VT_VARIANT keeps the
// value's own type and only takes away the reference). A value that does not convert gives
// DISP_E_TYPEMISMATCH, or DISP_E_OVERFLOW for a number out of range; E_OUTOFMEMORY passes.
HRESULT convertArgument(VARIANT& target, const VARIANTARG& source, VARTYPE type) noexcept;

// declaredType is the VARIANT type in which a parameter of `type` travels.
VARTYPE declaredType(ValueType type) noexcept;

// findMember picks the member that a call reaches: the property let for a put, otherwise the
// get or method with that dispatch id; nullptr when the interface has none.
const Member* findMember(const InterfaceDescription& description, DISPID id, WORD flags) noexcept;

class DispatchArguments {
public:
    DispatchArguments() = default;
    DispatchArguments(const DispatchArguments&) = delete;
    DispatchArguments& operator=(const DispatchArguments&) = delete;
    ~DispatchArguments();

    // prepare copies `caller` and converts the argument of `member`'s declared parameter. It
    // gives DISP_E_BADPARAMCOUNT when the count of arguments differs from the declared one, and
    // DISP_E_TYPEMISMATCH (DISP_E_OVERFLOW for a number out of range) with *argumentError set
    // when the argument cannot be converted. A null `member` leaves the call as it came, for
    // the platform to refuse. prepare may throw std::bad_alloc.
    HRESULT prepare(const Member* member, const DISPPARAMS& caller, UINT* argumentError);

    DISPPARAMS* parameters() noexcept { return &parameters_; }

private:
    std::vector<VARIANTARG> arguments_;
    VARIANT temporary_{};
    DISPPARAMS parameters_{};
};

} // namespace tobrunel::server
