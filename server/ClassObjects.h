// The class objects that DllGetClassObject hands out, and DllCanUnloadNow's answer, both from
// the class records of the library.
#pragma once

#include "server/Platform.h"

namespace tobrunel::server {

// getClassObject hands out a new factory for the creatable class `clsid` of the library;
// CLASS_E_CLASSNOTAVAILABLE for any other GUID.
HRESULT getClassObject(REFCLSID clsid, REFIID iid, void** factory) noexcept;

// canUnloadNow is S_OK when no object of any class is alive and no factory lock is held. It only
// answers: the type information stays until the module is unloaded.
HRESULT canUnloadNow() noexcept;

} // namespace tobrunel::server
