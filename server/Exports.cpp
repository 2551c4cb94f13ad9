// The library's entry points. None has logic of its own, so that what the library registers and
// serves is decided by its record (library/Description.h) alone: DllMain hands the load and unload
// to onLoadNotification, and each other entry point passes its arguments to the server's routine.
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
