// Class registration from the library record (library/Description.h): the type library registered
// from the component file, and the standard entries of each creatable class.
#pragma once

#include "server/Platform.h"

namespace tobrunel::server {

// registerServer registers the type library embedded in `module` and, for each creatable class,
// writes under HKEY_CLASSES_ROOT:
//   <Library>.<Class>\CLSID = {clsid}
//   CLSID\{clsid}\InprocServer32 = the module's full path, ThreadingModel = <threading model>
//   CLSID\{clsid}\ProgID = <Library>.<Class>, \TypeLib = {libid}, \Version = <major>.<minor>
// A class that clients may not create gets nothing. The first refused step ends registration
// with its failing HRESULT.
HRESULT registerServer(HMODULE module) noexcept;

// unregisterServer removes all of it. Entries that are already gone are not an error.
HRESULT unregisterServer() noexcept;

} // namespace tobrunel::server
