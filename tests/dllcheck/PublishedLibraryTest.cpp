// The type library embedded in Tobrunel.dll, and the other platform's library of the same build,
// read through the platform's reader and dumped in the listing's forms: every description, flag,
// member, parameter and constant must be the published one. Vtable offsets are left out, since a
// 64-bit reader scales a 32-bit library's (TypeLibraryLayoutTest reads them from the bytes).
#include "tests/dllcheck/CheckedLibrary.h"
#include "tests/dllcheck/Listing.h"
#include "tests/wine-support/ServerTestSupport.h"

#include <cstdio>
#include <utility>

namespace tobrunel::server::testing {
namespace {

using Names = std::initializer_list<std::pair<unsigned, const char*>>;

// flagsText names the bits of `flags` as "a|b", "none" when there are none; unnamed bits show in
// hex.
std::string flagsText(unsigned flags, Names names) {
    std::string text;
    for (const auto& [bit, name] : names) {
        if ((flags & bit) != 0) {
            text += (text.empty() ? "" : "|") + std::string(name);
            flags &= ~bit;
        }
    }
    if (flags != 0) {
        char rest[16];
        std::snprintf(rest, sizeof rest, "0x%X", flags);
        text += (text.empty() ? "" : "|") + std::string(rest);
    }
    return text.empty() ? "none" : text;
}

std::string hex8(long value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(value));
    return text;
}

std::string quoted(BSTR text) {
    return '"' + utf8(textOf(text)) + '"';
}

std::string nameOf(ITypeInfo& info) {
    Bstr name;
    info.GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr);
    return utf8(textOf(name.get()));
}

// helpOf shows a member's help string and context, which no interface member has.
std::string helpOf(ITypeInfo& info, MEMBERID id) {
    Bstr help;
    DWORD context = 0;
    info.GetDocumentation(id, nullptr, help.put(), &context, nullptr);
    return (SysStringLen(help.get()) != 0 ? " help " + quoted(help.get()) : "") +
           (context != 0 ? " context " + std::to_string(context) : "");
}

std::string typeText(ITypeInfo& owner, const TYPEDESC& type) {
    ComPtr<ITypeInfo> named;
    switch (type.vt) {
    case VT_PTR:
        return typeText(owner, *type.lptdesc) + "*";
    case VT_USERDEFINED:
        if (FAILED(owner.GetRefTypeInfo(type.hreftype, named.ReleaseAndGetAddressOf()))) {
            return "(unreadable)";
        }
        return nameOf(*named.Get());
    case VT_BSTR:
        return "BSTR";
    case VT_I4:
        return "long";
    case VT_INT:
        return "int";
    case VT_BOOL:
        return "VARIANT_BOOL";
    case VT_VARIANT:
        return "VARIANT";
    case VT_HRESULT:
        return "HRESULT";
    default:
        return "vt" + std::to_string(type.vt);
    }
}

const Names typeFlags = {{TYPEFLAG_FAPPOBJECT, "appobject"},
                         {TYPEFLAG_FCANCREATE, "cancreate"},
                         {TYPEFLAG_FLICENSED, "licensed"},
                         {TYPEFLAG_FPREDECLID, "predeclid"},
                         {TYPEFLAG_FHIDDEN, "hidden"},
                         {TYPEFLAG_FCONTROL, "control"},
                         {TYPEFLAG_FDUAL, "dual"},
                         {TYPEFLAG_FNONEXTENSIBLE, "nonextensible"},
                         {TYPEFLAG_FOLEAUTOMATION, "oleautomation"},
                         {TYPEFLAG_FRESTRICTED, "restricted"},
                         {TYPEFLAG_FAGGREGATABLE, "aggregatable"},
                         {TYPEFLAG_FREPLACEABLE, "replaceable"},
                         {TYPEFLAG_FDISPATCHABLE, "dispatchable"}};

// LibraryDump is what a client reads from the library, one line per fact.
class LibraryDump {
public:
    explicit LibraryDump(ITypeLib& library) {
        TLIBATTR* attributes = nullptr;
        Bstr name, help, file;
        DWORD context = 0;
        if (FAILED(library.GetLibAttr(&attributes)) ||
            FAILED(library.GetDocumentation(-1, name.put(), help.put(), &context, file.put()))) {
            lines.push_back("(no library attributes)");
            return;
        }
        // The reader adds "has a disk image" to a library it read from a file.
        lines.push_back("library " + utf8(textOf(name.get())) + " " + guidText(attributes->guid) +
                        " " + version(attributes->wMajorVerNum, attributes->wMinorVerNum) +
                        " lcid " + std::to_string(attributes->lcid) + " flags " +
                        flagsText(attributes->wLibFlags & ~LIBFLAG_FHASDISKIMAGE,
                                  {{LIBFLAG_FRESTRICTED, "restricted"},
                                   {LIBFLAG_FCONTROL, "control"},
                                   {LIBFLAG_FHIDDEN, "hidden"}}));
        library.ReleaseTLibAttr(attributes);
        lines.push_back("library help " + quoted(help.get()) +
                        (context != 0 ? " context " + std::to_string(context) : "") +
                        (file.get() != nullptr ? " file " + quoted(file.get()) : ""));
        for (UINT index = 0; index < library.GetTypeInfoCount(); ++index) {
            ComPtr<ITypeInfo> info;
            if (FAILED(library.GetTypeInfo(index, info.ReleaseAndGetAddressOf()))) {
                lines.push_back("(no type " + std::to_string(index) + ")");
                continue;
            }
            type(index, *info.Get());
        }
    }

    std::vector<std::string> lines;

private:
    static std::string version(WORD major, WORD minor) {
        return std::to_string(major) + "." + std::to_string(minor);
    }

    void type(UINT index, ITypeInfo& info) {
        const TypeAttributes attributes(info);
        const char* kinds[] = {"enum",     "record", "module", "interface",
                               "dispatch", "class",  "alias",  "union"};
        const std::string kind =
            attributes->typekind < TKIND_MAX ? kinds[attributes->typekind] : "kind?";
        // "dispatchable" means nothing for a class; the platform's writer sets it on some.
        const WORD flags = attributes->typekind == TKIND_COCLASS
                               ? attributes->wTypeFlags & ~TYPEFLAG_FDISPATCHABLE
                               : attributes->wTypeFlags;
        const std::string name = nameOf(info);
        lines.push_back("type " + std::to_string(index) + " " + name + " " + kind + " " +
                        guidText(attributes->guid) + " " +
                        version(attributes->wMajorVerNum, attributes->wMinorVerNum) + " " +
                        flagsText(flags, typeFlags) + helpOf(info, MEMBERID_NIL));
        HREFTYPE reference = 0;
        ComPtr<ITypeInfo> vtable;
        if (attributes->typekind == TKIND_DISPATCH && (flags & TYPEFLAG_FDUAL) != 0 &&
            SUCCEEDED(info.GetRefTypeOfImplType(static_cast<UINT>(-1), &reference)) &&
            SUCCEEDED(info.GetRefTypeInfo(reference, vtable.ReleaseAndGetAddressOf()))) {
            type(index, *vtable.Get());
        }
        for (UINT i = 0; i < attributes->cImplTypes; ++i) {
            implemented(info, name, attributes->typekind, i);
        }
        if (attributes->typekind != TKIND_DISPATCH) {
            for (UINT i = 0; i < attributes->cFuncs; ++i) {
                function(info, name, i);
            }
        }
        for (UINT i = 0; i < attributes->cVars; ++i) {
            constant(info, name, i);
        }
    }

    void implemented(ITypeInfo& info, const std::string& name, TYPEKIND kind, UINT index) {
        HREFTYPE reference = 0;
        ComPtr<ITypeInfo> base;
        ComPtr<ITypeLib> container;
        UINT ignored = 0;
        TLIBATTR* from = nullptr;
        INT flags = 0;
        if (FAILED(info.GetRefTypeOfImplType(index, &reference)) ||
            FAILED(info.GetRefTypeInfo(reference, base.ReleaseAndGetAddressOf())) ||
            FAILED(base->GetContainingTypeLib(container.ReleaseAndGetAddressOf(), &ignored)) ||
            FAILED(container->GetLibAttr(&from))) {
            lines.push_back("(unreadable base of " + name + ")");
            return;
        }
        const std::string library =
            guidText(from->guid) + " " + version(from->wMajorVerNum, from->wMinorVerNum);
        container->ReleaseTLibAttr(from);
        info.GetImplTypeFlags(index, &flags);
        if (kind == TKIND_COCLASS) {
            lines.push_back("implements " + name + " " + nameOf(*base.Get()) + " " +
                            flagsText(flags, {{IMPLTYPEFLAG_FDEFAULT, "default"},
                                              {IMPLTYPEFLAG_FSOURCE, "source"},
                                              {IMPLTYPEFLAG_FRESTRICTED, "restricted"},
                                              {IMPLTYPEFLAG_FDEFAULTVTABLE, "defaultvtable"}}));
        } else if (kind == TKIND_INTERFACE) {
            lines.push_back("inherits " + name + " " + nameOf(*base.Get()) + " from " + library);
        }
    }

    void function(ITypeInfo& info, const std::string& name, UINT index) {
        FUNCDESC* function = nullptr;
        if (FAILED(info.GetFuncDesc(index, &function))) {
            lines.push_back("(no function " + std::to_string(index) + " of " + name + ")");
            return;
        }
        BSTR names[16] = {};
        UINT count = 0;
        info.GetNames(function->memid, names, 16, &count);
        const char* invoke = function->invkind == INVOKE_FUNC          ? "func"
                             : function->invkind == INVOKE_PROPERTYGET ? "propget"
                             : function->invkind == INVOKE_PROPERTYPUT ? "propput"
                                                                       : "propputref";
        std::string line = "member " + name + " " + std::to_string(index + 1) + " " + invoke + " " +
                           hex8(function->memid) + " " +
                           (count > 0 ? utf8(textOf(names[0])) : "(unnamed)") + "(";
        for (SHORT i = 0; i < function->cParams; ++i) {
            const auto& parameter = function->lprgelemdescParam[i];
            auto flags =
                flagsText(parameter.paramdesc.wParamFlags, {{PARAMFLAG_FIN, "in"},
                                                            {PARAMFLAG_FOUT, "out"},
                                                            {PARAMFLAG_FLCID, "lcid"},
                                                            {PARAMFLAG_FRETVAL, "retval"},
                                                            {PARAMFLAG_FOPT, "optional"},
                                                            {PARAMFLAG_FHASDEFAULT, "default"}});
            std::replace(flags.begin(), flags.end(), '|', ',');
            line += (i == 0 ? "[" : ", [") + flags;
            line += "] " + typeText(info, parameter.tdesc);
            if (static_cast<UINT>(i) + 1 < count) {
                line += " " + utf8(textOf(names[i + 1]));
            }
        }
        line += ")";
        if (function->funckind != FUNC_PUREVIRTUAL || function->callconv != CC_STDCALL ||
            function->cParamsOpt != 0 || function->wFuncFlags != 0 ||
            function->elemdescFunc.tdesc.vt != VT_HRESULT) {
            line += " unusual kind " + std::to_string(function->funckind) + " call " +
                    std::to_string(function->callconv) + " optional " +
                    std::to_string(function->cParamsOpt) + " flags " +
                    std::to_string(function->wFuncFlags) + " returns " +
                    typeText(info, function->elemdescFunc.tdesc);
        }
        lines.push_back(line + helpOf(info, function->memid));
        for (UINT i = 0; i < count; ++i) {
            SysFreeString(names[i]);
        }
        info.ReleaseFuncDesc(function);
    }

    void constant(ITypeInfo& info, const std::string& name, UINT index) {
        VARDESC* variable = nullptr;
        if (FAILED(info.GetVarDesc(index, &variable))) {
            lines.push_back("(no variable " + std::to_string(index) + " of " + name + ")");
            return;
        }
        Bstr member, help;
        info.GetDocumentation(variable->memid, member.put(), help.put(), nullptr, nullptr);
        const bool integer = variable->lpvarValue != nullptr && V_VT(variable->lpvarValue) == VT_I4;
        std::string line = "const " + name + " " + hex8(variable->memid) + " " +
                           utf8(textOf(member.get())) + " = " +
                           (integer ? std::to_string(V_I4(variable->lpvarValue)) : "(no I4)") +
                           " help " + quoted(help.get());
        if (variable->varkind != VAR_CONST || variable->elemdescVar.tdesc.vt != VT_INT) {
            line += " unusual kind " + std::to_string(variable->varkind) + " type " +
                    typeText(info, variable->elemdescVar.tdesc);
        }
        lines.push_back(line);
        info.ReleaseVarDesc(variable);
    }
};

// The checked DLL, and the other platform's library, which a client of the other DLL reads.
class PublishedLibraryTest : public ::testing::TestWithParam<bool> {};

TEST_P(PublishedLibraryTest, ShowsTheListedDescriptionsMembersAndConstants) {
    ComApartment apartment;
    ASSERT_HRESULT(S_OK, apartment.result());
    const auto path = GetParam() ? dllPath() : otherTypeLibraryPath();
    ComPtr<ITypeLib> library;
    ASSERT_HRESULT(S_OK,
                   LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.ReleaseAndGetAddressOf()));
    TLIBATTR* attributes = nullptr;
    ASSERT_HRESULT(S_OK, library->GetLibAttr(&attributes));
    EXPECT_EQ(attributes->syskind == checkedPlatform, GetParam());
    library->ReleaseTLibAttr(attributes);
    EXPECT_TRUE(sameLines({"library", "type", "inherits", "implements", "member", "const"},
                          LibraryDump(*library.Get()).lines));
}

INSTANTIATE_TEST_SUITE_P(Libraries, PublishedLibraryTest, ::testing::Bool(), [](const auto& info) {
    return info.param ? "Embedded" : "OtherPlatform";
});

} // namespace
} // namespace tobrunel::server::testing
