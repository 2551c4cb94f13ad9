// The published shape of the library: each interface's members in vtable order and the class
// records. The type-library writer builds Velcastra.tlb from these tables and InterfaceSlots.h
// checks the C++ declarations against them, so the two cannot drift apart.
#pragma once

#include "server/Identifiers.h"
#include "server/Platform.h"

#include <optional>
#include <span>
#include <string_view>

namespace tobrunel::server {

// ValueType is what crosses the interface; every one travels through a pointer: by reference
// for parameters, as the return-value slot for results.
enum class ValueType {
    Text,        // BSTR
    Int32,       // long
    Boolean,     // VARIANT_BOOL, -1 or 0
    Variant,     // VARIANT, a position or a key
    Enumeration, // long, typed in the library as the named enumeration
    Object,      // the named interface
};

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

namespace type {
inline constexpr TypeReference text{ValueType::Text};
inline constexpr TypeReference int32{ValueType::Int32};
inline constexpr TypeReference boolean{ValueType::Boolean};
inline constexpr TypeReference variant{ValueType::Variant};
constexpr TypeReference enumeration(std::wstring_view name) {
    return {ValueType::Enumeration, name};
}
constexpr TypeReference object(std::wstring_view name) {
    return {ValueType::Object, name};
}
} // namespace type

namespace detail {
using enum MemberKind;

constexpr Member get(std::wstring_view name, DISPID dispid, TypeReference result) {
    return {name, PropertyGet, dispid, std::nullopt, result};
}
constexpr Member let(std::wstring_view name, DISPID dispid, Parameter value) {
    return {name, PropertyLet, dispid, value, std::nullopt};
}
constexpr Member method(std::wstring_view name, DISPID dispid, TypeReference result) {
    return {name, Method, dispid, std::nullopt, result};
}

inline constexpr Member clsServiceMembers[] = {
    get(L"Dependencies", 0x68030010, type::object(L"_clsSVCDependencies")),
    get(L"TagID", 0x6803000F, type::int32),
    get(L"BinaryPathName", 0x6803000E, type::text),
    get(L"LoadOrderGroup", 0x6803000D, type::text),
    get(L"StartName", 0x6803000C, type::text),
    get(L"StartType", 0x6803000B, type::enumeration(L"enServiceStartType")),
    get(L"StartErrorSeverity", 0x6803000A, type::enumeration(L"enStartErrorSeverity")),
    get(L"ComputerName", 0x68030009, type::text),
    let(L"ComputerName", 0x68030009, {L"strComputerName", type::text}),
    get(L"Win32ExitCode", 0x68030008, type::int32),
    get(L"ServiceSpecificExitCode", 0x68030007, type::int32),
    get(L"WaitHint", 0x68030006, type::int32),
    get(L"CheckPoint", 0x68030005, type::int32),
    get(L"Name", 0x68030004, type::text),
    let(L"Name", 0x68030004, {L"strName", type::text}),
    get(L"DisplayName", 0x68030003, type::text),
    let(L"DisplayName", 0x68030003, {L"strDisplayName", type::text}),
    get(L"CurrentState", 0x68030002, type::enumeration(L"enServiceStatus")),
    let(L"CurrentState", 0x68030002, {L"lngState", type::enumeration(L"enServiceStatus")}),
    get(L"ServiceType", 0x68030001, type::enumeration(L"enServiceType")),
    get(L"ControlsAccepted", 0x68030000, type::enumeration(L"enControlsAccepted")),
    method(L"StopService", 0x60030012, type::boolean),
    method(L"StartService", 0x60030013, type::boolean),
    method(L"PauseService", 0x60030014, type::boolean),
    method(L"ContinueService", 0x60030015, type::boolean),
    method(L"Refresh", 0x60030016, type::boolean),
};

inline constexpr Member clsServicesMembers[] = {
    get(L"ServicesEnumType", 0x68030003, type::enumeration(L"enServiceEnumType")),
    let(L"ServicesEnumType", 0x68030003,
        {L"lngServicesEnumType", type::enumeration(L"enServiceEnumType")}),
    get(L"ServicesEnumState", 0x68030002, type::enumeration(L"enServiceEnumState")),
    let(L"ServicesEnumState", 0x68030002,
        {L"lngServicesEnumState", type::enumeration(L"enServiceEnumState")}),
    get(L"ComputerName", 0x68030001, type::text),
    let(L"ComputerName", 0x68030001, {L"strComputerName", type::text}),
    get(L"Count", 0x68030000, type::int32),
    {L"Item", PropertyGet, DISPID_VALUE, Parameter{L"Index", type::variant},
     type::object(L"_clsService")},
    {L"Delete", Method, 0x60030004, Parameter{L"Index", type::variant}, type::boolean},
    method(L"Refresh", 0x60030005, type::boolean),
};

inline constexpr Member clsSVCDependenciesMembers[] = {
    get(L"Source", 0x68030001, type::text),
    let(L"Source", 0x68030001, {L"strSource", type::text}),
    get(L"Count", 0x68030000, type::int32),
    {L"Add", Method, 0x60030002, Parameter{L"strCad", type::text}, std::nullopt},
    {L"Remove", Method, 0x60030003, Parameter{L"lIndex", type::int32}, type::boolean},
    {L"Item", PropertyGet, DISPID_VALUE, Parameter{L"lIndex", type::int32}, type::text},
};
} // namespace detail

inline constexpr InterfaceDescription clsServiceInterface{L"_clsService", IID__clsService,
                                                          detail::clsServiceMembers};
inline constexpr InterfaceDescription clsServicesInterface{L"_clsServices", IID__clsServices,
                                                           detail::clsServicesMembers};
inline constexpr InterfaceDescription clsSVCDependenciesInterface{
    L"_clsSVCDependencies", IID__clsSVCDependencies, detail::clsSVCDependenciesMembers};

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
