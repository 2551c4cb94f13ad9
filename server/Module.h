// The module's own state: the handle that DllMain receives, and one count of live objects and
// factory locks that DllCanUnloadNow reads. The type information, shared by every apartment,
// lives in TypeInformation.cpp and is let go from here when the module is unloaded.
#pragma once

#include "server/Platform.h"

#include <string>

namespace tobrunel::server {

// onLoadNotification keeps the module handle at process attach, and releases the type information
// when the module is unloaded (not when the process ends, when no other module may be called).
BOOL onLoadNotification(HINSTANCE module, DWORD reason, LPVOID reserved) noexcept;

HMODULE thisModule() noexcept;

// modulePath is the full path of Tobrunel.dll, from which its type library and registration
// come; the empty text when the platform cannot say.
std::wstring modulePath();
std::wstring pathOfModule(HMODULE module);

// Every COM object of the three classes counts itself in its base's constructor and destructor;
// LockServer counts locks the same way. Each change is one atomic step, because objects of
// several apartments change the count, each on its own thread.
void countObjectOrLock() noexcept;
void uncountObjectOrLock() noexcept;
long liveObjectsAndLocks() noexcept;

} // namespace tobrunel::server
