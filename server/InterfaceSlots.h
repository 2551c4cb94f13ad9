// Ties each C++ interface method to its row of the member tables: the name, kind and signature
// are checked when the server compiles; the vtable slot of each method, which C++ cannot read at
// compile time, is checked by the Wine tests through vtableSlotOf.
#pragma once

#include "server/Descriptions.h"
#include "server/Interfaces.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <tuple>
#include <type_traits>

namespace tobrunel::server {

// Slot names one C++ method by its member pointer and its spelling in the source.
template <auto Method> struct Slot {
    static constexpr auto method = Method;
    std::string_view cppName;
};

#define TOBRUNEL_SLOT(Interface, method)                                                           \
    ::tobrunel::server::Slot<&Interface::method> {                                                 \
#method                                                                                    \
    }

namespace slots {

template <typename T> struct PointerTo;
template <typename T> struct PointerTo<T*> { using type = T; };

template <typename T> constexpr bool carries(TypeReference reference) {
    using Pointee = typename PointerTo<T>::type;
    switch (reference.type) {
    case ValueType::Text:
        return std::is_same_v<Pointee, BSTR>;
    case ValueType::Int32:
    case ValueType::Enumeration:
        return std::is_same_v<Pointee, long>;
    case ValueType::Boolean:
        return std::is_same_v<Pointee, VARIANT_BOOL>;
    case ValueType::Variant:
        return std::is_same_v<Pointee, VARIANT>;
    case ValueType::Object:
        if constexpr (std::is_pointer_v<Pointee>) {
            using Target = std::remove_pointer_t<Pointee>;
            if constexpr (requires { Target::name; }) {
                return Target::name == reference.name;
            }
        }
        return false;
    }
    return false;
}

template <typename... Arguments> struct Signature {
    static constexpr std::size_t count = sizeof...(Arguments);

    static constexpr bool matches(const Member& member) {
        const std::size_t expected = (member.parameter ? 1 : 0) + (member.result ? 1 : 0);
        if (expected != count) {
            return false;
        }
        if constexpr (count == 0) {
            return true;
        } else {
            using First = std::tuple_element_t<0, std::tuple<Arguments...>>;
            using Last = std::tuple_element_t<count - 1, std::tuple<Arguments...>>;
            if (member.parameter && !carries<First>(member.parameter->type)) {
                return false;
            }
            return !member.result || carries<Last>(*member.result);
        }
    }
};

template <typename F> struct MethodSignature;
template <typename Interface, typename... Arguments>
struct MethodSignature<HRESULT (STDMETHODCALLTYPE Interface::*)(Arguments...)> {
    using type = Signature<Arguments...>;
};

// spelledAs checks the conventional C++ spelling of a member: get_X and put_X for the property
// accessors, the bare name for a method.
constexpr bool spelledAs(std::string_view cppName, const Member& member) {
    std::string_view prefix;
    if (member.kind == MemberKind::PropertyGet) {
        prefix = "get_";
    } else if (member.kind == MemberKind::PropertyLet) {
        prefix = "put_";
    }
    if (cppName.size() != prefix.size() + member.name.size() || !cppName.starts_with(prefix)) {
        return false;
    }
    for (std::size_t i = 0; i < member.name.size(); ++i) {
        if (static_cast<wchar_t>(cppName[prefix.size() + i]) != member.name[i]) {
            return false;
        }
    }
    return true;
}

template <auto Method> constexpr bool slotMatches(const Slot<Method>& slot, const Member& member) {
    using Signature = typename MethodSignature<decltype(Method)>::type;
    return spelledAs(slot.cppName, member) && Signature::matches(member);
}

template <typename... Slots>
constexpr bool allMatch(const InterfaceDescription& description, const Slots&... slots) {
    if (description.members.size() != sizeof...(Slots)) {
        return false;
    }
    std::size_t row = 0;
    return (slotMatches(slots, description.members[row++]) && ...);
}

} // namespace slots

inline constexpr auto clsServiceSlots = std::tuple{
    TOBRUNEL_SLOT(_clsService, get_Dependencies),
    TOBRUNEL_SLOT(_clsService, get_TagID),
    TOBRUNEL_SLOT(_clsService, get_BinaryPathName),
    TOBRUNEL_SLOT(_clsService, get_LoadOrderGroup),
    TOBRUNEL_SLOT(_clsService, get_StartName),
    TOBRUNEL_SLOT(_clsService, get_StartType),
    TOBRUNEL_SLOT(_clsService, get_StartErrorSeverity),
    TOBRUNEL_SLOT(_clsService, get_ComputerName),
    TOBRUNEL_SLOT(_clsService, put_ComputerName),
    TOBRUNEL_SLOT(_clsService, get_Win32ExitCode),
    TOBRUNEL_SLOT(_clsService, get_ServiceSpecificExitCode),
    TOBRUNEL_SLOT(_clsService, get_WaitHint),
    TOBRUNEL_SLOT(_clsService, get_CheckPoint),
    TOBRUNEL_SLOT(_clsService, get_Name),
    TOBRUNEL_SLOT(_clsService, put_Name),
    TOBRUNEL_SLOT(_clsService, get_DisplayName),
    TOBRUNEL_SLOT(_clsService, put_DisplayName),
    TOBRUNEL_SLOT(_clsService, get_CurrentState),
    TOBRUNEL_SLOT(_clsService, put_CurrentState),
    TOBRUNEL_SLOT(_clsService, get_ServiceType),
    TOBRUNEL_SLOT(_clsService, get_ControlsAccepted),
    TOBRUNEL_SLOT(_clsService, StopService),
    TOBRUNEL_SLOT(_clsService, StartService),
    TOBRUNEL_SLOT(_clsService, PauseService),
    TOBRUNEL_SLOT(_clsService, ContinueService),
    TOBRUNEL_SLOT(_clsService, Refresh),
};

inline constexpr auto clsServicesSlots = std::tuple{
    TOBRUNEL_SLOT(_clsServices, get_ServicesEnumType),
    TOBRUNEL_SLOT(_clsServices, put_ServicesEnumType),
    TOBRUNEL_SLOT(_clsServices, get_ServicesEnumState),
    TOBRUNEL_SLOT(_clsServices, put_ServicesEnumState),
    TOBRUNEL_SLOT(_clsServices, get_ComputerName),
    TOBRUNEL_SLOT(_clsServices, put_ComputerName),
    TOBRUNEL_SLOT(_clsServices, get_Count),
    TOBRUNEL_SLOT(_clsServices, get_Item),
    TOBRUNEL_SLOT(_clsServices, Delete),
    TOBRUNEL_SLOT(_clsServices, Refresh),
};

inline constexpr auto clsSVCDependenciesSlots = std::tuple{
    TOBRUNEL_SLOT(_clsSVCDependencies, get_Source), TOBRUNEL_SLOT(_clsSVCDependencies, put_Source),
    TOBRUNEL_SLOT(_clsSVCDependencies, get_Count),  TOBRUNEL_SLOT(_clsSVCDependencies, Add),
    TOBRUNEL_SLOT(_clsSVCDependencies, Remove),     TOBRUNEL_SLOT(_clsSVCDependencies, get_Item),
};

template <typename Slots>
constexpr bool slotsMatch(const InterfaceDescription& description, const Slots& slots) {
    return std::apply([&](const auto&... each) { return slots::allMatch(description, each...); },
                      slots);
}

static_assert(slotsMatch(clsServiceInterface, clsServiceSlots));
static_assert(slotsMatch(clsServicesInterface, clsServicesSlots));
static_assert(slotsMatch(clsSVCDependenciesInterface, clsSVCDependenciesSlots));

// vtableSlotOf reads the slot number out of a pointer to a virtual member. GCC's C++ ABI, which
// mingw-w64 follows, stores one plus the slot's byte offset in the first word; a pointer to a
// non-virtual member gives -1.
template <auto Method> std::ptrdiff_t vtableSlotOf(const Slot<Method>&) {
    static_assert(sizeof(Method) == 2 * sizeof(std::uintptr_t));
    std::uintptr_t words[2];
    const auto method = Method;
    std::memcpy(words, &method, sizeof words);
    if ((words[0] & 1) == 0) {
        return -1;
    }
    return static_cast<std::ptrdiff_t>((words[0] - 1) / sizeof(void*));
}

// The slot of the first member of each interface: IUnknown's three and IDispatch's four come
// first.
inline constexpr std::ptrdiff_t firstMemberSlot = 7;

} // namespace tobrunel::server
