// Late-bound calls served from the member tables: the names a script asks for, and the calls of
// the common shapes, which reach the member through the vtable without the type information.
#pragma once

#include "library/Description.h"
#include "server/Platform.h"

#include <optional>

namespace tobrunel::server {

// idsOfNames answers GetIDsOfNames for a member of `description`: names[0] is the member, in any
// letter case, and the rest are names of its parameters. Each parameter name that is not found
// gets DISPID_UNKNOWN and the answer is DISP_E_UNKNOWNNAME. Nothing when names[0] is none of the
// interface's own members: IDispatch's members, unknown names and bad arguments are the type
// information's to answer.
std::optional<HRESULT> idsOfNames(const InterfaceDescription& description, LPOLESTR* names,
                                  UINT count, DISPID* ids) noexcept;

// servedMember is the position in `description` of the member that a call reaches when the call
// is one of the shapes served directly: a property get or method with its arguments by position,
// or a property let with the one value named DISPID_PROPERTYPUT. Any other call is left to the
// type information, which answers it in full.
std::optional<std::size_t> servedMember(const InterfaceDescription& description, DISPID id,
                                        WORD flags, const DISPPARAMS& arguments) noexcept;

// ServedArgument holds the argument of a served call in its declared type: the caller's own
// value when it already has that type, else a converted copy that it owns.
class ServedArgument {
public:
    ServedArgument() noexcept { VariantInit(&converted_); }
    ServedArgument(const ServedArgument&) = delete;
    ServedArgument& operator=(const ServedArgument&) = delete;
    ~ServedArgument() { VariantClear(&converted_); }

    // read converts `source` as DispatchArguments does, with the same failures.
    HRESULT read(const VARIANTARG& source, ValueType type) noexcept;
    // pointer is what the member's parameter receives: a BSTR*, long* or VARIANT*.
    void* pointer() noexcept { return pointer_; }

private:
    VARIANT converted_;
    BSTR text_ = nullptr;
    long number_ = 0;
    void* pointer_ = nullptr;
};

// failedCall reports a member's failure as ITypeInfo::Invoke does: DISP_E_EXCEPTION, with the
// member's HRESULT and the thread's error info (source, description, help) in *exception.
HRESULT failedCall(HRESULT status, EXCEPINFO* exception) noexcept;

// handOver puts a member's result into the caller's VARIANT, or frees it when there is none.
void handOver(BSTR value, VARIANT* result) noexcept;
void handOver(long value, VARIANT* result) noexcept;
void handOver(VARIANT_BOOL value, VARIANT* result) noexcept;
void handOver(IDispatch* value, VARIANT* result) noexcept;

} // namespace tobrunel::server
