// Tobrunel.dll as a C++ client meets it: registered, created by programmatic identifier, walked
// through the vtable and through IDispatch, with its class objects and its unload answer; and
// unregistered, where the objects it makes for itself still work.
#include "server/Identifiers.h"
#include "server/Interfaces.h"

#include "tests/dllcheck/Listing.h"
#include "tests/wine-support/ServerTestSupport.h"

#include <algorithm>
#include <chrono>
#include <cwctype>
#include <initializer_list>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace tobrunel::server {
namespace {

using namespace testing;

using Export = HRESULT(STDAPICALLTYPE*)();
using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

constexpr GUID someOtherClass = {
    0x00000000, 0x1111, 0x2222, {0x33, 0x33, 0x44, 0x44, 0x44, 0x44, 0x44, 0x44}};

std::wstring computerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    GetComputerNameW(name, &size);
    return name;
}

template <typename Interface> bool sameObject(Interface* a, Interface* b) {
    ComPtr<IUnknown> first, second;
    a->QueryInterface(IID_PPV_ARGS(first.ReleaseAndGetAddressOf()));
    b->QueryInterface(IID_PPV_ARGS(second.ReleaseAndGetAddressOf()));
    return first && first.Get() == second.Get();
}

std::wstring text(HRESULT (STDMETHODCALLTYPE _clsService::*read)(BSTR*), _clsService& service) {
    Bstr value;
    EXPECT_HRESULT(S_OK, (service.*read)(value.put()));
    return textOf(value.get());
}

long number(HRESULT (STDMETHODCALLTYPE _clsService::*read)(long*), _clsService& service) {
    long value = -12345;
    EXPECT_HRESULT(S_OK, (service.*read)(&value));
    return value;
}

// The DLL stays loaded and registered for the whole program; each test unloads nothing, so
// DllCanUnloadNow reads the objects of this test alone once the previous test has released its.
class ComClientTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_HRESULT(S_OK, exportOf("DllRegisterServer")()); }
    static void TearDownTestSuite() { exportOf("DllUnregisterServer")(); }

    void SetUp() override {
        ASSERT_HRESULT(S_OK, apartment.result());
        ASSERT_NE(library.get(), nullptr);
    }

    static Export exportOf(const char* name) { return sharedLibrary().entry<Export>(name); }
    static LoadedLibrary& sharedLibrary() {
        static LoadedLibrary loaded(dllPath());
        return loaded;
    }

    HRESULT canUnloadNow() { return exportOf("DllCanUnloadNow")(); }

    ComPtr<IClassFactory> factoryOf(const GUID& clsid, HRESULT expected = S_OK) {
        ComPtr<IClassFactory> factory;
        const auto getClassObject = library.entry<GetClassObject>("DllGetClassObject");
        EXPECT_HRESULT(expected,
                       getClassObject(clsid, IID_PPV_ARGS(factory.ReleaseAndGetAddressOf())));
        return factory;
    }

    // create makes an object by its programmatic identifier, as a registered client does.
    template <typename Interface> static ComPtr<Interface> create(const wchar_t* progId) {
        ComPtr<Interface> object;
        CLSID clsid{};
        EXPECT_HRESULT(S_OK, CLSIDFromProgID(progId, &clsid));
        EXPECT_HRESULT(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER,
                                              IID_PPV_ARGS(object.ReleaseAndGetAddressOf())));
        return object;
    }
    ComPtr<_clsServices> createServices() { return create<_clsServices>(L"Velcastra.clsServices"); }
    ComPtr<_clsService> createService() { return create<_clsService>(L"Velcastra.clsService"); }

    static ComPtr<_clsService> item(_clsServices& services, Variant index) {
        ComPtr<_clsService> service;
        EXPECT_HRESULT(S_OK, services.get_Item(index.get(), service.ReleaseAndGetAddressOf()));
        return service;
    }

    static void setName(_clsService& service, const std::wstring& name) {
        Bstr value(SysAllocString(name.c_str()));
        BSTR argument = value.get();
        EXPECT_HRESULT(S_OK, service.put_Name(&argument));
    }

    ComApartment apartment;
    LoadedLibrary& library = sharedLibrary();
};

TEST_F(ComClientTest, ANewCollectionListsThisComputersWin32Services) {
    const auto services = createServices();
    ASSERT_TRUE(services);
    long count = 0, type = -1, state = -1;
    EXPECT_HRESULT(S_OK, services->get_Count(&count));
    EXPECT_GT(count, 0);
    EXPECT_HRESULT(S_OK, services->get_ServicesEnumType(&type));
    EXPECT_EQ(type, 0);
    EXPECT_HRESULT(S_OK, services->get_ServicesEnumState(&state));
    EXPECT_EQ(state, 2);
    Bstr name;
    EXPECT_HRESULT(S_OK, services->get_ComputerName(name.put()));
    EXPECT_EQ(textOf(name.get()), computerName());
}

TEST_F(ComClientTest, ServicesAreFoundByPositionAndByNameAsTheSameObject) {
    const auto services = createServices();
    ASSERT_TRUE(services);
    long count = 0;
    ASSERT_HRESULT(S_OK, services->get_Count(&count));
    for (long position = 1; position <= count; ++position) {
        SCOPED_TRACE(position);
        const auto byPosition = item(*services.Get(), Variant::integer(position));
        ASSERT_TRUE(byPosition);
        const auto name = text(&_clsService::get_Name, *byPosition.Get());
        EXPECT_FALSE(name.empty());
        EXPECT_NE(number(&_clsService::get_ServiceType, *byPosition.Get()) & SERVICE_WIN32, 0)
            << "Win32 services only";
        const auto byName = item(*services.Get(), Variant::text(name));
        ASSERT_TRUE(byName);
        EXPECT_EQ(byName.Get(), byPosition.Get()) << "one COM object per service";
        EXPECT_EQ(item(*services.Get(), Variant::integer(position)).Get(), byPosition.Get());
    }
    EXPECT_FALSE(item(*services.Get(), Variant::integer(0)));
    EXPECT_FALSE(item(*services.Get(), Variant::integer(count + 1)));
    EXPECT_FALSE(item(*services.Get(), Variant::text(L"No Such Service")));
}

TEST_F(ComClientTest, DependenciesAreOneObjectUntilTheServiceRefreshes) {
    const auto services = createServices();
    ASSERT_TRUE(services);
    const auto service = item(*services.Get(), Variant::integer(1));
    ASSERT_TRUE(service);
    ComPtr<_clsSVCDependencies> first, second, afterRefresh;
    ASSERT_HRESULT(S_OK, service->get_Dependencies(first.ReleaseAndGetAddressOf()));
    ASSERT_HRESULT(S_OK, service->get_Dependencies(second.ReleaseAndGetAddressOf()));
    ASSERT_TRUE(first);
    EXPECT_EQ(first.Get(), second.Get());
    EXPECT_TRUE(sameObject(first.Get(), second.Get()));

    VARIANT_BOOL refreshed = VARIANT_FALSE;
    EXPECT_HRESULT(S_OK, service->Refresh(&refreshed));
    EXPECT_EQ(refreshed, VARIANT_TRUE);
    ASSERT_HRESULT(S_OK, service->get_Dependencies(afterRefresh.ReleaseAndGetAddressOf()));
    EXPECT_NE(afterRefresh.Get(), first.Get()) << "a refresh starts a new list";
    long count = -1;
    EXPECT_HRESULT(S_OK, first->get_Count(&count)) << "the old list stays usable";
}

TEST_F(ComClientTest, ADependencyListKeepsItsNames) {
    const auto service = createService();
    ASSERT_TRUE(service);
    ComPtr<_clsSVCDependencies> list;
    ASSERT_HRESULT(S_OK, service->get_Dependencies(list.ReleaseAndGetAddressOf()));
    ASSERT_TRUE(list);
    for (const wchar_t* name : {L"RpcSs", L"", L"RpcSs"}) {
        Bstr value(SysAllocString(name));
        BSTR argument = value.get();
        EXPECT_HRESULT(S_OK, list->Add(&argument));
    }
    Bstr source;
    EXPECT_HRESULT(S_OK, list->get_Source(source.put()));
    EXPECT_EQ(textOf(source.get()), std::wstring(L"RpcSs\0\0RpcSs\0\0", 14));
    long position = 2;
    VARIANT_BOOL removed = VARIANT_FALSE;
    EXPECT_HRESULT(S_OK, list->Remove(&position, &removed));
    EXPECT_EQ(removed, VARIANT_TRUE);
    position = 3;
    EXPECT_HRESULT(S_OK, list->Remove(&position, &removed));
    EXPECT_EQ(removed, VARIANT_FALSE);
    Bstr second;
    position = 2;
    EXPECT_HRESULT(S_OK, list->get_Item(&position, second.put()));
    EXPECT_EQ(textOf(second.get()), L"RpcSs");
}

TEST_F(ComClientTest, ADirectlyCreatedServiceStartsEmptyUntilNamed) {
    const auto service = createService();
    ASSERT_TRUE(service);
    EXPECT_EQ(text(&_clsService::get_Name, *service.Get()), L"");
    EXPECT_EQ(text(&_clsService::get_ComputerName, *service.Get()), L"");
    EXPECT_EQ(number(&_clsService::get_CurrentState, *service.Get()), 0);

    setName(*service.Get(), L"  spooler  ");
    EXPECT_EQ(text(&_clsService::get_Name, *service.Get()), L"spooler");
    EXPECT_FALSE(text(&_clsService::get_DisplayName, *service.Get()).empty());
    EXPECT_NE(number(&_clsService::get_CurrentState, *service.Get()), 0);

    setName(*service.Get(), L"Tobrunel-No-Such-Service");
    EXPECT_EQ(text(&_clsService::get_Name, *service.Get()), L"");
    EXPECT_EQ(text(&_clsService::get_DisplayName, *service.Get()), L"");
}

TEST_F(ComClientTest, ACommandThatsPreconditionFailsAnswersFalse) {
    const auto service = createService();
    ASSERT_TRUE(service);
    setName(*service.Get(), L"Spooler");
    // Stopped or running, the spooler takes no pause and is not paused.
    VARIANT_BOOL done = VARIANT_TRUE;
    EXPECT_HRESULT(S_OK, service->PauseService(&done));
    EXPECT_EQ(done, VARIANT_FALSE);
    done = VARIANT_TRUE;
    EXPECT_HRESULT(S_OK, service->ContinueService(&done));
    EXPECT_EQ(done, VARIANT_FALSE);
}

TEST_F(ComClientTest, StartAndStopReachTheServiceManager) {
    const auto service = createService();
    ASSERT_TRUE(service);
    setName(*service.Get(), L"Spooler");
    const auto found = number(&_clsService::get_CurrentState, *service.Get());
    ASSERT_TRUE(found == 1 || found == 4) << found;
    const auto waitFor = [&](long state) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            VARIANT_BOOL refreshed = VARIANT_FALSE;
            service->Refresh(&refreshed);
            if (number(&_clsService::get_CurrentState, *service.Get()) == state) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    };
    // From either state to the other and back, so the spooler is left as it was found.
    for (const bool start : {found == 1, found != 1}) {
        VARIANT_BOOL done = VARIANT_FALSE;
        EXPECT_HRESULT(S_OK, start ? service->StartService(&done) : service->StopService(&done));
        EXPECT_EQ(done, VARIANT_TRUE);
        ASSERT_TRUE(waitFor(start ? 4 : 1)) << (start ? "Spooler runs" : "Spooler stops");
    }
}

TEST_F(ComClientTest, ObjectsAnswerForTheirThreeInterfacesOnly) {
    const auto services = createServices();
    ASSERT_TRUE(services);
    const auto service = item(*services.Get(), Variant::integer(1));
    ASSERT_TRUE(service);
    ComPtr<IUnknown> unknown;
    ComPtr<IDispatch> dispatch;
    ComPtr<_clsServices> again;
    ComPtr<IUnknown> other;
    EXPECT_HRESULT(S_OK, services->QueryInterface(IID_PPV_ARGS(unknown.ReleaseAndGetAddressOf())));
    EXPECT_HRESULT(S_OK, services->QueryInterface(IID_PPV_ARGS(dispatch.ReleaseAndGetAddressOf())));
    EXPECT_HRESULT(S_OK, dispatch->QueryInterface(IID_PPV_ARGS(again.ReleaseAndGetAddressOf())));
    EXPECT_EQ(again.Get(), services.Get());
    for (const GUID* refused : {&IID__clsService, &IID__clsSVCDependencies, &IID_IEnumVARIANT,
                                &IID_ISupportErrorInfo, &IID_IClassFactory}) {
        EXPECT_HRESULT(E_NOINTERFACE,
                       services->QueryInterface(
                           *refused, IID_PPV_ARGS_Helper(other.ReleaseAndGetAddressOf())));
    }
    EXPECT_HRESULT(E_NOINTERFACE,
                   service->QueryInterface(IID__clsServices,
                                           IID_PPV_ARGS_Helper(other.ReleaseAndGetAddressOf())));
    EXPECT_HRESULT(E_POINTER, services->QueryInterface(IID_IUnknown, nullptr));
    EXPECT_HRESULT(E_POINTER, services->get_Count(nullptr));
}

TEST_F(ComClientTest, ClassObjectsServeTheTwoCreatableClassesOnly) {
    const auto factory = factoryOf(CLSID_clsServices);
    ASSERT_TRUE(factory);
    ComPtr<IUnknown> object;
    ComPtr<IUnknown> outer;
    ASSERT_HRESULT(S_OK,
                   factory->CreateInstance(nullptr, IID_PPV_ARGS(outer.ReleaseAndGetAddressOf())));
    EXPECT_HRESULT(CLASS_E_NOAGGREGATION,
                   factory->CreateInstance(outer.Get(), IID_IUnknown,
                                           IID_PPV_ARGS_Helper(object.ReleaseAndGetAddressOf())));
    EXPECT_FALSE(object);
    EXPECT_HRESULT(E_NOINTERFACE,
                   factory->CreateInstance(nullptr, IID__clsService,
                                           IID_PPV_ARGS_Helper(object.ReleaseAndGetAddressOf())));
    EXPECT_TRUE(factoryOf(CLSID_clsService));

    factoryOf(CLSID_clsSVCDependencies, CLASS_E_CLASSNOTAVAILABLE);
    factoryOf(someOtherClass, CLASS_E_CLASSNOTAVAILABLE);
    CLSID clsid{};
    EXPECT_TRUE(FAILED(CLSIDFromProgID(L"Velcastra.clsSVCDependencies", &clsid)));
    EXPECT_TRUE(FAILED(CoCreateInstance(CLSID_clsSVCDependencies, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_IUnknown,
                                        IID_PPV_ARGS_Helper(object.ReleaseAndGetAddressOf()))));
}

TEST_F(ComClientTest, TheLibraryMayUnloadOnlyWhenNothingLivesAndNothingIsLocked) {
    ASSERT_HRESULT(S_OK, canUnloadNow()) << "an earlier test left an object alive";
    {
        auto services = createServices();
        EXPECT_HRESULT(S_FALSE, canUnloadNow());
    }
    EXPECT_HRESULT(S_OK, canUnloadNow());

    {
        const auto factory = factoryOf(CLSID_clsService);
        EXPECT_HRESULT(S_OK, canUnloadNow()) << "a factory alone does not hold the library";
        EXPECT_HRESULT(S_OK, factory->LockServer(TRUE));
    }
    EXPECT_HRESULT(S_FALSE, canUnloadNow()) << "the lock outlives the factory";
    EXPECT_HRESULT(S_OK, factoryOf(CLSID_clsService)->LockServer(FALSE));
    EXPECT_HRESULT(S_OK, canUnloadNow());

    ComPtr<_clsSVCDependencies> list;
    {
        const auto services = createServices();
        const auto service = item(*services.Get(), Variant::integer(1));
        ASSERT_TRUE(service);
        ASSERT_HRESULT(S_OK, service->get_Dependencies(list.ReleaseAndGetAddressOf()));
    }
    EXPECT_HRESULT(S_FALSE, canUnloadNow()) << "a list that outlives its service";
    list.Reset();
    EXPECT_HRESULT(S_OK, canUnloadNow());
}

// Lookup is one question a script may ask of an object's names, with the answer that the
// published listing gives: the member's id, each named parameter's position, DISPID_UNKNOWN for
// each name not found.
struct Lookup {
    std::vector<std::wstring> names;
    std::vector<DISPID> ids;
};

// lookupsOf lists, from the listing's member lines of `interfaceName`, each member alone and with
// its parameters' names and with one name too many, then IDispatch's names and names that no
// member has.
std::vector<Lookup> lookupsOf(const std::string& interfaceName) {
    std::vector<Lookup> lookups;
    for (const auto& line : listedLines({"member"})) {
        std::istringstream words(line);
        std::string form, owner, slot, kind, id, signature;
        words >> form >> owner >> slot >> kind >> id;
        std::getline(words >> std::ws, signature);
        if (owner != interfaceName) {
            continue;
        }
        const auto open = signature.find('(');
        Lookup lookup{{std::wstring(signature.begin(), signature.begin() + open)},
                      {static_cast<DISPID>(std::stoul(id, nullptr, 16))}};
        lookups.push_back(lookup);
        // Each parameter is "[flags] TYPE" or "[flags] TYPE NAME"; a name answers its position.
        DISPID position = 0;
        for (auto at = signature.find(']'); at != std::string::npos;
             at = signature.find(']', at + 1), ++position) {
            std::istringstream parameter(
                signature.substr(at + 1, signature.find_first_of(",)", at) - at - 1));
            std::string type, name;
            if (parameter >> type >> name) {
                lookup.names.emplace_back(name.begin(), name.end());
                lookup.ids.push_back(position);
            }
        }
        if (lookup.names.size() > 1) {
            lookups.push_back(lookup);
        }
        lookup.names.push_back(L"NoSuchParameter");
        lookup.ids.push_back(DISPID_UNKNOWN);
        lookups.push_back(lookup);
    }
    // Every dispatch interface inherits IDispatch, whose members keep the ids of stdole's own
    // description of it.
    const std::pair<const wchar_t*, DISPID> inherited[] = {{L"QueryInterface", 0x60000000},
                                                           {L"AddRef", 0x60000001},
                                                           {L"GetIDsOfNames", 0x60010002},
                                                           {L"Invoke", 0x60010003}};
    for (const auto& [name, id] : inherited) {
        lookups.push_back({{name, L"Index"}, {id, DISPID_UNKNOWN}});
    }
    for (const wchar_t* name : {L"NoSuchMember", L"Item2", L"Ite", L""}) {
        lookups.push_back({{name, L"Index"}, {DISPID_UNKNOWN, DISPID_UNKNOWN}});
    }
    return lookups;
}

// spelled writes a name in one of a script's letter cases.
std::wstring spelled(std::wstring name, int spelling) {
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (spelling == 1 || (spelling == 2 && i % 2 == 0)) {
            name[i] = static_cast<wchar_t>(towupper(name[i]));
        } else if (spelling == 3) {
            name[i] = static_cast<wchar_t>(towlower(name[i]));
        }
    }
    return name;
}

// The object's own name lookup answers as the published listing says, in every letter case.
TEST_F(ComClientTest, NamesAreLookedUpAsTheListingPublishesThem) {
    const auto services = createServices();
    ASSERT_TRUE(services);
    const auto service = item(*services.Get(), Variant::integer(1));
    ASSERT_TRUE(service);
    ComPtr<_clsSVCDependencies> list;
    ASSERT_HRESULT(S_OK, service->get_Dependencies(list.ReleaseAndGetAddressOf()));
    const std::pair<IDispatch*, std::string> objects[] = {{services.Get(), "_clsServices"},
                                                          {service.Get(), "_clsService"},
                                                          {list.Get(), "_clsSVCDependencies"}};
    for (const auto& [object, interfaceName] : objects) {
        const auto lookups = lookupsOf(interfaceName);
        ASSERT_GT(lookups.size(), 8u) << "no member of " << interfaceName << " is listed";
        for (const auto& lookup : lookups) {
            for (int spelling = 0; spelling < 4; ++spelling) {
                std::vector<std::wstring> texts;
                std::vector<LPOLESTR> pointers;
                for (const auto& name : lookup.names) {
                    texts.push_back(spelled(name, spelling));
                }
                for (auto& text : texts) {
                    pointers.push_back(text.data());
                }
                const auto count = static_cast<UINT>(pointers.size());
                std::vector<DISPID> ids(count, 12345);
                const bool known = std::find(lookup.ids.begin(), lookup.ids.end(),
                                             DISPID_UNKNOWN) == lookup.ids.end();
                EXPECT_HRESULT(known ? S_OK : DISP_E_UNKNOWNNAME,
                               object->GetIDsOfNames(IID_NULL, pointers.data(), count,
                                                     LOCALE_USER_DEFAULT, ids.data()))
                    << texts[0].c_str();
                EXPECT_EQ(ids, lookup.ids) << texts[0].c_str() << " of " << interfaceName;
            }
        }
    }
}

// vtableView is the interface view of an object's type information, whose Invoke calls the
// vtable as the platform does.
ComPtr<ITypeInfo> vtableView(IDispatch& object) {
    ComPtr<ITypeInfo> dispatch, vtable;
    HREFTYPE reference = 0;
    if (SUCCEEDED(object.GetTypeInfo(0, LOCALE_USER_DEFAULT, dispatch.GetAddressOf())) &&
        SUCCEEDED(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference))) {
        dispatch->GetRefTypeInfo(reference, vtable.GetAddressOf());
    }
    return vtable;
}

// A get answers DISPATCH_PROPERTYGET, a method DISPATCH_METHOD and either both, as VBScript sends
// them; JScript calls a get whose result it drops as a method. Each member without arguments
// answers every kind of call as the platform's own Invoke on the type information does, and so
// does a call with one argument in a kind that no member of its id has.
TEST_F(ComClientTest, MembersAnswerTheKindsOfCallThePlatformsInvokeAnswers) {
    const auto services = createServices();
    ASSERT_TRUE(services);
    const auto service = createService();
    ASSERT_TRUE(service);
    ComPtr<_clsSVCDependencies> list;
    ASSERT_HRESULT(S_OK, service->get_Dependencies(list.ReleaseAndGetAddressOf()));
    const std::initializer_list<IDispatch*> objects{services.Get(), service.Get(), list.Get()};
    for (IDispatch* object : objects) {
        const auto vtable = vtableView(*object);
        ASSERT_TRUE(vtable);
        const UINT count = TypeAttributes(*vtable.Get())->cFuncs;
        for (UINT i = 0; i < count; ++i) {
            FUNCDESC* function = nullptr;
            ASSERT_HRESULT(S_OK, vtable->GetFuncDesc(i, &function));
            const MEMBERID id = function->memid;
            const bool takesNoArgument =
                function->cParams == 1 &&
                (function->lprgelemdescParam[0].paramdesc.wParamFlags & PARAMFLAG_FRETVAL) != 0;
            vtable->ReleaseFuncDesc(function);
            if (!takesNoArgument) {
                continue;
            }
            for (const WORD flags : {WORD{DISPATCH_METHOD}, WORD{DISPATCH_PROPERTYGET},
                                     WORD{DISPATCH_METHOD | DISPATCH_PROPERTYGET}}) {
                DISPPARAMS none{};
                Variant expected, actual;
                const HRESULT oracle =
                    vtable->Invoke(object, id, flags, &none, expected.get(), nullptr, nullptr);
                EXPECT_HRESULT(oracle, object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags,
                                                      &none, actual.get(), nullptr, nullptr))
                    << std::hex << id << " flags " << flags;
                EXPECT_EQ(V_VT(actual.get()), V_VT(expected.get())) << std::hex << id;
            }
        }
    }
    struct WrongKind {
        IDispatch* object;
        const wchar_t* name;
        WORD flags;
        UINT arguments;
    };
    const WrongKind calls[] = {
        {list.Get(), L"Add", DISPATCH_PROPERTYGET, 0}, // a method as a get
        {list.Get(), L"Add", DISPATCH_PROPERTYGET, 1},
        {list.Get(), L"Remove", DISPATCH_PROPERTYGET, 0},
        {services.Get(), L"Delete", DISPATCH_PROPERTYGET, 1},
        {service.Get(), L"Name", DISPATCH_METHOD, 1}, // a let's value to a property as a method
        {services.Get(), L"Count", DISPATCH_PROPERTYPUT, 1}, // a property without a let assigned
        {services.Get(), L"Item", DISPATCH_PROPERTYPUT, 1},
    };
    for (const auto& call : calls) {
        Variant argument = Variant::integer(1);
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS given{argument.get(), &named, call.arguments,
                         call.flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
        const DISPID id = dispatchId(*call.object, call.name);
        Variant expected, actual;
        const HRESULT oracle =
            vtableView(*call.object)
                ->Invoke(call.object, id, call.flags, &given, expected.get(), nullptr, nullptr);
        EXPECT_HRESULT(oracle, call.object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, call.flags,
                                                   &given, actual.get(), nullptr, nullptr))
            << call.name << " flags " << call.flags << " arguments " << call.arguments;
    }
}

TEST_F(ComClientTest, LateBoundCallsConvertArgumentsAndNeverWriteThem) {
    const auto services = createServices();
    ASSERT_TRUE(services);
    auto object = dispatchOf(services);
    ASSERT_TRUE(object);
    UINT infoCount = 0;
    EXPECT_HRESULT(S_OK, object->GetTypeInfoCount(&infoCount));
    EXPECT_EQ(infoCount, 1u);
    ComPtr<ITypeInfo> info;
    EXPECT_HRESULT(S_OK, object->GetTypeInfo(0, 0, info.ReleaseAndGetAddressOf()));
    EXPECT_TRUE(TypeAttributes(*info.Get())->guid == IID__clsServices);
    EXPECT_HRESULT(DISP_E_BADINDEX, object->GetTypeInfo(1, 0, info.ReleaseAndGetAddressOf()));

    EXPECT_EQ(dispatchId(*object.Get(), L"count"), 0x68030000);
    EXPECT_EQ(dispatchId(*object.Get(), L"ITEM"), DISPID_VALUE);
    EXPECT_EQ(dispatchId(*object.Get(), L"NoSuchMember"), DISPID_UNKNOWN);

    {
        Call call;
        invoke(call, *object.Get(), 0x68030000, DISPATCH_PROPERTYGET);
        EXPECT_HRESULT(S_OK, call.status);
        ASSERT_EQ(call.result.type(), VT_I4);
        EXPECT_GT(V_I4(call.result.get()), 0);
    }
    {
        Variant variable = Variant::integer(1);
        Variant argument = Variant::referenceTo(variable);
        Call call;
        invoke(call, *object.Get(), DISPID_VALUE, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
               {&argument});
        EXPECT_HRESULT(S_OK, call.status);
        ASSERT_EQ(call.result.type(), VT_DISPATCH);
        EXPECT_TRUE(sameObject<IUnknown>(V_DISPATCH(call.result.get()),
                                         item(*services.Get(), Variant::integer(1)).Get()));
        EXPECT_EQ(variable.type(), VT_I4);
        EXPECT_EQ(V_I4(variable.get()), 1);
    }
    {
        // A text that reads as a number is converted for an enumeration-typed let.
        Variant variable = Variant::text(L"2");
        Variant argument = Variant::referenceTo(variable);
        Call call;
        invoke(call, *object.Get(), 0x68030003, DISPATCH_PROPERTYPUT, {&argument});
        EXPECT_HRESULT(S_OK, call.status);
        long type = -1;
        EXPECT_HRESULT(S_OK, services->get_ServicesEnumType(&type));
        EXPECT_EQ(type, 2);
        EXPECT_EQ(variable.type(), VT_BSTR) << "the caller's variable keeps its type";
    }
    {
        Variant argument = Variant::text(L"not a number");
        Call call;
        invoke(call, *object.Get(), 0x68030003, DISPATCH_PROPERTYPUT, {&argument});
        EXPECT_HRESULT(DISP_E_TYPEMISMATCH, call.status);
        EXPECT_EQ(call.argumentError, 0u);
    }
    {
        Variant first = Variant::integer(1), second = Variant::integer(2);
        Call call;
        invoke(call, *object.Get(), DISPID_VALUE, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
               {&first, &second});
        EXPECT_HRESULT(DISP_E_BADPARAMCOUNT, call.status);
    }
    {
        Call call;
        invoke(call, *object.Get(), 0x12345, DISPATCH_METHOD);
        EXPECT_HRESULT(DISP_E_MEMBERNOTFOUND, call.status);
    }
}

TEST_F(ComClientTest, LateBoundTextSettersTakeScriptVariables) {
    const auto service = createService();
    ASSERT_TRUE(service);
    auto object = dispatchOf(service);
    ASSERT_TRUE(object);
    Variant variable = Variant::text(L" Spooler ");
    Variant argument = Variant::referenceTo(variable);
    Call call;
    invoke(call, *object.Get(), dispatchId(*object.Get(), L"name"), DISPATCH_PROPERTYPUT,
           {&argument});
    EXPECT_HRESULT(S_OK, call.status);
    EXPECT_EQ(text(&_clsService::get_Name, *service.Get()), L"Spooler");
    EXPECT_EQ(textOf(V_BSTR(variable.get())), L" Spooler ") << "the caller's text is untouched";

    Call state;
    invoke(state, *object.Get(), dispatchId(*object.Get(), L"CurrentState"), DISPATCH_PROPERTYGET);
    EXPECT_HRESULT(S_OK, state.status);
    EXPECT_EQ(state.result.type(), VT_I4);

    // The dependency list's Item takes a 32-bit position; a double is rounded into one.
    ComPtr<_clsSVCDependencies> list;
    ASSERT_HRESULT(S_OK, service->get_Dependencies(list.ReleaseAndGetAddressOf()));
    auto listObject = dispatchOf(list);
    Variant number = Variant::integer(42);
    Call add;
    invoke(add, *listObject.Get(), dispatchId(*listObject.Get(), L"Add"), DISPATCH_METHOD,
           {&number});
    EXPECT_HRESULT(S_OK, add.status);
    Variant position = Variant::real(0.75);
    Call read;
    invoke(read, *listObject.Get(), DISPID_VALUE, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
           {&position});
    EXPECT_HRESULT(S_OK, read.status);
    ASSERT_EQ(read.result.type(), VT_BSTR);
    EXPECT_EQ(textOf(V_BSTR(read.result.get())), L"42");
}

TEST_F(ComClientTest, ObjectsMadeInsideWorkWhileTheLibraryIsUnregistered) {
    ASSERT_HRESULT(S_OK, exportOf("DllUnregisterServer")());
    {
        const auto factory = factoryOf(CLSID_clsServices);
        ASSERT_TRUE(factory);
        ComPtr<_clsServices> services;
        ASSERT_HRESULT(S_OK, factory->CreateInstance(
                                 nullptr, IID_PPV_ARGS(services.ReleaseAndGetAddressOf())));
        const auto service = item(*services.Get(), Variant::integer(1));
        ASSERT_TRUE(service);
        EXPECT_FALSE(text(&_clsService::get_Name, *service.Get()).empty());
        ComPtr<_clsSVCDependencies> list;
        EXPECT_HRESULT(S_OK, service->get_Dependencies(list.ReleaseAndGetAddressOf()));
        EXPECT_TRUE(list);

        // IDispatch reads the library embedded in the file, not a registered one.
        auto object = dispatchOf(service);
        Call call;
        invoke(call, *object.Get(), dispatchId(*object.Get(), L"Name"), DISPATCH_PROPERTYGET);
        EXPECT_HRESULT(S_OK, call.status);
        EXPECT_EQ(call.result.type(), VT_BSTR);
    }
    ASSERT_HRESULT(S_OK, exportOf("DllRegisterServer")());
}

} // namespace
} // namespace tobrunel::server
