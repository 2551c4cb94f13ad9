// Helpers of the Tobrunel.dll tests: where the DLL is, COM on the test thread, the DLL loaded
// by hand, and readable HRESULTs in failure messages.
#pragma once

#include "client/Bstr.h"
#include "client/ComApartment.h"
#include "server/Platform.h"
#include "client/WindowsPath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <iomanip>
#include <span>
#include <sstream>
#include <string>
#include <vector>

// The tests are clients of the component and use the client helpers throughout.
namespace tobrunel::server {
using client::Bstr;
using client::ComApartment;
using client::windowsPathOf;
} // namespace tobrunel::server

namespace tobrunel::server::testing {

// dllPath is the Windows path of the Tobrunel.dll under test.
inline std::wstring dllPath() {
    return windowsPathOf(TOBRUNEL_DLL);
}

// hex shows an HRESULT the way documentation writes it.
inline std::string hex(HRESULT result) {
    std::ostringstream text;
    text << "0x" << std::hex << std::uppercase << std::setw(8) << std::setfill('0')
         << static_cast<std::uint32_t>(result);
    return text.str();
}

#define EXPECT_HRESULT(expected, statement)                                                        \
    EXPECT_EQ(::tobrunel::server::testing::hex(expected),                                          \
              ::tobrunel::server::testing::hex(statement))
#define ASSERT_HRESULT(expected, statement)                                                        \
    ASSERT_EQ(::tobrunel::server::testing::hex(expected),                                          \
              ::tobrunel::server::testing::hex(statement))

// asImageResource loads a DLL for its resources only, whatever its processor: a 64-bit process
// reads a 32-bit DLL's resources that way.
inline constexpr DWORD asImageResource = LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE;

// LoadedLibrary holds the DLL loaded by path, as COM would (or with `flags`), and frees it when
// it goes.
class LoadedLibrary {
public:
    explicit LoadedLibrary(const std::wstring& path, DWORD flags = 0)
        : module_(LoadLibraryExW(path.c_str(), nullptr, flags)) {}
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;
    ~LoadedLibrary() {
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
    }
    HMODULE get() const noexcept { return module_; }

    template <typename Function> Function entry(const char* name) const {
        return reinterpret_cast<Function>(
            reinterpret_cast<void (*)()>(GetProcAddress(module_, name)));
    }

    // create makes one object through the DLL's own class object, as COM does once it has
    // found the DLL; the class object's failure or the creation's.
    template <typename Interface>
    HRESULT create(const GUID& clsid, ComPtr<Interface>& object) const {
        using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
        ComPtr<IClassFactory> factory;
        const HRESULT status = entry<GetClassObject>("DllGetClassObject")(
            clsid, IID_PPV_ARGS(factory.ReleaseAndGetAddressOf()));
        return FAILED(status) ? status
                              : factory->CreateInstance(
                                    nullptr, IID_PPV_ARGS(object.ReleaseAndGetAddressOf()));
    }

    // resource is the bytes of one resource; empty when it is missing.
    std::span<const std::byte> resource(LPCWSTR type, LPCWSTR name) const {
        HRSRC found = FindResourceW(module_, name, type);
        const void* bytes = found != nullptr ? LockResource(LoadResource(module_, found)) : nullptr;
        if (bytes == nullptr) {
            return {};
        }
        return {static_cast<const std::byte*>(bytes), SizeofResource(module_, found)};
    }

private:
    HMODULE module_;
};

// TypeAttributes reads a type description's attributes and gives them back when it goes.
class TypeAttributes {
public:
    explicit TypeAttributes(ITypeInfo& info) : info_(info) { info_.GetTypeAttr(&attributes_); }
    TypeAttributes(const TypeAttributes&) = delete;
    TypeAttributes& operator=(const TypeAttributes&) = delete;
    ~TypeAttributes() {
        if (attributes_ != nullptr) {
            info_.ReleaseTypeAttr(attributes_);
        }
    }
    const TYPEATTR* operator->() const noexcept { return attributes_; }
    explicit operator bool() const noexcept { return attributes_ != nullptr; }

private:
    ITypeInfo& info_;
    TYPEATTR* attributes_ = nullptr;
};

// Variant owns one VARIANT and clears it when it goes.
class Variant {
public:
    Variant() noexcept { VariantInit(&value_); }
    Variant(const Variant& other) : Variant() {
        // The platform declares the source without const; it only reads it.
        VariantCopy(&value_, const_cast<VARIANT*>(&other.value_));
    }
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&value_); }

    static Variant text(const std::wstring& text) {
        Variant result;
        V_VT(&result.value_) = VT_BSTR;
        V_BSTR(&result.value_) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return result;
    }
    static Variant integer(long number) {
        Variant result;
        V_VT(&result.value_) = VT_I4;
        V_I4(&result.value_) = number;
        return result;
    }
    static Variant real(double number) {
        Variant result;
        V_VT(&result.value_) = VT_R8;
        V_R8(&result.value_) = number;
        return result;
    }
    // referenceTo is what a script passes for a variable: VT_BYREF|VT_VARIANT to its value.
    static Variant referenceTo(Variant& variable) {
        Variant result;
        V_VT(&result.value_) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(&result.value_) = variable.get();
        return result;
    }

    VARIANT* get() noexcept { return &value_; }
    const VARIANT* get() const noexcept { return &value_; }
    VARTYPE type() const noexcept { return V_VT(&value_); }

private:
    VARIANT value_;
};

// dispatchOf asks `object` for its IDispatch, as a late-bound client does; empty when refused.
template <typename Interface> ComPtr<IDispatch> dispatchOf(const ComPtr<Interface>& object) {
    ComPtr<IDispatch> dispatch;
    object.As(&dispatch);
    return dispatch;
}

// textOf reads a BSTR as a wide string, NULs included.
inline std::wstring textOf(BSTR text) {
    return text == nullptr ? std::wstring() : std::wstring(text, SysStringLen(text));
}

// Call is the outcome of one late-bound call: the HRESULT, the result, the exception details
// and the index of a refused argument.
struct Call {
    HRESULT status = E_FAIL;
    Variant result;
    EXCEPINFO exception{};
    UINT argumentError = static_cast<UINT>(-1);

    Call() = default;
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;
    ~Call() {
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
    }
};

// dispatchId maps a member name through the object's own GetIDsOfNames.
inline DISPID dispatchId(IDispatch& object, const std::wstring& name) {
    std::wstring spelling = name;
    LPOLESTR names[] = {spelling.data()};
    DISPID id = DISPID_UNKNOWN;
    object.GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    return id;
}

// invoke calls `id` with the arguments in source order, as a script would; a property put
// passes its (last) argument named DISPID_PROPERTYPUT. The arguments are the caller's own and
// are handed over as they are, so a test can see whether the call wrote to them.
inline void invoke(Call& call, IDispatch& object, DISPID id, WORD flags,
                   std::initializer_list<Variant*> arguments = {}) {
    std::vector<VARIANTARG> reversed;
    for (auto* argument : arguments) {
        reversed.push_back(*argument->get());
    }
    std::reverse(reversed.begin(), reversed.end());
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS parameters{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if ((flags & DISPATCH_PROPERTYPUT) != 0) {
        parameters.rgdispidNamedArgs = &named;
        parameters.cNamedArgs = 1;
    }
    call.status = object.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters,
                                call.result.get(), &call.exception, &call.argumentError);
}

} // namespace tobrunel::server::testing
