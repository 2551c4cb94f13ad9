// The library's entry points. None has logic of its own: DllMain hands the system's notification
// to onLoadNotification, and each export passes its arguments to the routine of its own name,
// which reads the library record (library/Description.h).
#include "server/ClassObjects.h"
#include "server/Module.h"
#include "server/Registration.h"

using namespace tobrunel::server;

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    return onLoadNotification(module, reason, reserved);
}

STDAPI DllRegisterServer() {
    return registerServer(thisModule());
}

STDAPI DllUnregisterServer() {
    return unregisterServer();
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
    return getClassObject(clsid, iid, object);
}

STDAPI DllCanUnloadNow() {
    return canUnloadNow();
}
