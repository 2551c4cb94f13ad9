// The library's entry points. None has logic of its own: each passes its arguments, with the
// library record, to the routine of the same name.
#include "server/ClassObjects.h"
#include "server/Descriptions.h"
// Its static assertions stop the build when a C++ interface drifts from its member table.
#include "server/InterfaceSlots.h"
#include "server/Module.h"
#include "server/Registration.h"

using namespace tobrunel::server;

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    return onLoadNotification(module, reason);
}

STDAPI DllRegisterServer() {
    return registerServer(velcastraLibrary, thisModule());
}

STDAPI DllUnregisterServer() {
    return unregisterServer(velcastraLibrary, thisModule());
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
    return getClassObject(velcastraLibrary, clsid, iid, object);
}

STDAPI DllCanUnloadNow() {
    return canUnloadNow(velcastraLibrary);
}
