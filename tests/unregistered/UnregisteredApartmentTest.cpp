// A Tobrunel.dll that was never registered, used across apartments: an object made in a
// single-threaded apartment under the activation context of its manifest is called from the
// multithreaded apartment and from a second single-threaded one, through proxies that the
// type-library marshaller builds from the manifest's interface entries alone.
#include "server/Interfaces.h"

#include "tests/wine-support/ActivationContext.h"
#include "tests/wine-support/ServerTestSupport.h"

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace tobrunel::server {
namespace {

using namespace testing;

// manifestPath is the Windows path of the manifest beside the DLL under test.
std::wstring manifestPath() {
    return windowsPathOf(TOBRUNEL_MANIFEST);
}

// What another apartment saw of the object: each step's outcome and the values it read.
struct Sighting {
    HRESULT unmarshal = E_FAIL;
    HRESULT count = E_FAIL;
    long countValue = -1;
    HRESULT item = E_FAIL;
    std::wstring firstName;
    HRESULT lateBoundCount = E_FAIL;
    long lateBoundValue = -1;
    bool direct = true; // the pointer it got is the object itself, not a proxy
};

// visit runs in a thread of its own, in an apartment of `model`, with the manifest's context
// active, and reads the object that `stream` carries: through the dual interface, through an
// object that the call hands back, and late-bound.
void visit(const ActivationContext& context, DWORD model, IStream* stream, _clsServices* original,
           Sighting& sighting) {
    const Activation activation(context);
    if (SUCCEEDED(CoInitializeEx(nullptr, model))) {
        ComPtr<_clsServices> services;
        sighting.unmarshal =
            CoGetInterfaceAndReleaseStream(stream, IID_PPV_ARGS(services.GetAddressOf()));
        if (SUCCEEDED(sighting.unmarshal)) {
            sighting.direct = services.Get() == original;
            sighting.count = services->get_Count(&sighting.countValue);
            Variant first = Variant::integer(1);
            ComPtr<_clsService> service;
            sighting.item = services->get_Item(first.get(), service.GetAddressOf());
            Bstr name;
            if (SUCCEEDED(sighting.item) && service && SUCCEEDED(service->get_Name(name.put()))) {
                sighting.firstName = textOf(name.get());
            }
            if (const ComPtr<IDispatch> dispatch = dispatchOf(services)) {
                Call call;
                invoke(call, *dispatch.Get(), dispatchId(*dispatch.Get(), L"Count"),
                       DISPATCH_PROPERTYGET);
                sighting.lateBoundCount = call.status;
                if (call.result.type() == VT_I4) {
                    sighting.lateBoundValue = V_I4(call.result.get());
                }
            }
        }
        CoUninitialize();
    }
}

// Event is a Win32 event that a visiting thread sets when it is done.
using Event = std::unique_ptr<void, decltype(&CloseHandle)>;

TEST(UnregisteredApartments, AnObjectOfAnActivatedApartmentServesTheMtaAndASecondSta) {
    ASSERT_EQ(registrationTraces(), std::vector<std::wstring>{})
        << "Tobrunel.dll is registered in this prefix";
    const ActivationContext context(manifestPath());
    ASSERT_TRUE(context) << "CreateActCtxW: " << GetLastError();
    const Activation activation(context);
    ASSERT_TRUE(activation);
    const ComApartment apartment;
    ASSERT_HRESULT(S_OK, apartment.result());

    CLSID clsid{};
    ASSERT_HRESULT(S_OK, CLSIDFromProgID(L"Velcastra.clsServices", &clsid));
    ComPtr<_clsServices> services;
    ASSERT_HRESULT(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER,
                                          IID_PPV_ARGS(services.GetAddressOf())));
    long count = 0;
    ASSERT_HRESULT(S_OK, services->get_Count(&count));
    ASSERT_GT(count, 0);
    Variant first = Variant::integer(1);
    ComPtr<_clsService> service;
    ASSERT_HRESULT(S_OK, services->get_Item(first.get(), service.GetAddressOf()));
    Bstr firstName;
    ASSERT_HRESULT(S_OK, service->get_Name(firstName.put()));

    const DWORD models[] = {COINIT_MULTITHREADED, COINIT_APARTMENTTHREADED};
    std::vector<Sighting> sightings(std::size(models));
    for (std::size_t i = 0; i < std::size(models); ++i) {
        IStream* stream = nullptr;
        ASSERT_HRESULT(S_OK, CoMarshalInterThreadInterfaceInStream(__uuidof(_clsServices),
                                                                   services.Get(), &stream));
        const Event done(CreateEventW(nullptr, TRUE, FALSE, nullptr), &CloseHandle);
        ASSERT_NE(done.get(), nullptr);
        std::thread visitor([&, stream, model = models[i], event = done.get()] {
            visit(context, model, stream, services.Get(), sightings[i]);
            SetEvent(event);
        });
        // The visitor's calls arrive as messages to this apartment: serve them while waiting.
        HANDLE handle = done.get();
        DWORD which = 0;
        EXPECT_HRESULT(S_OK, CoWaitForMultipleHandles(0, INFINITE, 1, &handle, &which));
        visitor.join();
    }

    const char* names[] = {"the MTA", "a second STA"};
    for (std::size_t i = 0; i < sightings.size(); ++i) {
        SCOPED_TRACE(names[i]);
        const Sighting& seen = sightings[i];
        ASSERT_HRESULT(S_OK, seen.unmarshal);
        EXPECT_FALSE(seen.direct) << "the apartment got the object itself, not a proxy";
        EXPECT_HRESULT(S_OK, seen.count);
        EXPECT_EQ(seen.countValue, count);
        EXPECT_HRESULT(S_OK, seen.item);
        EXPECT_EQ(seen.firstName, textOf(firstName.get()));
        EXPECT_HRESULT(S_OK, seen.lateBoundCount);
        EXPECT_EQ(seen.lateBoundValue, count);
    }
}

} // namespace
} // namespace tobrunel::server
