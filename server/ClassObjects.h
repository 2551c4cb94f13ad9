// The class objects that DllGetClassObject hands out, and DllCanUnloadNow's answer, both from
// the class records of the library.
#pragma once

#include "server/Descriptions.h"
#include "server/Platform.h"

namespace tobrunel::server {

// createObject makes a new object of a creatable class over this computer's service control
// manager and returns the requested interface; CLASS_E_CLASSNOTAVAILABLE for a class that
// clients may not create.
HRESULT createObject(const ClassRecord& record, REFIID iid, void** object) noexcept;

// getClassObject finds the class record of `clsid` in the library and hands out a new factory
// for it; CLASS_E_CLASSNOTAVAILABLE for a GUID that is not a creatable class of the library.
HRESULT getClassObject(REFCLSID clsid, REFIID iid, void** factory) noexcept;

// canUnloadNow is S_OK when no object of any class is alive and no factory lock is held. It only
// answers: the type information stays until the module is unloaded.
HRESULT canUnloadNow() noexcept;

} // namespace tobrunel::server
