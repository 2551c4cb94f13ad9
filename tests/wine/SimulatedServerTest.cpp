// The server over a simulated service database (TobrunelSimulated.dll): a known list of two
// services for the position-or-key index, and faults of the platform that make the model raise
// its automation errors, which must reach clients through the vtable and through IDispatch.
#include "server/Identifiers.h"
#include "server/ErrorReporting.h"
#include "server/Interfaces.h"

#include "tests/wine-support/ServerTestSupport.h"

#include <string>

namespace tobrunel::server {
namespace {

using namespace testing;

constexpr HRESULT InvalidProcedureCall = automationErrorResult(5);
constexpr HRESULT DuplicateKey = automationErrorResult(457);

std::wstring simulatedDllPath() {
    return windowsPathOf(TOBRUNEL_SIMULATED_DLL);
}

struct ErrorInformation {
    std::wstring source;
    std::wstring description;
};

// takeErrorInfo reads and clears the thread's error info.
ErrorInformation takeErrorInfo() {
    ComPtr<IErrorInfo> info;
    ErrorInformation result;
    if (GetErrorInfo(0, info.ReleaseAndGetAddressOf()) != S_OK || !info) {
        return result;
    }
    Bstr source, description;
    info->GetSource(source.put());
    info->GetDescription(description.put());
    result.source = textOf(source.get());
    result.description = textOf(description.get());
    return result;
}

class SimulatedServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_HRESULT(S_OK, apartment.result());
        ASSERT_NE(library.get(), nullptr);
        chooseFault(nullptr);
    }
    void TearDown() override { chooseFault(nullptr); }

    static void chooseFault(const wchar_t* fault) {
        SetEnvironmentVariableW(L"TOBRUNEL_SIMULATED_FAULT", fault);
    }

    ComPtr<_clsService> item(_clsServices& services, Variant index) {
        ComPtr<_clsService> service;
        EXPECT_HRESULT(S_OK, services.get_Item(index.get(), service.ReleaseAndGetAddressOf()));
        return service;
    }

    static std::wstring nameOf(_clsService* service) {
        if (service == nullptr) {
            return L"(nothing)";
        }
        Bstr name;
        service->get_Name(name.put());
        return textOf(name.get());
    }

    ComApartment apartment;
    LoadedLibrary library{simulatedDllPath()};
};

TEST_F(SimulatedServerTest, IndexIsAPositionOrAKeyWhateverItsAutomationType) {
    ComPtr<_clsServices> services;
    ASSERT_HRESULT(S_OK, library.create(CLSID_clsServices, services));
    long count = 0;
    ASSERT_HRESULT(S_OK, services->get_Count(&count));
    ASSERT_EQ(count, 2);

    Variant one = Variant::integer(1);
    Variant alpha = Variant::text(L"alpha");
    Variant big;
    V_VT(big.get()) = VT_I8;
    V_I8(big.get()) = 0x100000001LL;
    Variant boolean;
    V_VT(boolean.get()) = VT_BOOL;
    V_BOOL(boolean.get()) = VARIANT_TRUE;
    Variant byte;
    V_VT(byte.get()) = VT_UI1;
    V_UI1(byte.get()) = 2;
    Variant currency;
    V_VT(currency.get()) = VT_CY;
    V_CY(currency.get()).int64 = 15000; // 1.5
    Variant null;
    V_VT(null.get()) = VT_NULL;

    const struct {
        const char* what;
        Variant index;
        const wchar_t* expected;
    } rows[] = {
        {"position 1", Variant::integer(1), L"Alpha"},
        {"position 2", Variant::integer(2), L"Beta"},
        {"position 0", Variant::integer(0), L"(nothing)"},
        {"position 3", Variant::integer(3), L"(nothing)"},
        {"key in other case", Variant::text(L"BETA"), L"Beta"},
        {"unknown key", Variant::text(L"Gamma"), L"(nothing)"},
        {"digits are a key", Variant::text(L"1"), L"(nothing)"},
        {"1.5 rounds to even 2", Variant::real(1.5), L"Beta"},
        {"2.5 rounds to even 2", Variant::real(2.5), L"Beta"},
        {"0.5 rounds to even 0", Variant::real(0.5), L"(nothing)"},
        {"1.4999 rounds to 1", Variant::real(1.4999), L"Alpha"},
        {"currency 1.5", currency, L"Beta"},
        {"unsigned byte", byte, L"Beta"},
        {"beyond 32 bits", big, L"(nothing)"},
        {"huge double", Variant::real(1e300), L"(nothing)"},
        {"True is -1", boolean, L"(nothing)"},
        {"empty", Variant(), L"(nothing)"},
        {"null", null, L"(nothing)"},
        {"variable holding 1", Variant::referenceTo(one), L"Alpha"},
        {"variable holding a key", Variant::referenceTo(alpha), L"Alpha"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(nameOf(item(*services.Get(), row.index).Get()), row.expected) << row.what;
    }
}

TEST_F(SimulatedServerTest, AnUnwrittenComputerNameFailsCreationWithError5) {
    chooseFault(L"computer-name");
    ComPtr<_clsServices> services;
    EXPECT_HRESULT(InvalidProcedureCall, library.create(CLSID_clsServices, services));
    EXPECT_FALSE(services);
    const auto info = takeErrorInfo();
    EXPECT_EQ(info.source, L"Velcastra.clsServices");
    EXPECT_EQ(info.description, L"Invalid procedure call or argument");
}

TEST_F(SimulatedServerTest, ADuplicateKeyFailsCreationWithError457) {
    chooseFault(L"service-names");
    ComPtr<_clsServices> services;
    EXPECT_HRESULT(DuplicateKey, library.create(CLSID_clsServices, services));
    const auto info = takeErrorInfo();
    EXPECT_EQ(info.source, L"Velcastra.clsServices");
    EXPECT_EQ(info.description,
              L"This key is already associated with an element of this collection");
}

TEST_F(SimulatedServerTest, ADuplicateKeyEndsARefreshWithError457) {
    chooseFault(L"service-names-on-refresh");
    ComPtr<_clsServices> services;
    ASSERT_HRESULT(S_OK, library.create(CLSID_clsServices, services));
    VARIANT_BOOL refreshed = VARIANT_TRUE;
    EXPECT_HRESULT(DuplicateKey, services->Refresh(&refreshed));
    EXPECT_EQ(refreshed, VARIANT_FALSE);
    EXPECT_EQ(takeErrorInfo().source, L"Velcastra.clsServices");
    long count = 0;
    EXPECT_HRESULT(S_OK, services->get_Count(&count));
    EXPECT_EQ(count, 1) << "the list keeps the services added before the failing one";
}

TEST_F(SimulatedServerTest, AFailingRefreshEndsTheNameSetterThroughTheVtable) {
    chooseFault(L"binary-path");
    ComPtr<_clsService> service;
    ASSERT_HRESULT(S_OK, library.create(CLSID_clsService, service));
    Bstr name(SysAllocString(L"Alpha"));
    BSTR argument = name.get();
    EXPECT_HRESULT(InvalidProcedureCall, service->put_Name(&argument));
    EXPECT_EQ(argument, name.get()) << "the setter never writes its parameter";
    const auto info = takeErrorInfo();
    EXPECT_EQ(info.source, L"Velcastra.clsService");
    EXPECT_EQ(info.description, L"Invalid procedure call or argument");

    VARIANT_BOOL refreshed = VARIANT_TRUE;
    EXPECT_HRESULT(InvalidProcedureCall, service->Refresh(&refreshed));
    EXPECT_EQ(refreshed, VARIANT_FALSE) << "a failed member hands back its initial result";
}

TEST_F(SimulatedServerTest, AFailingRefreshReachesLateBoundCallersAsAnException) {
    chooseFault(L"binary-path");
    ComPtr<_clsService> service;
    ASSERT_HRESULT(S_OK, library.create(CLSID_clsService, service));
    auto object = dispatchOf(service);
    ASSERT_TRUE(object);

    Variant variable = Variant::text(L"Alpha");
    Variant argument = Variant::referenceTo(variable);
    Call call;
    invoke(call, *object.Get(), dispatchId(*object.Get(), L"Name"), DISPATCH_PROPERTYPUT,
           {&argument});
    EXPECT_HRESULT(DISP_E_EXCEPTION, call.status);
    EXPECT_HRESULT(InvalidProcedureCall, call.exception.scode);
    EXPECT_EQ(call.exception.wCode, 0);
    EXPECT_EQ(textOf(call.exception.bstrSource), L"Velcastra.clsService");
    EXPECT_EQ(textOf(call.exception.bstrDescription), L"Invalid procedure call or argument");
    EXPECT_EQ(variable.type(), VT_BSTR);
    EXPECT_EQ(textOf(V_BSTR(variable.get())), L"Alpha") << "the caller's variable is unchanged";
}

} // namespace
} // namespace tobrunel::server
