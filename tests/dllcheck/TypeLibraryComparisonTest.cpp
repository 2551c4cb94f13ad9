// The embedded type library against the other platform's, written from the same tables: a client
// of either DLL sees the same names, ids, flags, parameters, enumeration members and help strings.
// Only the platform and the vtable layout (TypeLibraryLayoutTest) may differ.
#include "tests/dllcheck/CheckedLibrary.h"
#include "tests/wine/ServerTestSupport.h"

#include <sstream>
#include <string>
#include <vector>

namespace tobrunel::server::testing {
namespace {

// Description lists, one line per fact, what a client reads from a library through the
// platform's reader, leaving out the platform and every vtable offset and size.
class Description {
public:
    explicit Description(ITypeLib& library) {
        TLIBATTR* attributes = nullptr;
        if (FAILED(library.GetLibAttr(&attributes))) {
            add(L"no library attributes");
            return;
        }
        line() << L"library " << guid(attributes->guid) << L" lcid " << attributes->lcid
               << L" version " << attributes->wMajorVerNum << L'.' << attributes->wMinorVerNum
               << L" flags " << attributes->wLibFlags;
        library.ReleaseTLibAttr(attributes);
        documentation(library, -1);
        for (UINT i = 0; i < library.GetTypeInfoCount(); ++i) {
            documentation(library, static_cast<INT>(i));
            ComPtr<ITypeInfo> info;
            if (FAILED(library.GetTypeInfo(i, info.ReleaseAndGetAddressOf()))) {
                add(L"no description");
                continue;
            }
            type(*info.Get(), true);
        }
    }

    const std::vector<std::wstring>& lines() const noexcept { return lines_; }

private:
    // Line collects one line and adds it when it goes.
    class Line {
    public:
        explicit Line(std::vector<std::wstring>& lines) : lines_(lines) {}
        Line(const Line&) = delete;
        Line& operator=(const Line&) = delete;
        ~Line() { lines_.push_back(text_.str()); }
        template <typename Value> Line& operator<<(const Value& value) {
            text_ << value;
            return *this;
        }

    private:
        std::vector<std::wstring>& lines_;
        std::wostringstream text_;
    };

    Line line() { return Line(lines_); }
    void add(const std::wstring& text) { lines_.push_back(text); }

    static std::wstring guid(const GUID& id) {
        wchar_t text[40] = {};
        StringFromGUID2(id, text, 40);
        return text;
    }

    static std::wstring text(BSTR value) { return value != nullptr ? value : L"(none)"; }

    void documentation(ITypeLib& library, INT index) {
        Bstr name, help, file;
        DWORD context = 0;
        library.GetDocumentation(index, name.put(), help.put(), &context, file.put());
        line() << L"  " << text(name.get()) << L" help " << text(help.get()) << L" context "
               << context << L" file " << text(file.get());
    }

    void documentation(ITypeInfo& info, MEMBERID id) {
        Bstr name, help, file;
        DWORD context = 0;
        info.GetDocumentation(id, name.put(), help.put(), &context, file.put());
        line() << L"    " << text(name.get()) << L" help " << text(help.get()) << L" context "
               << context;
    }

    std::wstring typeName(ITypeInfo& owner, const TYPEDESC& type) {
        if (type.vt == VT_PTR || type.vt == VT_SAFEARRAY) {
            return L"pointer to " + typeName(owner, *type.lptdesc);
        }
        if (type.vt == VT_USERDEFINED) {
            ComPtr<ITypeInfo> referenced;
            Bstr name;
            if (SUCCEEDED(
                    owner.GetRefTypeInfo(type.hreftype, referenced.ReleaseAndGetAddressOf()))) {
                referenced->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr);
            }
            return text(name.get());
        }
        return L"vt " + std::to_wstring(type.vt);
    }

    void type(ITypeInfo& info, bool followDual) {
        const TypeAttributes attributes(info);
        if (!attributes) {
            add(L"no type attributes");
            return;
        }
        line() << L"  type " << guid(attributes->guid) << L" kind " << attributes->typekind
               << L" flags " << attributes->wTypeFlags << L" version " << attributes->wMajorVerNum
               << L'.' << attributes->wMinorVerNum << L" functions " << attributes->cFuncs
               << L" variables " << attributes->cVars << L" implements " << attributes->cImplTypes;
        for (UINT i = 0; i < attributes->cImplTypes; ++i) {
            implemented(info, i);
        }
        for (UINT i = 0; i < attributes->cFuncs; ++i) {
            function(info, i);
        }
        for (UINT i = 0; i < attributes->cVars; ++i) {
            variable(info, i);
        }
        if (followDual && attributes->typekind == TKIND_DISPATCH &&
            (attributes->wTypeFlags & TYPEFLAG_FDUAL) != 0) {
            HREFTYPE reference = 0;
            ComPtr<ITypeInfo> vtable;
            if (SUCCEEDED(info.GetRefTypeOfImplType(static_cast<UINT>(-1), &reference)) &&
                SUCCEEDED(info.GetRefTypeInfo(reference, vtable.ReleaseAndGetAddressOf()))) {
                add(L"  its vtable side:");
                type(*vtable.Get(), false);
            }
        }
    }

    void implemented(ITypeInfo& info, UINT index) {
        HREFTYPE reference = 0;
        INT flags = 0;
        ComPtr<ITypeInfo> base;
        Bstr name;
        info.GetImplTypeFlags(index, &flags);
        if (SUCCEEDED(info.GetRefTypeOfImplType(index, &reference)) &&
            SUCCEEDED(info.GetRefTypeInfo(reference, base.ReleaseAndGetAddressOf()))) {
            base->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr);
        }
        line() << L"    implements " << text(name.get()) << L" flags " << flags;
    }

    void function(ITypeInfo& info, UINT index) {
        FUNCDESC* function = nullptr;
        if (FAILED(info.GetFuncDesc(index, &function))) {
            add(L"    no function");
            return;
        }
        line() << L"    function " << function->memid << L" invoke " << function->invkind
               << L" kind " << function->funckind << L" call " << function->callconv << L" flags "
               << function->wFuncFlags << L" optional " << function->cParamsOpt << L" returns "
               << typeName(info, function->elemdescFunc.tdesc);
        for (SHORT i = 0; i < function->cParams; ++i) {
            const auto& parameter = function->lprgelemdescParam[i];
            line() << L"      parameter " << typeName(info, parameter.tdesc) << L" flags "
                   << parameter.paramdesc.wParamFlags;
        }
        BSTR names[8] = {};
        UINT count = 0;
        info.GetNames(function->memid, names, 8, &count);
        for (UINT i = 0; i < count; ++i) {
            line() << L"      name " << text(names[i]);
            SysFreeString(names[i]);
        }
        documentation(info, function->memid);
        info.ReleaseFuncDesc(function);
    }

    void variable(ITypeInfo& info, UINT index) {
        VARDESC* variable = nullptr;
        if (FAILED(info.GetVarDesc(index, &variable))) {
            add(L"    no variable");
            return;
        }
        auto entry = line();
        entry << L"    variable " << variable->memid << L" kind " << variable->varkind << L" type "
              << typeName(info, variable->elemdescVar.tdesc);
        if (variable->varkind == VAR_CONST && variable->lpvarValue != nullptr) {
            entry << L" value type " << V_VT(variable->lpvarValue) << L" value "
                  << V_I4(variable->lpvarValue);
        }
        const MEMBERID id = variable->memid;
        info.ReleaseVarDesc(variable);
        documentation(info, id);
    }

    std::vector<std::wstring> lines_;
};

TEST(TypeLibraryComparisonTest, BothPlatformsLibrariesShowTheSameMembers) {
    ComApartment apartment;
    ASSERT_HRESULT(S_OK, apartment.result());
    ComPtr<ITypeLib> embedded, other;
    ASSERT_HRESULT(
        S_OK, LoadTypeLibEx(dllPath().c_str(), REGKIND_NONE, embedded.ReleaseAndGetAddressOf()));
    ASSERT_HRESULT(S_OK, LoadTypeLibEx(otherTypeLibraryPath().c_str(), REGKIND_NONE,
                                       other.ReleaseAndGetAddressOf()));
    TLIBATTR* attributes = nullptr;
    ASSERT_HRESULT(S_OK, other->GetLibAttr(&attributes));
    EXPECT_NE(attributes->syskind, checkedPlatform) << "the other library is this platform's";
    other->ReleaseTLibAttr(attributes);

    const Description ours(*embedded.Get());
    const Description theirs(*other.Get());
    ASSERT_GT(ours.lines().size(), 200u) << "the description misses most of the library";
    ASSERT_EQ(ours.lines().size(), theirs.lines().size());
    for (std::size_t i = 0; i < ours.lines().size(); ++i) {
        EXPECT_EQ(ours.lines()[i], theirs.lines()[i]) << "line " << i;
    }
}

} // namespace
} // namespace tobrunel::server::testing
