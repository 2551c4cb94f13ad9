// The published shape of the library: each interface's members in vtable order, made from the
// member lists of Interfaces.h, and the class records. The type-library writer builds
// Velcastra.tlb from these tables.
#pragma once

#include "server/Identifiers.h"
#include "server/Interfaces.h"
#include "server/Platform.h"

#include <optional>
#include <span>
#include <string_view>
#include <type_traits>

namespace tobrunel::server {

struct TypeReference {
    ValueType type;
    // The enumeration or interface that `type` refers to; empty for the others.
    std::wstring_view name = {};
};

enum class MemberKind { PropertyGet, PropertyLet, Method };

struct Parameter {
    std::wstring_view name;
    TypeReference type;
};

// Member is one vtable slot after IDispatch's seven: a property get or a method hands its value
// back through `result`; a property let takes its value as `parameter`.
struct Member {
    std::wstring_view name;
    MemberKind kind;
    DISPID dispid;
    std::optional<Parameter> parameter;
    std::optional<TypeReference> result;
};

struct InterfaceDescription {
    std::wstring_view name;
    GUID iid;
    std::span<const Member> members;
};

namespace detail {
template <typename Type> constexpr TypeReference referenceTo() {
    if constexpr (Type::value == ValueType::Object) {
        return {Type::value, std::remove_pointer_t<typename Type::Cpp>::name};
    } else {
        return {Type::value, Type::name};
    }
}

#define TOBRUNEL_WIDE(text) L##text
#define TOBRUNEL_TABLE_RESULT(cpp, name, kind, id, Result)                                         \
    {TOBRUNEL_WIDE(#name), MemberKind::kind, id, std::nullopt, referenceTo<type::Result>()},
#define TOBRUNEL_TABLE_VALUE(cpp, name, kind, id, parameter, Type)                                 \
    {TOBRUNEL_WIDE(#name), MemberKind::kind, id,                                                   \
     Parameter{TOBRUNEL_WIDE(#parameter), referenceTo<type::Type>()}, std::nullopt},
#define TOBRUNEL_TABLE_BOTH(cpp, name, kind, id, parameter, Type, Result)                          \
    {TOBRUNEL_WIDE(#name), MemberKind::kind, id,                                                   \
     Parameter{TOBRUNEL_WIDE(#parameter), referenceTo<type::Type>()},                              \
     referenceTo<type::Result>()},

inline constexpr Member clsServiceMembers[] = {TOBRUNEL_MEMBERS_clsService(TOBRUNEL_TABLE)};
inline constexpr Member clsServicesMembers[] = {TOBRUNEL_MEMBERS_clsServices(TOBRUNEL_TABLE)};
inline constexpr Member clsSVCDependenciesMembers[] = {
    TOBRUNEL_MEMBERS_clsSVCDependencies(TOBRUNEL_TABLE)};
#undef TOBRUNEL_TABLE_RESULT
#undef TOBRUNEL_TABLE_VALUE
#undef TOBRUNEL_TABLE_BOTH
#undef TOBRUNEL_WIDE
} // namespace detail

inline constexpr InterfaceDescription clsServiceInterface{_clsService::name, IID__clsService,
                                                          detail::clsServiceMembers};
inline constexpr InterfaceDescription clsServicesInterface{_clsServices::name, IID__clsServices,
                                                           detail::clsServicesMembers};
inline constexpr InterfaceDescription clsSVCDependenciesInterface{
    _clsSVCDependencies::name, IID__clsSVCDependencies, detail::clsSVCDependenciesMembers};

// Instancing says whether clients may create the class; the component makes objects of every
// class for itself either way.
enum class Instancing { PublicNotCreatable, MultiUse };

// ClassRecord describes one class: its place among the type library's descriptions comes from
// objectIndex (the interface at 2 * objectIndex, the class right after it).
struct ClassRecord {
    std::wstring_view name;
    Instancing instancing;
    int objectIndex;
    GUID clsid;
    const InterfaceDescription* defaultInterface;
};

inline constexpr ClassRecord clsSVCDependenciesClass{
    L"clsSVCDependencies", Instancing::PublicNotCreatable, 2, CLSID_clsSVCDependencies,
    &clsSVCDependenciesInterface};
inline constexpr ClassRecord clsServicesClass{L"clsServices", Instancing::MultiUse, 1,
                                              CLSID_clsServices, &clsServicesInterface};
inline constexpr ClassRecord clsServiceClass{L"clsService", Instancing::MultiUse, 0,
                                             CLSID_clsService, &clsServiceInterface};

// LibraryRecord is the whole component: registration, the class objects and the type library
// all start from it.
struct LibraryRecord {
    std::wstring_view name;
    std::wstring_view description;
    GUID libid;
    LCID lcid;
    WORD majorVersion;
    WORD minorVersion;
    // Every object lives in the apartment of the thread that made it and shows no user interface.
    std::wstring_view threadingModel;
    std::span<const ClassRecord* const> classes;
};

namespace detail {
inline constexpr const ClassRecord* classChain[] = {&clsSVCDependenciesClass, &clsServicesClass,
                                                    &clsServiceClass};
}

inline constexpr LibraryRecord velcastraLibrary{
    L"Velcastra",
    L"Velcastra: list, inspect and control Windows services from scripts",
    LIBID_Velcastra,
    0,
    1,
    0,
    L"Apartment",
    detail::classChain};

} // namespace tobrunel::server
