// GetIDsOfNames from one sorted table of the module's names, and the calls that Invoke serves
// itself.
#include "server/LateBinding.h"

#include "server/DispatchArguments.h"

#include <algorithm>
#include <array>
#include <cwchar>

namespace tobrunel::server {

namespace {

// Member names are ASCII, which scripts may write in any letter case.
constexpr wchar_t folded(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

constexpr int compareFolded(std::wstring_view a, std::wstring_view b) {
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (folded(a[i]) != folded(b[i])) {
            return folded(a[i]) < folded(b[i]) ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// The interfaces stand in the library's order of classes.
constexpr auto described = [] {
    std::array<const InterfaceDescription*, velcastraLibrary.classes.size()> interfaces{};
    for (std::size_t i = 0; i < interfaces.size(); ++i) {
        interfaces[i] = velcastraLibrary.classes[i]->defaultInterface;
    }
    return interfaces;
}();

// A name belongs to the first member that bears it (a property's get before its let); the
// parameters, named for a get or method only, take the positions from 0.
struct NameEntry {
    std::size_t interfaceIndex = 0;
    std::wstring_view name;
    DISPID id = DISPID_UNKNOWN;
    std::span<const std::wstring_view> parameters;
};

constexpr bool firstOfName(std::span<const Member> members, std::size_t at) {
    return std::none_of(members.begin(), members.begin() + static_cast<std::ptrdiff_t>(at),
                        [&](const Member& m) { return m.name == members[at].name; });
}

constexpr std::size_t nameCount() {
    std::size_t count = 0;
    for (const auto* description : described) {
        for (std::size_t i = 0; i < description->members.size(); ++i) {
            count += firstOfName(description->members, i) ? 1 : 0;
        }
    }
    return count;
}

constexpr bool before(const NameEntry& a, std::size_t interfaceIndex, std::wstring_view name) {
    return a.interfaceIndex != interfaceIndex ? a.interfaceIndex < interfaceIndex
                                              : compareFolded(a.name, name) < 0;
}

constexpr auto makeNameTable() {
    std::array<NameEntry, nameCount()> table{};
    std::size_t next = 0;
    for (std::size_t index = 0; index < std::size(described); ++index) {
        const auto members = described[index]->members;
        for (std::size_t i = 0; i < members.size(); ++i) {
            if (!firstOfName(members, i)) {
                continue;
            }
            const Member& member = members[i];
            const bool named = member.parameter && member.kind != MemberKind::PropertyLet;
            table[next++] = {index, member.name, member.dispid,
                             named ? std::span(&member.parameter->name, 1)
                                   : std::span<const std::wstring_view>{}};
        }
    }
    std::sort(table.begin(), table.end(), [](const NameEntry& a, const NameEntry& b) {
        return before(a, b.interfaceIndex, b.name);
    });
    return table;
}

constexpr auto nameTable = makeNameTable();

const NameEntry* findName(std::size_t interfaceIndex, std::wstring_view name) noexcept {
    const auto found = std::lower_bound(nameTable.begin(), nameTable.end(), name,
                                        [&](const NameEntry& entry, std::wstring_view key) {
                                            return before(entry, interfaceIndex, key);
                                        });
    if (found == nameTable.end() || found->interfaceIndex != interfaceIndex ||
        compareFolded(found->name, name) != 0) {
        return nullptr;
    }
    return &*found;
}

constexpr WORD invokeKindOf(MemberKind kind) {
    switch (kind) {
    case MemberKind::PropertyGet:
        return DISPATCH_PROPERTYGET;
    case MemberKind::PropertyLet:
        return DISPATCH_PROPERTYPUT;
    case MemberKind::Method:
        break;
    }
    return DISPATCH_METHOD;
}

std::optional<std::size_t> servedLet(std::span<const Member> members, DISPID id, WORD flags,
                                     const DISPPARAMS& arguments) {
    if (flags != DISPATCH_PROPERTYPUT || arguments.cArgs != 1 || arguments.cNamedArgs != 1 ||
        arguments.rgvarg == nullptr || arguments.rgdispidNamedArgs == nullptr ||
        arguments.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < members.size(); ++i) {
        if (members[i].dispid == id && members[i].kind == MemberKind::PropertyLet) {
            return i;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<HRESULT> idsOfNames(const InterfaceDescription& description, LPOLESTR* names,
                                  UINT count, DISPID* ids) noexcept {
    if (count == 0 || names == nullptr || ids == nullptr || names[0] == nullptr) {
        return std::nullopt;
    }
    const auto index = static_cast<std::size_t>(
        std::find(std::begin(described), std::end(described), &description) -
        std::begin(described));
    const NameEntry* member = findName(index, std::wstring_view(names[0]));
    if (member == nullptr) {
        return std::nullopt;
    }
    std::fill(ids, ids + count, DISPID_UNKNOWN);
    ids[0] = member->id;
    HRESULT status = S_OK;
    for (UINT i = 1; i < count; ++i) {
        const auto& parameters = member->parameters;
        const auto found =
            names[i] == nullptr
                ? parameters.end()
                : std::find_if(parameters.begin(), parameters.end(), [&](std::wstring_view name) {
                      return compareFolded(name, names[i]) == 0;
                  });
        if (found != parameters.end()) {
            ids[i] = static_cast<DISPID>(found - parameters.begin());
        } else {
            status = DISP_E_UNKNOWNNAME;
        }
    }
    return status;
}

std::optional<std::size_t> servedMember(const InterfaceDescription& description, DISPID id,
                                        WORD flags, const DISPPARAMS& arguments) noexcept {
    const auto members = description.members;
    if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
        return servedLet(members, id, flags, arguments);
    }
    if (flags == 0 || (flags & ~(DISPATCH_METHOD | DISPATCH_PROPERTYGET)) != 0 ||
        arguments.cNamedArgs != 0) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < members.size(); ++i) {
        const Member& member = members[i];
        if (member.dispid != id || member.kind == MemberKind::PropertyLet) {
            continue;
        }
        const UINT declared = member.parameter ? 1 : 0;
        if ((flags & invokeKindOf(member.kind)) == 0 || arguments.cArgs != declared ||
            (declared != 0 && arguments.rgvarg == nullptr)) {
            return std::nullopt;
        }
        return i;
    }
    return std::nullopt;
}

HRESULT ServedArgument::read(const VARIANTARG& source, ValueType type) noexcept {
    const VARTYPE declared = declaredType(type);
    const VARIANTARG* value = &source;
    if (V_VT(value) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(value) != nullptr) {
        value = V_VARIANTREF(value);
    }
    // A value of the declared type is passed as it is: the members only read their arguments.
    if (declared == VT_BSTR && V_VT(value) == VT_BSTR) {
        text_ = V_BSTR(value);
        pointer_ = &text_;
        return S_OK;
    }
    if (declared == VT_I4 && V_VT(value) == VT_I4) {
        number_ = V_I4(value);
        pointer_ = &number_;
        return S_OK;
    }
    const HRESULT status = convertArgument(converted_, source, declared);
    if (FAILED(status)) {
        return status;
    }
    switch (declared) {
    case VT_BSTR:
        pointer_ = &V_BSTR(&converted_);
        break;
    case VT_I4:
        pointer_ = &V_I4(&converted_);
        break;
    case VT_BOOL:
        pointer_ = &V_BOOL(&converted_);
        break;
    default:
        pointer_ = &converted_;
        break;
    }
    return S_OK;
}

HRESULT failedCall(HRESULT status, EXCEPINFO* exception) noexcept {
    if (exception != nullptr) {
        exception->scode = status;
        IErrorInfo* info = nullptr;
        if (GetErrorInfo(0, &info) == S_OK) {
            info->GetDescription(&exception->bstrDescription);
            info->GetHelpFile(&exception->bstrHelpFile);
            info->GetSource(&exception->bstrSource);
            info->GetHelpContext(&exception->dwHelpContext);
            info->Release();
        }
    }
    return DISP_E_EXCEPTION;
}

void handOver(BSTR value, VARIANT* result) noexcept {
    if (result == nullptr) {
        SysFreeString(value);
        return;
    }
    VariantInit(result);
    V_VT(result) = VT_BSTR;
    V_BSTR(result) = value;
}

void handOver(long value, VARIANT* result) noexcept {
    if (result != nullptr) {
        VariantInit(result);
        V_VT(result) = VT_I4;
        V_I4(result) = value;
    }
}

void handOver(VARIANT_BOOL value, VARIANT* result) noexcept {
    if (result != nullptr) {
        VariantInit(result);
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = value;
    }
}

void handOver(IDispatch* value, VARIANT* result) noexcept {
    if (result == nullptr) {
        if (value != nullptr) {
            value->Release();
        }
        return;
    }
    VariantInit(result);
    V_VT(result) = VT_DISPATCH;
    V_DISPATCH(result) = value;
}

} // namespace tobrunel::server
