// The Windows and OLE Automation headers as the server uses them. <windows.h> maps StartService
// to StartServiceA or StartServiceW; the interface method and the model's command of that name
// must stay as written, so the macro goes.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>
#include <olectl.h>
#include <wrl/client.h>

#undef StartService

namespace tobrunel::server {

// ComPtr owns one reference to a COM interface; the SDK's own.
using Microsoft::WRL::ComPtr;

// adopt takes over a reference that the caller already owns. mingw-w64's ComPtr::Attach adds a
// reference of its own, unlike the SDK's, so the pointer is placed in the slot directly.
template <typename Interface> ComPtr<Interface> adopt(Interface* owned) noexcept {
    ComPtr<Interface> result;
    *result.GetAddressOf() = owned;
    return result;
}

} // namespace tobrunel::server
