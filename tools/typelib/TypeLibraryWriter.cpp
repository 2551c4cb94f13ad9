// The type-library build from the library record: its descriptions in the record's order, the
// interfaces dual and derived from stdole's IDispatch, every member with its dispatch id and
// by-reference parameters, the enumerations with their member names as help strings.
#include "tools/typelib/TypeLibraryWriter.h"

#include "library/Description.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

namespace tobrunel::server {

TypeLibraryError::TypeLibraryError(const std::string& step, HRESULT result)
    : std::runtime_error([&] {
          std::ostringstream text;
          text << step << " failed with 0x" << std::hex << static_cast<std::uint32_t>(result);
          return text.str();
      }()),
      result_(result) {}

namespace {

void check(HRESULT result, const char* step) {
    if (FAILED(result)) {
        throw TypeLibraryError(step, result);
    }
}

// The platform's API takes non-const wide strings; the tables hold views.
std::wstring owned(std::wstring_view text) {
    return std::wstring(text);
}

constexpr WORD interfaceFlags = TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE |
                                TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE;

// A type description being written: the writer's side and the reader's side of one object, the
// latter needed to refer to it from the others.
struct Pending {
    ComPtr<ICreateTypeInfo> writer;
    ComPtr<ITypeInfo> reader;
};

// TypeStore keeps the TYPEDESC chains that a FUNCDESC points into alive until the member is
// added (a pointer to a pointer needs two nodes); a deque leaves each node where it was put.
using TypeStore = std::deque<TYPEDESC>;

TYPEDESC pointerTo(TypeStore& store, TYPEDESC pointee) {
    TYPEDESC pointer{};
    pointer.vt = VT_PTR;
    pointer.lptdesc = &store.emplace_back(pointee);
    return pointer;
}

class LibraryBuilder {
public:
    LibraryBuilder(const std::wstring& path, SYSKIND platform, const std::wstring& standardLibrary)
        : pointerSize_(platform == SYS_WIN64 ? 8 : 4) {
        check(CreateTypeLib2(platform, path.c_str(), library_.ReleaseAndGetAddressOf()),
              "CreateTypeLib2");
        const auto& record = velcastraLibrary;
        check(library_->SetName(owned(record.name).data()), "SetName");
        check(library_->SetGuid(record.libid), "SetGuid");
        check(library_->SetVersion(record.majorVersion, record.minorVersion), "SetVersion");
        check(library_->SetLcid(record.lcid), "SetLcid");
        check(library_->SetDocString(owned(record.description).data()), "SetDocString");
        check(library_->SetLibFlags(0), "SetLibFlags");
        ComPtr<ITypeLib> standard;
        check(LoadTypeLib(standardLibrary.c_str(), standard.ReleaseAndGetAddressOf()),
              "LoadTypeLib(stdole2.tlb)");
        check(standard->GetTypeInfoOfGuid(IID_IDispatch, dispatch_.ReleaseAndGetAddressOf()),
              "GetTypeInfoOfGuid(IDispatch)");
    }

    // build creates every description first, in index order, so that members can refer to
    // descriptions that come after them; then it fills them in.
    void build() {
        for (const auto* record : velcastraLibrary.classes) {
            create(record->defaultInterface->name, TKIND_INTERFACE);
            create(record->name, TKIND_COCLASS);
        }
        for (const auto& enumeration : velcastraLibrary.enumerations) {
            create(enumeration.name, TKIND_ENUM);
        }
        for (const auto& enumeration : velcastraLibrary.enumerations) {
            fillEnumeration(enumeration);
        }
        for (const auto* record : velcastraLibrary.classes) {
            fillInterface(*record->defaultInterface);
            fillClass(*record);
        }
        for (auto& [name, pending] : byName_) {
            check(pending.writer->LayOut(), "LayOut");
        }
        check(library_->SaveAllChanges(), "SaveAllChanges");
    }

private:
    void create(std::wstring_view name, TYPEKIND kind) {
        Pending pending;
        check(library_->CreateTypeInfo(owned(name).data(), kind,
                                       pending.writer.ReleaseAndGetAddressOf()),
              "CreateTypeInfo");
        if (FAILED(pending.writer.As(&pending.reader))) {
            throw TypeLibraryError("QueryInterface(ITypeInfo)", E_NOINTERFACE);
        }
        byName_.emplace(std::wstring(name), std::move(pending));
    }

    ICreateTypeInfo& writer(std::wstring_view name) {
        return *byName_.at(std::wstring(name)).writer.Get();
    }

    HREFTYPE referTo(ICreateTypeInfo& from, ITypeInfo& to) {
        HREFTYPE reference = 0;
        check(from.AddRefTypeInfo(&to, &reference), "AddRefTypeInfo");
        return reference;
    }

    // Every description carries the contract's version.
    static void setIdentity(ICreateTypeInfo& info, const GUID& guid) {
        check(info.SetGuid(guid), "SetGuid");
        check(info.SetVersion(velcastraLibrary.majorVersion, velcastraLibrary.minorVersion),
              "SetVersion");
    }

    void fillEnumeration(const Enumeration& enumeration) {
        auto& info = writer(enumeration.name);
        setIdentity(info, enumeration.guid);
        for (UINT index = 0; index < enumeration.members.size(); ++index) {
            const auto& member = enumeration.members[index];
            VARIANT value;
            VariantInit(&value);
            V_VT(&value) = VT_I4;
            V_I4(&value) = member.value;
            VARDESC description{};
            description.memid = static_cast<MEMBERID>(0x40000000 + index);
            description.lpvarValue = &value;
            description.elemdescVar.tdesc.vt = VT_INT;
            description.varkind = VAR_CONST;
            check(info.AddVarDesc(index, &description), "AddVarDesc");
            auto name = owned(member.name);
            check(info.SetVarName(index, name.data()), "SetVarName");
            check(info.SetVarDocString(index, name.data()), "SetVarDocString");
        }
    }

    void fillInterface(const InterfaceDescription& description) {
        auto& info = writer(description.name);
        setIdentity(info, description.iid);
        check(info.SetTypeFlags(interfaceFlags), "SetTypeFlags(interface)");
        check(info.AddImplType(0, referTo(info, *dispatch_.Get())), "AddImplType(IDispatch)");
        for (std::size_t i = 0; i < description.members.size(); ++i) {
            addMember(info, static_cast<UINT>(i), description.members[i]);
        }
    }

    TYPEDESC typeOf(ICreateTypeInfo& from, const TypeReference& reference, TypeStore& store) {
        TYPEDESC type{};
        switch (reference.type) {
        case ValueType::Text:
            type.vt = VT_BSTR;
            break;
        case ValueType::Int32:
            type.vt = VT_I4;
            break;
        case ValueType::Boolean:
            type.vt = VT_BOOL;
            break;
        case ValueType::Variant:
            type.vt = VT_VARIANT;
            break;
        case ValueType::Enumeration:
        case ValueType::Object:
            type.vt = VT_USERDEFINED;
            type.hreftype = referTo(from, *byName_.at(std::wstring(reference.name)).reader.Get());
            return reference.type == ValueType::Object ? pointerTo(store, type) : type;
        }
        return type;
    }

    void addMember(ICreateTypeInfo& info, UINT index, const Member& member) {
        TypeStore store;
        std::vector<ELEMDESC> parameters;
        if (member.parameter) {
            ELEMDESC parameter{};
            parameter.tdesc = pointerTo(store, typeOf(info, member.parameter->type, store));
            parameter.paramdesc.wParamFlags = PARAMFLAG_FIN | PARAMFLAG_FOUT;
            parameters.push_back(parameter);
        }
        if (member.result) {
            ELEMDESC result{};
            result.tdesc = pointerTo(store, typeOf(info, *member.result, store));
            result.paramdesc.wParamFlags = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
            parameters.push_back(result);
        }
        FUNCDESC function{};
        function.memid = member.dispid;
        function.lprgelemdescParam = parameters.data();
        function.funckind = FUNC_PUREVIRTUAL;
        function.invkind = static_cast<INVOKEKIND>(member.kind);
        function.callconv = CC_STDCALL;
        function.cParams = static_cast<SHORT>(parameters.size());
        function.oVft = static_cast<SHORT>((7 + index) * pointerSize_);
        function.elemdescFunc.tdesc.vt = VT_HRESULT;
        check(info.AddFuncDesc(index, &function), "AddFuncDesc");

        // A property let names the member alone: its value parameter has no name of its own.
        std::vector<std::wstring> names{owned(member.name)};
        if (member.parameter && member.kind != MemberKind::PropertyLet) {
            names.push_back(owned(member.parameter->name));
        }
        std::vector<LPOLESTR> pointers;
        for (auto& name : names) {
            pointers.push_back(name.data());
        }
        check(info.SetFuncAndParamNames(index, pointers.data(), static_cast<UINT>(pointers.size())),
              "SetFuncAndParamNames");
    }

    void fillClass(const ClassRecord& record) {
        auto& info = writer(record.name);
        setIdentity(info, record.clsid);
        const WORD flags = record.instancing == Instancing::MultiUse ? TYPEFLAG_FCANCREATE : 0;
        check(info.SetTypeFlags(flags), "SetTypeFlags(class)");
        auto& defaultInterface =
            *byName_.at(std::wstring(record.defaultInterface->name)).reader.Get();
        check(info.AddImplType(0, referTo(info, defaultInterface)), "AddImplType(class)");
        check(info.SetImplTypeFlags(0, IMPLTYPEFLAG_FDEFAULT), "SetImplTypeFlags");
    }

    unsigned pointerSize_;
    ComPtr<ICreateTypeLib2> library_;
    ComPtr<ITypeInfo> dispatch_;
    std::map<std::wstring, Pending> byName_;
};

} // namespace

void writeTypeLibrary(const std::wstring& path, SYSKIND platform,
                      const std::wstring& standardLibrary) {
    LibraryBuilder builder(path, platform, standardLibrary);
    builder.build();
}

void writeInterfaceResource(const std::wstring& path, const GUID& iid) {
    std::array<unsigned char, 4 + sizeof(GUID)> bytes{16, 0, 0, 0};
    static_assert(sizeof(GUID) == 16);
    std::memcpy(bytes.data() + 4, &iid, sizeof iid);
    std::ofstream file(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) {
        throw TypeLibraryError("writing " + std::filesystem::path(path).string(), E_FAIL);
    }
}

} // namespace tobrunel::server
