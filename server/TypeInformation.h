// The type information of the interfaces, read once per module from the library embedded in
// Tobrunel.dll itself (so IDispatch works whether or not the library is registered) and shared
// by every object of every apartment.
#pragma once

#include "server/Platform.h"

namespace tobrunel::server {

// InterfaceTypeInfo holds both views of a dual interface: the dispatch view that clients are
// given and that maps names, and the vtable view through which ITypeInfo::Invoke calls members.
struct InterfaceTypeInfo {
    ComPtr<ITypeInfo> dispatch;
    ComPtr<ITypeInfo> vtable;
};

// interfaceTypeInfo gives the type information of interface `iid`: loaded at the first call in
// the module, from any thread, and the same afterwards. It fails with the platform's HRESULT
// when the library or the interface cannot be read, and the next call tries again.
HRESULT interfaceTypeInfo(const GUID& iid, InterfaceTypeInfo& result) noexcept;

// releaseTypeInformation lets go of everything loaded, once no object is left to use it: when
// DllCanUnloadNow answers that the module may go.
void releaseTypeInformation() noexcept;

} // namespace tobrunel::server
