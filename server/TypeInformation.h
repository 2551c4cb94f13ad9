// The type information of the interfaces, read once per module from the library embedded in
// Tobrunel.dll itself (so IDispatch works whether or not the library is registered) and shared
// by every object of every apartment until the module goes.
#pragma once

#include "server/Platform.h"

namespace tobrunel::server {

// TypeView names the two views of a dual interface: the dispatch view that clients are given,
// and the vtable view through which ITypeInfo::Invoke calls members.
enum class TypeView { Dispatch, Vtable };

// typeInfoOf lends the type information of interface `iid`: loaded at the first call in the
// module, from any thread, and the same afterwards until the module goes; the caller takes no
// reference. It fails with the platform's HRESULT when the library or the interface cannot be
// read, and the next call tries again.
HRESULT typeInfoOf(const GUID& iid, TypeView view, ITypeInfo*& result) noexcept;

// releaseTypeInformation lets go of everything loaded, when the module is unloaded.
void releaseTypeInformation() noexcept;

} // namespace tobrunel::server
