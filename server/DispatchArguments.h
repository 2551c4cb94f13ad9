// Arguments of a late-bound call, re-packed for ITypeInfo::Invoke. Every member declares its
// parameter by reference; a script passes values, or a variable as VT_BYREF|VT_VARIANT, which
// the platform's Invoke refuses for a BSTR* or long* parameter. The declared argument is
// therefore passed by reference to a value of the declared type: the caller's own when it has
// that type already, else a converted temporary, so the caller's variable is never written.
#pragma once

#include "library/Description.h"
#include "server/Platform.h"

namespace tobrunel::server {

class DispatchArguments {
public:
    DispatchArguments() noexcept;
    DispatchArguments(const DispatchArguments&) = delete;
    DispatchArguments& operator=(const DispatchArguments&) = delete;
    ~DispatchArguments();

    // prepare copies `caller` and converts the argument of the member that `id` and `flags`
    // reach as the platform's Invoke matches them: the first member in vtable order with that id
    // whose kind the flags ask for. It gives DISP_E_BADPARAMCOUNT when the count of arguments
    // differs from the declared one, and DISP_E_TYPEMISMATCH (DISP_E_OVERFLOW for a number out
    // of range, E_OUTOFMEMORY) with *argumentError set when the argument cannot be converted. A
    // call that reaches no member is left as it came, for the platform to answer as it does.
    HRESULT prepare(const InterfaceDescription& description, DISPID id, WORD flags,
                    const DISPPARAMS& caller, UINT* argumentError) noexcept;

    DISPPARAMS* parameters() noexcept { return &parameters_; }

private:
    VARIANTARG argument_;
    VARIANT temporary_;
    DISPPARAMS parameters_{};
};

} // namespace tobrunel::server
