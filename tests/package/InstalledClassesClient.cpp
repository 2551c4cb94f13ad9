// A client of the installed package: creates both classes by ProgID, as a program on a machine
// where the package was installed does, and reads each back through its dual interface. Prints
// what it read; exits 1 on the first failure.
#include "client/Bstr.h"
#include "client/ComApartment.h"
#include "server/Interfaces.h"

#include <wrl/client.h>

#include <cstdio>

namespace {

using Microsoft::WRL::ComPtr;
using tobrunel::client::Bstr;
using tobrunel::server::_clsService;
using tobrunel::server::_clsServices;

// create finds the class by its ProgID, as the registry of the installed package says, and makes
// one object; nothing when either step fails, which it prints.
template <typename Interface> ComPtr<Interface> create(const wchar_t* progId) {
    CLSID clsid{};
    ComPtr<Interface> object;
    HRESULT status = CLSIDFromProgID(progId, &clsid);
    if (SUCCEEDED(status)) {
        status = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object));
    }
    if (FAILED(status)) {
        std::printf("%ls cannot be created: 0x%08lX\n", progId, static_cast<unsigned long>(status));
    }
    return object;
}

} // namespace

int main() {
    const tobrunel::client::ComApartment apartment;
    const auto services = create<_clsServices>(L"Velcastra.clsServices");
    long count = 0;
    if (!services || FAILED(services->get_Count(&count)) || count <= 0) {
        std::printf("Velcastra.clsServices: no services listed\n");
        return 1;
    }
    std::printf("Velcastra.clsServices: Count = %ld\n", count);

    const auto service = create<_clsService>(L"Velcastra.clsService");
    Bstr name(SysAllocString(L"Spooler"));
    Bstr display;
    BSTR given = name.get();
    if (!service || FAILED(service->put_Name(&given)) ||
        FAILED(service->get_DisplayName(display.put())) || SysStringLen(display.get()) == 0) {
        std::printf("Velcastra.clsService: no display name for Spooler\n");
        return 1;
    }
    std::printf("Velcastra.clsService: Spooler is \"%ls\"\n", display.get());
    return 0;
}
