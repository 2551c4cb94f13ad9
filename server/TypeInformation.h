// The type information of one interface, read from the library embedded in Tobrunel.dll itself,
// so IDispatch works whether or not the library is registered.
#pragma once

#include "server/ComPtr.h"
#include "server/Platform.h"

namespace tobrunel::server {

// InterfaceTypeInfo holds both views of a dual interface: the dispatch view that clients are
// given and that maps names, and the vtable view through which ITypeInfo::Invoke calls members.
struct InterfaceTypeInfo {
    ComPtr<ITypeInfo> dispatch;
    ComPtr<ITypeInfo> vtable;
};

// loadInterfaceTypeInfo fails with the platform's HRESULT when the library or the interface
// cannot be read.
HRESULT loadInterfaceTypeInfo(const GUID& iid, InterfaceTypeInfo& result) noexcept;

} // namespace tobrunel::server
