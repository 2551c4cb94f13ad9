// The type library embedded in Tobrunel.dll, read back through the platform's reader and checked
// against the same tables the writer used: library attributes, the thirteen descriptions in
// order, every member of the three interfaces, the enumerations, and the C++ vtable slots.
#include "model/Enumerations.h"
#include "server/Descriptions.h"

#include "ServerTestSupport.h"
#include "tests/dllcheck/CheckedLibrary.h"

#include <algorithm>
#include <string>
#include <vector>

namespace tobrunel::server {
namespace {

using testing::checkedPlatform;
using testing::dllPath;
using testing::TypeAttributes;

std::wstring wide(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}

struct Documentation {
    std::wstring name;
    std::wstring helpString;
    DWORD helpContext = 0;
    bool hasHelpFile = false;
};

Documentation documentationOf(HRESULT (*read)(void*, MEMBERID, BSTR*, BSTR*, DWORD*, BSTR*),
                              void* source, MEMBERID id) {
    Bstr name, helpString, helpFile;
    Documentation result;
    read(source, id, name.put(), helpString.put(), &result.helpContext, helpFile.put());
    result.name = name.get() != nullptr ? name.get() : L"";
    result.helpString = helpString.get() != nullptr ? helpString.get() : L"";
    result.hasHelpFile = helpFile.get() != nullptr;
    return result;
}

Documentation documentationOf(ITypeLib& library, INT index) {
    return documentationOf(
        [](void* source, MEMBERID id, BSTR* name, BSTR* help, DWORD* context, BSTR* file) {
            return static_cast<ITypeLib*>(source)->GetDocumentation(id, name, help, context, file);
        },
        &library, index);
}

Documentation documentationOf(ITypeInfo& info, MEMBERID id) {
    return documentationOf(
        [](void* source, MEMBERID member, BSTR* name, BSTR* help, DWORD* context, BSTR* file) {
            return static_cast<ITypeInfo*>(source)->GetDocumentation(member, name, help, context,
                                                                     file);
        },
        &info, id);
}

std::vector<const ClassRecord*> classesInIndexOrder() {
    std::vector<const ClassRecord*> classes(velcastraLibrary.classes.begin(),
                                            velcastraLibrary.classes.end());
    std::sort(classes.begin(), classes.end(),
              [](const auto* a, const auto* b) { return a->objectIndex < b->objectIndex; });
    return classes;
}

// ExpectedDescription is one row of the library's index as the tables define it.
struct ExpectedDescription {
    std::wstring name;
    TYPEKIND kind;
    GUID guid;
};

std::vector<ExpectedDescription> expectedDescriptions() {
    std::vector<ExpectedDescription> expected;
    for (const auto* record : classesInIndexOrder()) {
        const auto& description = *record->defaultInterface;
        // A dual interface shows its dispatch side at its index.
        expected.push_back({std::wstring(description.name), TKIND_DISPATCH, description.iid});
        expected.push_back({std::wstring(record->name), TKIND_COCLASS, record->clsid});
    }
    const auto enumerations = publicEnumerations();
    for (std::size_t i = 0; i < enumerations.size(); ++i) {
        expected.push_back({wide(enumerations[i].name), TKIND_ENUM, enumerationIds[i]});
    }
    return expected;
}

class TypeLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_HRESULT(S_OK, apartment.result());
        ASSERT_HRESULT(
            S_OK, LoadTypeLibEx(dllPath().c_str(), REGKIND_NONE, library.ReleaseAndGetAddressOf()));
    }

    ComPtr<ITypeInfo> infoOf(const GUID& guid) {
        ComPtr<ITypeInfo> info;
        EXPECT_HRESULT(S_OK, library->GetTypeInfoOfGuid(guid, info.ReleaseAndGetAddressOf()));
        return info;
    }

    // vtableSideOf follows a dual interface from its dispatch side to its vtable side.
    ComPtr<ITypeInfo> vtableSideOf(ITypeInfo& dispatch) {
        HREFTYPE reference = 0;
        ComPtr<ITypeInfo> vtable;
        EXPECT_HRESULT(S_OK, dispatch.GetRefTypeOfImplType(static_cast<UINT>(-1), &reference));
        EXPECT_HRESULT(S_OK, dispatch.GetRefTypeInfo(reference, vtable.ReleaseAndGetAddressOf()));
        return vtable;
    }

    ComApartment apartment;
    ComPtr<ITypeLib> library;
};

TEST_F(TypeLibraryTest, LibraryAttributesComeFromTheLibraryRecord) {
    TLIBATTR* attributes = nullptr;
    ASSERT_HRESULT(S_OK, library->GetLibAttr(&attributes));
    EXPECT_TRUE(attributes->guid == velcastraLibrary.libid);
    EXPECT_EQ(attributes->lcid, velcastraLibrary.lcid);
    EXPECT_EQ(attributes->syskind, checkedPlatform);
    EXPECT_EQ(attributes->wMajorVerNum, 1);
    EXPECT_EQ(attributes->wMinorVerNum, 0);
    // The reader adds "has a disk image" to a library it read from a file; no other flag.
    EXPECT_EQ(attributes->wLibFlags & ~LIBFLAG_FHASDISKIMAGE, 0);
    library->ReleaseTLibAttr(attributes);

    const auto documentation = documentationOf(*library.Get(), -1);
    EXPECT_EQ(documentation.name, L"Velcastra");
    EXPECT_EQ(documentation.helpString, velcastraLibrary.description);
    EXPECT_EQ(documentation.helpContext, 0u);
    EXPECT_FALSE(documentation.hasHelpFile);
}

TEST_F(TypeLibraryTest, ThirteenDescriptionsStandInIndexOrder) {
    const auto expected = expectedDescriptions();
    ASSERT_EQ(expected.size(), 13u);
    ASSERT_EQ(library->GetTypeInfoCount(), 13u);
    for (UINT index = 0; index < expected.size(); ++index) {
        SCOPED_TRACE(expected[index].name);
        TYPEKIND kind = TKIND_MAX;
        EXPECT_HRESULT(S_OK, library->GetTypeInfoType(index, &kind));
        EXPECT_EQ(kind, expected[index].kind);
        const auto documentation = documentationOf(*library.Get(), static_cast<INT>(index));
        EXPECT_EQ(documentation.name, expected[index].name);
        EXPECT_EQ(documentation.helpString, L"") << "no description carries a help string";
        EXPECT_EQ(documentation.helpContext, 0u);

        ComPtr<ITypeInfo> info;
        ASSERT_HRESULT(S_OK, library->GetTypeInfo(index, info.ReleaseAndGetAddressOf()));
        const TypeAttributes attributes(*info.Get());
        ASSERT_TRUE(attributes);
        EXPECT_TRUE(attributes->guid == expected[index].guid);
        EXPECT_EQ(attributes->wMajorVerNum, 1);
        EXPECT_EQ(attributes->wMinorVerNum, 0);
    }
}

// The interface flags as the platform's reader reports them. Wine's writer keeps hidden, dual,
// non-extensible and dispatchable on both sides, and automation-compatible on the vtable side
// only: under Wine the dispatch side reads back 0x10D0, without that one flag.
TEST_F(TypeLibraryTest, InterfacesAreHiddenNonExtensibleDuals) {
    constexpr WORD both =
        TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE;
    for (const auto* record : velcastraLibrary.classes) {
        const auto& description = *record->defaultInterface;
        SCOPED_TRACE(std::wstring(description.name));
        const auto dispatch = infoOf(description.iid);
        ASSERT_TRUE(dispatch);
        {
            const TypeAttributes attributes(*dispatch.Get());
            EXPECT_EQ(attributes->typekind, TKIND_DISPATCH);
            EXPECT_EQ(attributes->wTypeFlags & both, both);
            EXPECT_EQ(attributes->wTypeFlags & ~(both | TYPEFLAG_FOLEAUTOMATION), 0);
        }
        const auto vtable = vtableSideOf(*dispatch.Get());
        ASSERT_TRUE(vtable);
        const TypeAttributes attributes(*vtable.Get());
        EXPECT_EQ(attributes->typekind, TKIND_INTERFACE);
        EXPECT_EQ(attributes->wTypeFlags, both | TYPEFLAG_FOLEAUTOMATION);
        EXPECT_EQ(attributes->cFuncs, description.members.size());
        // The vtable size and offsets are checked from the library's bytes
        // (TypeLibraryLayoutTest): a 64-bit reader shows a 32-bit library's inconsistently.
        ASSERT_EQ(attributes->cImplTypes, 1);
        HREFTYPE reference = 0;
        ComPtr<ITypeInfo> base;
        ASSERT_HRESULT(S_OK, vtable->GetRefTypeOfImplType(0, &reference));
        ASSERT_HRESULT(S_OK, vtable->GetRefTypeInfo(reference, base.ReleaseAndGetAddressOf()));
        EXPECT_TRUE(TypeAttributes(*base.Get())->guid == IID_IDispatch);
        // IDispatch comes from the imported standard OLE automation library, version 2.0.
        ComPtr<ITypeLib> imported;
        UINT index = 0;
        ASSERT_HRESULT(S_OK, base->GetContainingTypeLib(imported.ReleaseAndGetAddressOf(), &index));
        TLIBATTR* importedAttributes = nullptr;
        ASSERT_HRESULT(S_OK, imported->GetLibAttr(&importedAttributes));
        EXPECT_TRUE(importedAttributes->guid == IID_StdOle);
        EXPECT_EQ(importedAttributes->wMajorVerNum, 2);
        imported->ReleaseTLibAttr(importedAttributes);
    }
}

TEST_F(TypeLibraryTest, ClassesImplementOnlyTheirDefaultInterface) {
    for (const auto* record : velcastraLibrary.classes) {
        SCOPED_TRACE(std::wstring(record->name));
        const auto info = infoOf(record->clsid);
        ASSERT_TRUE(info);
        const TypeAttributes attributes(*info.Get());
        EXPECT_EQ(attributes->typekind, TKIND_COCLASS);
        const WORD expectedFlags =
            record->instancing == Instancing::MultiUse ? TYPEFLAG_FCANCREATE : 0;
        // Wine's writer adds "dispatchable" to some classes (clsService: 0x1002) and not to
        // others (clsServices: 0x2); nothing else.
        EXPECT_EQ(attributes->wTypeFlags & ~TYPEFLAG_FDISPATCHABLE, expectedFlags);
        ASSERT_EQ(attributes->cImplTypes, 1);
        INT implementationFlags = 0;
        EXPECT_HRESULT(S_OK, info->GetImplTypeFlags(0, &implementationFlags));
        EXPECT_EQ(implementationFlags, IMPLTYPEFLAG_FDEFAULT);
        HREFTYPE reference = 0;
        ComPtr<ITypeInfo> implemented;
        ASSERT_HRESULT(S_OK, info->GetRefTypeOfImplType(0, &reference));
        ASSERT_HRESULT(S_OK, info->GetRefTypeInfo(reference, implemented.ReleaseAndGetAddressOf()));
        EXPECT_TRUE(TypeAttributes(*implemented.Get())->guid == record->defaultInterface->iid);
    }
}

// expectedType is the TYPEDESC a table type becomes behind its by-reference pointer.
void expectType(ITypeInfo& owner, const TYPEDESC& type, const TypeReference& expected) {
    switch (expected.type) {
    case ValueType::Text:
        EXPECT_EQ(type.vt, VT_BSTR);
        return;
    case ValueType::Int32:
        EXPECT_EQ(type.vt, VT_I4);
        return;
    case ValueType::Boolean:
        EXPECT_EQ(type.vt, VT_BOOL);
        return;
    case ValueType::Variant:
        EXPECT_EQ(type.vt, VT_VARIANT);
        return;
    case ValueType::Enumeration:
    case ValueType::Object:
        break;
    }
    const TYPEDESC* named = &type;
    if (expected.type == ValueType::Object) {
        ASSERT_EQ(type.vt, VT_PTR);
        named = type.lptdesc;
    }
    ASSERT_EQ(named->vt, VT_USERDEFINED);
    ComPtr<ITypeInfo> referenced;
    ASSERT_HRESULT(S_OK,
                   owner.GetRefTypeInfo(named->hreftype, referenced.ReleaseAndGetAddressOf()));
    EXPECT_EQ(documentationOf(*referenced.Get(), MEMBERID_NIL).name, expected.name);
}

void expectParameter(ITypeInfo& owner, const ELEMDESC& parameter, const TypeReference& expected,
                     USHORT flags) {
    EXPECT_EQ(parameter.paramdesc.wParamFlags, flags);
    ASSERT_EQ(parameter.tdesc.vt, VT_PTR) << "every value travels by reference";
    expectType(owner, *parameter.tdesc.lptdesc, expected);
}

INVOKEKIND invokeKindOf(MemberKind kind) {
    switch (kind) {
    case MemberKind::PropertyGet:
        return INVOKE_PROPERTYGET;
    case MemberKind::PropertyLet:
        return INVOKE_PROPERTYPUT;
    case MemberKind::Method:
        break;
    }
    return INVOKE_FUNC;
}

TEST_F(TypeLibraryTest, EveryMemberMatchesItsTableRow) {
    for (const auto* record : velcastraLibrary.classes) {
        const auto& description = *record->defaultInterface;
        const auto dispatch = infoOf(description.iid);
        ASSERT_TRUE(dispatch);
        const auto vtable = vtableSideOf(*dispatch.Get());
        ASSERT_TRUE(vtable);
        for (UINT index = 0; index < description.members.size(); ++index) {
            const auto& member = description.members[index];
            SCOPED_TRACE(std::wstring(description.name) + L"." + std::wstring(member.name) + L" #" +
                         std::to_wstring(index + 1));
            FUNCDESC* function = nullptr;
            ASSERT_HRESULT(S_OK, vtable->GetFuncDesc(index, &function));
            EXPECT_EQ(function->memid, member.dispid);
            EXPECT_EQ(function->invkind, invokeKindOf(member.kind));
            EXPECT_EQ(function->funckind, FUNC_PUREVIRTUAL);
            EXPECT_EQ(function->callconv, CC_STDCALL);
            EXPECT_EQ(function->cParamsOpt, 0);
            EXPECT_EQ(function->wFuncFlags, 0);
            EXPECT_EQ(function->elemdescFunc.tdesc.vt, VT_HRESULT);
            const int expectedCount = (member.parameter ? 1 : 0) + (member.result ? 1 : 0);
            EXPECT_EQ(function->cParams, expectedCount);
            if (function->cParams == expectedCount) {
                int next = 0;
                if (member.parameter) {
                    expectParameter(*vtable.Get(), function->lprgelemdescParam[next++],
                                    member.parameter->type, PARAMFLAG_FIN | PARAMFLAG_FOUT);
                }
                if (member.result) {
                    expectParameter(*vtable.Get(), function->lprgelemdescParam[next],
                                    *member.result, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);
                }
            }
            vtable->ReleaseFuncDesc(function);

            BSTR names[2] = {};
            UINT count = 0;
            ASSERT_HRESULT(S_OK, vtable->GetNames(member.dispid, names, 2, &count));
            ASSERT_GE(count, 1u);
            EXPECT_EQ(std::wstring(names[0]), member.name);
            // A property let's value parameter is unnamed; the others carry their table name.
            if (member.parameter && member.kind != MemberKind::PropertyLet) {
                ASSERT_EQ(count, 2u);
                EXPECT_EQ(std::wstring(names[1]), member.parameter->name);
            }
            for (UINT i = 0; i < count; ++i) {
                SysFreeString(names[i]);
            }
            EXPECT_EQ(documentationOf(*vtable.Get(), member.dispid).helpString, L"");
        }
    }
}

TEST_F(TypeLibraryTest, NamesMapToDispatchIdsWhateverTheirCase) {
    for (const auto* record : velcastraLibrary.classes) {
        const auto& description = *record->defaultInterface;
        const auto dispatch = infoOf(description.iid);
        ASSERT_TRUE(dispatch);
        for (const auto& member : description.members) {
            for (auto fold : {::towupper, ::towlower}) {
                std::wstring spelling(member.name);
                std::transform(spelling.begin(), spelling.end(), spelling.begin(), fold);
                LPOLESTR names[] = {spelling.data()};
                MEMBERID id = 0;
                EXPECT_HRESULT(S_OK, dispatch->GetIDsOfNames(names, 1, &id)) << spelling.c_str();
                EXPECT_EQ(id, member.dispid) << spelling.c_str();
            }
        }
        std::wstring unknown = L"NoSuchMember";
        LPOLESTR names[] = {unknown.data()};
        MEMBERID id = 0;
        EXPECT_HRESULT(DISP_E_UNKNOWNNAME, dispatch->GetIDsOfNames(names, 1, &id));
    }
}

TEST_F(TypeLibraryTest, NoInterfaceOffersAnEnumerator) {
    for (const auto* record : velcastraLibrary.classes) {
        const auto& description = *record->defaultInterface;
        for (const auto& member : description.members) {
            EXPECT_NE(member.dispid, DISPID_NEWENUM) << std::wstring(member.name).c_str();
        }
        const auto dispatch = infoOf(description.iid);
        ASSERT_TRUE(dispatch);
        std::wstring newEnum = L"_NewEnum";
        LPOLESTR names[] = {newEnum.data()};
        MEMBERID id = 0;
        EXPECT_HRESULT(DISP_E_UNKNOWNNAME, dispatch->GetIDsOfNames(names, 1, &id));
    }
}

TEST_F(TypeLibraryTest, EnumerationMembersCarryTheirNamesAsHelpStrings) {
    const auto enumerations = publicEnumerations();
    for (std::size_t e = 0; e < enumerations.size(); ++e) {
        SCOPED_TRACE(wide(enumerations[e].name));
        const auto info = infoOf(enumerationIds[e]);
        ASSERT_TRUE(info);
        const auto members = enumerations[e].members;
        {
            const TypeAttributes attributes(*info.Get());
            EXPECT_EQ(attributes->typekind, TKIND_ENUM);
            EXPECT_EQ(attributes->wTypeFlags, 0);
            ASSERT_EQ(attributes->cVars, members.size());
        }
        for (UINT index = 0; index < members.size(); ++index) {
            const auto& member = members[index];
            SCOPED_TRACE(wide(member.name));
            VARDESC* variable = nullptr;
            ASSERT_HRESULT(S_OK, info->GetVarDesc(index, &variable));
            EXPECT_EQ(variable->memid, 0x40000000 + member.position);
            EXPECT_EQ(variable->varkind, VAR_CONST);
            EXPECT_EQ(variable->elemdescVar.tdesc.vt, VT_INT);
            ASSERT_NE(variable->lpvarValue, nullptr);
            EXPECT_EQ(V_VT(variable->lpvarValue), VT_I4);
            EXPECT_EQ(V_I4(variable->lpvarValue), member.value);
            const auto documentation = documentationOf(*info.Get(), variable->memid);
            EXPECT_EQ(documentation.name, wide(member.name));
            EXPECT_EQ(documentation.helpString, wide(member.name));
            info->ReleaseVarDesc(variable);
        }
    }
}

} // namespace
} // namespace tobrunel::server
