// Bad input through IDispatch: every automation type, by value and by reference, for every member
// that takes an argument, and names of 255, 256 and 64K characters. Each call gives a result or a
// clean failing HRESULT, and the caller's arguments are the same afterwards, byte for byte.
#include "server/Interfaces.h"

#include "tests/wine-support/ServerTestSupport.h"

#include <array>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace tobrunel::server {
namespace {

using namespace testing;

// Server is one build of the DLL, loaded by path and used through its class objects, so no
// registration is needed.
class Server {
public:
    explicit Server(const std::wstring& path) : library_(path) {}

    bool loaded() const noexcept { return library_.get() != nullptr; }

    template <typename Interface> ComPtr<Interface> create(const GUID& clsid) {
        ComPtr<Interface> object;
        library_.create(clsid, object);
        return object;
    }

    ComPtr<_clsServices> services() { return create<_clsServices>(CLSID_clsServices); }
    ComPtr<_clsService> service() { return create<_clsService>(CLSID_clsService); }

private:
    LoadedLibrary library_;
};

Server& simulated() {
    static Server server(windowsPathOf(TOBRUNEL_SIMULATED_DLL));
    return server;
}

Server& real() {
    static Server server(dllPath());
    return server;
}

// --- The caller's side ---------------------------------------------------------------------

// Snapshot is everything a caller's VARIANT owns, read as bytes: the VARIANT itself, the text of
// a BSTR, the elements of an array and the texts among them.
using Snapshot = std::vector<unsigned char>;

void appendBytes(Snapshot& snapshot, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    snapshot.insert(snapshot.end(), bytes, bytes + size);
}

void appendText(Snapshot& snapshot, BSTR text) {
    if (text != nullptr) {
        appendBytes(snapshot, text, SysStringByteLen(text));
    }
}

Snapshot snapshotOf(const VARIANT& value) {
    Snapshot snapshot;
    appendBytes(snapshot, &value, sizeof value);
    // A reference owns nothing; the value it points to has its own snapshot.
    if ((V_VT(&value) & VT_BYREF) != 0) {
        return snapshot;
    }
    if (V_VT(&value) == VT_BSTR) {
        appendText(snapshot, V_BSTR(&value));
    }
    if ((V_VT(&value) & VT_ARRAY) != 0 && V_ARRAY(&value) != nullptr) {
        SAFEARRAY* array = V_ARRAY(&value);
        appendBytes(snapshot, array, sizeof *array);
        const auto count = array->rgsabound[0].cElements;
        appendBytes(snapshot, array->pvData, count * array->cbElements);
        if ((V_VT(&value) & VT_TYPEMASK) == VT_VARIANT) {
            for (ULONG i = 0; i < count; ++i) {
                const auto& element = static_cast<const VARIANT*>(array->pvData)[i];
                if (V_VT(&element) == VT_BSTR) {
                    appendText(snapshot, V_BSTR(&element));
                }
            }
        }
    }
    return snapshot;
}

// CallerValue is a value that a caller owns, such as a script variable.
class CallerValue {
public:
    CallerValue() { VariantInit(&value_); }
    CallerValue(const CallerValue&) = delete;
    CallerValue& operator=(const CallerValue&) = delete;
    ~CallerValue() { VariantClear(&value_); }
    VARIANT& value() noexcept { return value_; }

private:
    VARIANT value_;
};

enum class Form { ByValue, ByTypedReference, ByVariantReference };
constexpr std::array<Form, 3> Forms = {Form::ByValue, Form::ByTypedReference,
                                       Form::ByVariantReference};

const char* nameOf(Form form) {
    switch (form) {
    case Form::ByValue:
        return "by value";
    case Form::ByTypedReference:
        return "VT_BYREF|type";
    case Form::ByVariantReference:
        return "VT_BYREF|VT_VARIANT";
    }
    return "";
}

// passed is the argument as the caller hands it over: the value's own bytes, a reference to its
// storage under its own type, or a reference to the whole VARIANT.
VARIANT passed(VARIANT& value, Form form) {
    VARIANT argument;
    VariantInit(&argument);
    switch (form) {
    case Form::ByValue:
        argument = value;
        break;
    case Form::ByTypedReference:
        V_VT(&argument) = static_cast<VARTYPE>(VT_BYREF | V_VT(&value));
        V_BYREF(&argument) = V_VT(&value) == VT_DECIMAL ? static_cast<void*>(&V_DECIMAL(&value))
                                                        : static_cast<void*>(&V_UI1(&value));
        break;
    case Form::ByVariantReference:
        V_VT(&argument) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(&argument) = &value;
        break;
    }
    return argument;
}

// --- The kinds of argument -----------------------------------------------------------------

// Which service of the simulated database (Alpha, then Beta) a value selects as an index.
enum class Selects { Nothing, Alpha, Beta };

// What a text or a 32-bit parameter receives for a value: the automation conversion of the
// value, or the failure that the call then reports. Measured once under Wine in the C locale and
// reviewed against the documented conversions; where Wine's answer differs, the row says so.
struct AsText {
    HRESULT status;
    std::wstring value;
};
struct AsNumber {
    HRESULT status;
    LONG value;
};
AsText text(std::wstring value) {
    return {S_OK, std::move(value)};
}
AsNumber number(LONG value) {
    return {S_OK, value};
}
const AsText noText{DISP_E_TYPEMISMATCH, L""};
constexpr AsNumber noNumber{DISP_E_TYPEMISMATCH, 0};
constexpr AsNumber overflow{DISP_E_OVERFLOW, 0};

struct ArgumentKind {
    std::string name;
    std::function<void(VARIANT&)> make;
    Selects selects;
    AsText asText;
    AsNumber asNumber;
};

BSTR textOfLength(std::size_t length, wchar_t fill) {
    const std::wstring text(length, fill);
    return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

SAFEARRAY* arrayOfLongs() {
    SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 0, 3);
    for (LONG i = 0; i < 3; ++i) {
        LONG element = i + 1;
        SafeArrayPutElement(array, &i, &element);
    }
    return array;
}

SAFEARRAY* arrayOfVariants() {
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    VARIANT element;
    VariantInit(&element);
    V_VT(&element) = VT_I4;
    V_I4(&element) = 1;
    LONG index = 0;
    SafeArrayPutElement(array, &index, &element);
    V_VT(&element) = VT_BSTR;
    V_BSTR(&element) = SysAllocString(L"Alpha");
    index = 1;
    SafeArrayPutElement(array, &index, &element);
    VariantClear(&element);
    return array;
}

template <typename Set>
ArgumentKind kind(std::string name, Selects selects, AsText asText, AsNumber asNumber, Set set) {
    return {std::move(name), std::move(set), selects, std::move(asText), asNumber};
}

std::vector<ArgumentKind> argumentKinds(IDispatch& someObject) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();
    const auto real = [](VARTYPE type, double number) {
        return [=](VARIANT& v) {
            V_VT(&v) = type;
            V_R8(&v) = number;
        };
    };
    // Two numbers meet Wine's answer, where Windows overflows: an unsigned 32-bit number above
    // 2^31 - 1 becomes negative, NaN becomes 2147483647. A date beyond the year 9999 has no text.
    return {
        kind("VT_EMPTY", Selects::Nothing, text(L""), number(0), [](VARIANT&) {}),
        kind("VT_NULL", Selects::Nothing, noText, noNumber, [](VARIANT& v) { V_VT(&v) = VT_NULL; }),
        kind("VT_I1 -5", Selects::Nothing, text(L"-5"), number(-5),
             [](VARIANT& v) { V_VT(&v) = VT_I1, V_I1(&v) = -5; }),
        kind("VT_UI1 2", Selects::Beta, text(L"2"), number(2),
             [](VARIANT& v) { V_VT(&v) = VT_UI1, V_UI1(&v) = 2; }),
        kind("VT_UI1 255", Selects::Nothing, text(L"255"), number(255),
             [](VARIANT& v) { V_VT(&v) = VT_UI1, V_UI1(&v) = 255; }),
        kind("VT_I2 -32768", Selects::Nothing, text(L"-32768"), number(-32768),
             [](VARIANT& v) { V_VT(&v) = VT_I2, V_I2(&v) = -32768; }),
        kind("VT_UI2 65535", Selects::Nothing, text(L"65535"), number(65535),
             [](VARIANT& v) { V_VT(&v) = VT_UI2, V_UI2(&v) = 65535; }),
        kind("VT_I4 1", Selects::Alpha, text(L"1"), number(1),
             [](VARIANT& v) { V_VT(&v) = VT_I4, V_I4(&v) = 1; }),
        kind("VT_I4 min", Selects::Nothing, text(L"-2147483648"),
             number(std::numeric_limits<LONG>::min()),
             [](VARIANT& v) { V_VT(&v) = VT_I4, V_I4(&v) = std::numeric_limits<LONG>::min(); }),
        kind("VT_UI4 max", Selects::Nothing, text(L"4294967295"), number(-1),
             [](VARIANT& v) { V_VT(&v) = VT_UI4, V_UI4(&v) = 0xFFFFFFFFu; }),
        kind("VT_I8 2", Selects::Beta, text(L"2"), number(2),
             [](VARIANT& v) { V_VT(&v) = VT_I8, V_I8(&v) = 2; }),
        kind("VT_I8 2^40", Selects::Nothing, text(L"1099511627776"), overflow,
             [](VARIANT& v) { V_VT(&v) = VT_I8, V_I8(&v) = 1LL << 40; }),
        kind("VT_UI8 max", Selects::Nothing, text(L"18446744073709551615"), overflow,
             [](VARIANT& v) { V_VT(&v) = VT_UI8, V_UI8(&v) = ~0ULL; }),
        kind("VT_INT 1", Selects::Alpha, text(L"1"), number(1),
             [](VARIANT& v) { V_VT(&v) = VT_INT, V_INT(&v) = 1; }),
        kind("VT_UINT 2", Selects::Beta, text(L"2"), number(2),
             [](VARIANT& v) { V_VT(&v) = VT_UINT, V_UINT(&v) = 2; }),
        kind("VT_R4 1.5", Selects::Beta, text(L"1.5"), number(2),
             [](VARIANT& v) { V_VT(&v) = VT_R4, V_R4(&v) = 1.5f; }),
        kind("VT_R8 2.5", Selects::Beta, text(L"2.5"), number(2), real(VT_R8, 2.5)),
        kind("VT_R8 0.5", Selects::Nothing, text(L"0.5"), number(0), real(VT_R8, 0.5)),
        kind("VT_R8 NaN", Selects::Nothing, text(L"NAN"), number(2147483647), real(VT_R8, nan)),
        kind("VT_R8 +Inf", Selects::Nothing, text(L"INF"), overflow, real(VT_R8, inf)),
        kind("VT_R8 -Inf", Selects::Nothing, text(L"-INF"), overflow, real(VT_R8, -inf)),
        kind("VT_R8 1e300", Selects::Nothing, text(L"1E+300"), overflow, real(VT_R8, 1e300)),
        kind("VT_DATE 1.0", Selects::Alpha, text(L"12/31/1899"), number(1), real(VT_DATE, 1.0)),
        kind("VT_DATE 1e7", Selects::Nothing, noText, number(10000000), real(VT_DATE, 1e7)),
        kind("VT_CY 1.5", Selects::Beta, text(L"1.5"), number(2),
             [](VARIANT& v) { V_VT(&v) = VT_CY, V_CY(&v).int64 = 15000; }),
        kind("VT_CY max", Selects::Nothing, text(L"922337203685477.5807"), overflow,
             [](VARIANT& v) {
                 V_VT(&v) = VT_CY, V_CY(&v).int64 = std::numeric_limits<LONGLONG>::max();
             }),
        kind("VT_DECIMAL 1.5", Selects::Beta, text(L"1.5"), number(2),
             [](VARIANT& v) {
                 V_VT(&v) = VT_DECIMAL;
                 V_DECIMAL(&v).scale = 1;
                 V_DECIMAL(&v).Lo64 = 15;
             }),
        kind("VT_DECIMAL max", Selects::Nothing, text(L"79228162514264337593543950335"), overflow,
             [](VARIANT& v) {
                 V_VT(&v) = VT_DECIMAL;
                 V_DECIMAL(&v).Hi32 = 0xFFFFFFFF;
                 V_DECIMAL(&v).Lo64 = ~0ULL;
             }),
        kind("VT_BOOL true", Selects::Nothing, text(L"-1"), number(-1),
             [](VARIANT& v) { V_VT(&v) = VT_BOOL, V_BOOL(&v) = VARIANT_TRUE; }),
        kind("VT_BOOL false", Selects::Nothing, text(L"0"), number(0),
             [](VARIANT& v) { V_VT(&v) = VT_BOOL, V_BOOL(&v) = VARIANT_FALSE; }),
        kind("VT_BSTR \"alpha\"", Selects::Alpha, text(L"alpha"), noNumber,
             [](VARIANT& v) { V_VT(&v) = VT_BSTR, V_BSTR(&v) = SysAllocString(L"alpha"); }),
        kind("VT_BSTR with NULs", Selects::Nothing, text(std::wstring(L"Al\0pha\0", 7)), noNumber,
             [](VARIANT& v) {
                 V_VT(&v) = VT_BSTR, V_BSTR(&v) = SysAllocStringLen(L"Al\0pha\0", 7);
             }),
        kind("VT_BSTR 64 KiB", Selects::Nothing, text(std::wstring(32768, L'x')), noNumber,
             [](VARIANT& v) { V_VT(&v) = VT_BSTR, V_BSTR(&v) = textOfLength(32768, L'x'); }),
        kind("VT_BSTR \"2\"", Selects::Nothing, text(L"2"), number(2),
             [](VARIANT& v) { V_VT(&v) = VT_BSTR, V_BSTR(&v) = SysAllocString(L"2"); }),
        kind("VT_BSTR null", Selects::Nothing, text(L""), noNumber,
             [](VARIANT& v) { V_VT(&v) = VT_BSTR, V_BSTR(&v) = nullptr; }),
        kind("VT_DISPATCH object", Selects::Nothing, noText, noNumber,
             [&someObject](VARIANT& v) {
                 someObject.AddRef();
                 V_VT(&v) = VT_DISPATCH, V_DISPATCH(&v) = &someObject;
             }),
        kind("VT_DISPATCH null", Selects::Nothing, noText, noNumber,
             [](VARIANT& v) { V_VT(&v) = VT_DISPATCH, V_DISPATCH(&v) = nullptr; }),
        kind("VT_UNKNOWN object", Selects::Nothing, noText, noNumber,
             [&someObject](VARIANT& v) {
                 someObject.AddRef();
                 V_VT(&v) = VT_UNKNOWN, V_UNKNOWN(&v) = &someObject;
             }),
        kind("VT_ERROR missing", Selects::Nothing, noText, noNumber,
             [](VARIANT& v) { V_VT(&v) = VT_ERROR, V_ERROR(&v) = DISP_E_PARAMNOTFOUND; }),
        kind("VT_ARRAY|VT_I4", Selects::Nothing, noText, noNumber,
             [](VARIANT& v) { V_VT(&v) = VT_ARRAY | VT_I4, V_ARRAY(&v) = arrayOfLongs(); }),
        kind("VT_ARRAY|VT_VARIANT", Selects::Nothing, noText, noNumber,
             [](VARIANT& v) { V_VT(&v) = VT_ARRAY | VT_VARIANT, V_ARRAY(&v) = arrayOfVariants(); }),
    };
}

// --- The members -----------------------------------------------------------------------------

enum class Parameter { Variant, Text, Int32 };

struct Target {
    ComPtr<IDispatch> object;
    // The service and the list behind the object, where there are such, for reading back.
    ComPtr<_clsServices> services;
    ComPtr<_clsService> service;
    ComPtr<_clsSVCDependencies> list;
};

struct Member {
    const char* name;
    Parameter parameter;
    DISPID id;
    WORD flags;
    std::function<Target()> target;
    // verify checks what a successful call did, given the kind of argument the member was passed.
    std::function<void(Target&, const ArgumentKind& kind, const VARIANT& result)> verify;
};

std::wstring readText(HRESULT (STDMETHODCALLTYPE _clsService::*read)(BSTR*), _clsService& s) {
    Bstr value;
    EXPECT_HRESULT(S_OK, (s.*read)(value.put()));
    return textOf(value.get());
}

std::wstring serviceName(IDispatch* object) {
    ComPtr<_clsService> service;
    if (object == nullptr ||
        FAILED(object->QueryInterface(IID_PPV_ARGS(service.ReleaseAndGetAddressOf())))) {
        return L"(no service)";
    }
    return readText(&_clsService::get_Name, *service.Get());
}

std::wstring expectedName(Selects selects) {
    return selects == Selects::Alpha ? L"Alpha" : selects == Selects::Beta ? L"Beta" : L"";
}

std::wstring trimmed(const std::wstring& text) {
    const auto first = text.find_first_not_of(L' ');
    if (first == std::wstring::npos) {
        return L"";
    }
    return text.substr(first, text.find_last_not_of(L' ') - first + 1);
}

Target servicesTarget() {
    Target target;
    target.services = simulated().services();
    target.object = dispatchOf(target.services);
    return target;
}

Target serviceTarget() {
    Target target;
    target.service = simulated().service();
    target.object = dispatchOf(target.service);
    return target;
}

// A list of the two names "a" and "b", taken from a service.
Target listTarget() {
    Target target;
    target.service = simulated().service();
    target.service->get_Dependencies(target.list.ReleaseAndGetAddressOf());
    for (const wchar_t* name : {L"a", L"b"}) {
        Bstr text(SysAllocString(name));
        BSTR argument = text.get();
        target.list->Add(&argument);
    }
    target.object = dispatchOf(target.list);
    return target;
}

std::vector<Member> members() {
    const auto getOrCall = static_cast<WORD>(DISPATCH_METHOD | DISPATCH_PROPERTYGET);
    const auto serviceTextLet = [](const char* name, DISPID id, bool resolves) {
        return Member{
            name,
            Parameter::Text,
            id,
            DISPATCH_PROPERTYPUT,
            serviceTarget,
            [=](Target& t, const ArgumentKind& kind, const VARIANT&) {
                const auto text = trimmed(kind.asText.value);
                if (!resolves) {
                    EXPECT_EQ(readText(&_clsService::get_ComputerName, *t.service.Get()), text);
                    return;
                }
                // Only the one name that the simulated database holds resolves.
                const bool found =
                    _wcsicmp(text.c_str(), id == 0x68030004 ? L"alpha" : L"alpha service") == 0 &&
                    text.find(L'\0') == std::wstring::npos;
                EXPECT_EQ(readText(&_clsService::get_Name, *t.service.Get()),
                          found ? (id == 0x68030004 ? text : L"Alpha") : L"");
            }};
    };
    return {
        {"clsServices.Item", Parameter::Variant, DISPID_VALUE, getOrCall, servicesTarget,
         [](Target&, const ArgumentKind& kind, const VARIANT& result) {
             ASSERT_EQ(V_VT(&result), VT_DISPATCH);
             EXPECT_EQ(V_DISPATCH(&result) == nullptr, kind.selects == Selects::Nothing);
             if (V_DISPATCH(&result) != nullptr) {
                 EXPECT_EQ(serviceName(V_DISPATCH(&result)), expectedName(kind.selects));
             }
         }},
        {"clsServices.Delete", Parameter::Variant, 0x60030004, DISPATCH_METHOD, servicesTarget,
         [](Target& t, const ArgumentKind& kind, const VARIANT& result) {
             ASSERT_EQ(V_VT(&result), VT_BOOL);
             EXPECT_EQ(V_BOOL(&result),
                       kind.selects == Selects::Nothing ? VARIANT_FALSE : VARIANT_TRUE);
             long count = 0;
             EXPECT_HRESULT(S_OK, t.services->get_Count(&count));
             EXPECT_EQ(count, kind.selects == Selects::Nothing ? 2 : 1);
         }},
        {"clsServices.ServicesEnumType", Parameter::Int32, 0x68030003, DISPATCH_PROPERTYPUT,
         servicesTarget,
         [](Target& t, const ArgumentKind& kind, const VARIANT&) {
             long type = -1;
             EXPECT_HRESULT(S_OK, t.services->get_ServicesEnumType(&type));
             EXPECT_EQ(type, kind.asNumber.value);
         }},
        {"clsServices.ServicesEnumState", Parameter::Int32, 0x68030002, DISPATCH_PROPERTYPUT,
         servicesTarget,
         [](Target& t, const ArgumentKind& kind, const VARIANT&) {
             long state = -1;
             EXPECT_HRESULT(S_OK, t.services->get_ServicesEnumState(&state));
             EXPECT_EQ(state, kind.asNumber.value);
         }},
        {"clsServices.ComputerName", Parameter::Text, 0x68030001, DISPATCH_PROPERTYPUT,
         servicesTarget,
         [](Target& t, const ArgumentKind& kind, const VARIANT&) {
             Bstr name;
             EXPECT_HRESULT(S_OK, t.services->get_ComputerName(name.put()));
             EXPECT_EQ(textOf(name.get()), trimmed(kind.asText.value));
         }},
        serviceTextLet("clsService.ComputerName", 0x68030009, false),
        serviceTextLet("clsService.Name", 0x68030004, true),
        serviceTextLet("clsService.DisplayName", 0x68030003, true),
        {"clsService.CurrentState", Parameter::Int32, 0x68030002, DISPATCH_PROPERTYPUT,
         serviceTarget,
         [](Target& t, const ArgumentKind&, const VARIANT&) {
             // An unnamed service is in state 0, from which no request leads anywhere.
             long state = -1;
             EXPECT_HRESULT(S_OK, t.service->get_CurrentState(&state));
             EXPECT_EQ(state, 0);
         }},
        {"clsSVCDependencies.Source", Parameter::Text, 0x68030001, DISPATCH_PROPERTYPUT, listTarget,
         [](Target& t, const ArgumentKind& kind, const VARIANT&) {
             // A text without NULs is one name, or none when it is blank.
             const auto text = trimmed(kind.asText.value);
             if (text.find(L'\0') == std::wstring::npos) {
                 long count = -1;
                 EXPECT_HRESULT(S_OK, t.list->get_Count(&count));
                 EXPECT_EQ(count, text.empty() ? 0 : 1);
             }
         }},
        {"clsSVCDependencies.Add", Parameter::Text, 0x60030002, DISPATCH_METHOD, listTarget,
         [](Target& t, const ArgumentKind& kind, const VARIANT&) {
             long last = 3;
             Bstr item;
             EXPECT_HRESULT(S_OK, t.list->get_Item(&last, item.put()));
             EXPECT_EQ(textOf(item.get()), kind.asText.value);
         }},
        {"clsSVCDependencies.Remove", Parameter::Int32, 0x60030003, DISPATCH_METHOD, listTarget,
         [](Target&, const ArgumentKind& kind, const VARIANT& result) {
             ASSERT_EQ(V_VT(&result), VT_BOOL);
             const LONG position = kind.asNumber.value;
             EXPECT_EQ(V_BOOL(&result),
                       position == 1 || position == 2 ? VARIANT_TRUE : VARIANT_FALSE);
         }},
        {"clsSVCDependencies.Item", Parameter::Int32, DISPID_VALUE, getOrCall, listTarget,
         [](Target&, const ArgumentKind& kind, const VARIANT& result) {
             ASSERT_EQ(V_VT(&result), VT_BSTR);
             const LONG position = kind.asNumber.value;
             EXPECT_EQ(textOf(V_BSTR(&result)), position == 1 ? L"a" : position == 2 ? L"b" : L"");
         }},
    };
}

// --- The outcome table ---------------------------------------------------------------------

class BadInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_HRESULT(S_OK, apartment.result());
        ASSERT_TRUE(simulated().loaded());
        ASSERT_TRUE(real().loaded());
    }

    ComApartment apartment;
};

TEST_F(BadInputTest, EveryTypeByValueAndByReferenceGivesAResultOrACleanFailure) {
    const auto someObject = simulated().service();
    ASSERT_TRUE(someObject);
    for (const auto& member : members()) {
        for (const auto& kind : argumentKinds(*someObject.Get())) {
            for (const Form form : Forms) {
                SCOPED_TRACE(std::string(member.name) + " with " + kind.name + ", " + nameOf(form));
                CallerValue value;
                kind.make(value.value());
                VARIANT argument = passed(value.value(), form);
                const Snapshot valueBefore = snapshotOf(value.value());
                const Snapshot argumentBefore = snapshotOf(argument);

                Target target = member.target();
                ASSERT_TRUE(target.object);
                Call call;
                DISPID named = DISPID_PROPERTYPUT;
                DISPPARAMS parameters{&argument, nullptr, 1, 0};
                if (member.flags == DISPATCH_PROPERTYPUT) {
                    parameters.rgdispidNamedArgs = &named;
                    parameters.cNamedArgs = 1;
                }
                call.status = target.object->Invoke(member.id, IID_NULL, LOCALE_USER_DEFAULT,
                                                    member.flags, &parameters, call.result.get(),
                                                    &call.exception, &call.argumentError);

                EXPECT_EQ(snapshotOf(value.value()), valueBefore) << "the caller's value changed";
                EXPECT_EQ(snapshotOf(argument), argumentBefore) << "the caller's argument changed";

                // A VARIANT parameter takes any argument whose references resolve; a reference
                // to VT_EMPTY or VT_NULL is no valid argument at all.
                const bool invalidReference =
                    form == Form::ByTypedReference &&
                    (V_VT(&value.value()) == VT_EMPTY || V_VT(&value.value()) == VT_NULL);
                const HRESULT expected = invalidReference                      ? DISP_E_TYPEMISMATCH
                                         : member.parameter == Parameter::Text ? kind.asText.status
                                         : member.parameter == Parameter::Int32
                                             ? kind.asNumber.status
                                             : S_OK;
                EXPECT_HRESULT(expected, call.status);
                if (SUCCEEDED(call.status)) {
                    member.verify(target, kind, *call.result.get());
                } else {
                    EXPECT_EQ(call.argumentError, 0u);
                    EXPECT_EQ(call.result.type(), VT_EMPTY);
                }
            }
        }
    }
}

// --- Long names ------------------------------------------------------------------------------

struct NameCase {
    const char* dll;
    std::size_t length;
};

void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.dll << " " << c.length;
}

class LongNames : public ::testing::TestWithParam<NameCase> {
protected:
    void SetUp() override { ASSERT_HRESULT(S_OK, apartment.result()); }
    Server& server() { return GetParam().dll == std::string("real") ? real() : simulated(); }

    // Both ways a client passes the name: through the vtable, and as a script variable through
    // IDispatch.
    static void set(IDispatch& object, DISPID id, const std::wstring& text) {
        Variant variable = Variant::text(text);
        Variant argument = Variant::referenceTo(variable);
        Call call;
        invoke(call, object, id, DISPATCH_PROPERTYPUT, {&argument});
        EXPECT_HRESULT(S_OK, call.status);
        EXPECT_EQ(textOf(V_BSTR(variable.get())), text);
    }

    ComApartment apartment;
};

TEST_P(LongNames, AServiceOfAnUnknownLongNameIsCleared) {
    const std::wstring name(GetParam().length, L'n');
    for (const DISPID id : {DISPID{0x68030004}, DISPID{0x68030003}}) {
        SCOPED_TRACE(id == 0x68030004 ? "Name" : "DisplayName");
        const auto service = server().service();
        ASSERT_TRUE(service);
        set(*service.Get(), id, name);
        EXPECT_EQ(readText(&_clsService::get_Name, *service.Get()), L"");
        EXPECT_EQ(readText(&_clsService::get_DisplayName, *service.Get()), L"");
        long state = -1;
        EXPECT_HRESULT(S_OK, service->get_CurrentState(&state));
        EXPECT_EQ(state, 0);
        VARIANT_BOOL refreshed = VARIANT_TRUE;
        EXPECT_HRESULT(S_OK, service->Refresh(&refreshed));
        EXPECT_EQ(refreshed, VARIANT_FALSE);
    }
}

TEST_P(LongNames, AServiceKeepsALongComputerNameWhole) {
    const std::wstring name(GetParam().length, L'c');
    const auto service = server().service();
    ASSERT_TRUE(service);
    set(*service.Get(), 0x68030009, L" " + name + L" ");
    EXPECT_EQ(readText(&_clsService::get_ComputerName, *service.Get()), name);
    // The simulated database knows no computer of that name, so its service does not resolve;
    // Wine's manager ignores the computer name and resolves its own service.
    const bool onWine = GetParam().dll == std::string("real");
    const std::wstring existing = onWine ? L"Spooler" : L"Alpha";
    set(*service.Get(), 0x68030004, existing);
    EXPECT_EQ(readText(&_clsService::get_Name, *service.Get()), onWine ? existing : L"");
}

TEST_P(LongNames, ACollectionOnALongComputerNameListsWhatTheManagerGives) {
    const std::wstring name(GetParam().length, L'c');
    const auto services = server().services();
    ASSERT_TRUE(services);
    long before = 0;
    ASSERT_HRESULT(S_OK, services->get_Count(&before));
    ASSERT_GT(before, 0);
    set(*dispatchOf(services).Get(), 0x68030001, name);
    Bstr stored;
    EXPECT_HRESULT(S_OK, services->get_ComputerName(stored.put()));
    EXPECT_EQ(textOf(stored.get()), name);
    long count = -1;
    VARIANT_BOOL refreshed = VARIANT_TRUE;
    EXPECT_HRESULT(S_OK, services->Refresh(&refreshed));
    EXPECT_HRESULT(S_OK, services->get_Count(&count));
    if (GetParam().dll == std::string("simulated")) {
        // An unknown computer cannot be opened: the documented false and empty list.
        EXPECT_EQ(refreshed, VARIANT_FALSE);
        EXPECT_EQ(count, 0);
    } else {
        // Wine's manager ignores the computer name and lists its own services.
        EXPECT_EQ(refreshed, VARIANT_TRUE);
        EXPECT_EQ(count, before);
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, LongNames,
                         ::testing::Values(NameCase{"simulated", 255}, NameCase{"simulated", 256},
                                           NameCase{"simulated", 65536}, NameCase{"real", 255},
                                           NameCase{"real", 256}, NameCase{"real", 65536}),
                         [](const auto& info) {
                             return std::string(info.param.dll) + "_" +
                                    std::to_string(info.param.length);
                         });

} // namespace
} // namespace tobrunel::server
