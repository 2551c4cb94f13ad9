// GetIDsOfNames from one sorted table of the module's names.
#include "server/LateBinding.h"

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

} // namespace tobrunel::server
