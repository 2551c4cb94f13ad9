// The published library, described once: the library record, its classes in the type library's
// order, each interface's members (made from the member lists of Interfaces.h), the enumerations
// and the contract's version. The type-library writer, the manifest writer and the resource
// script they write, registration, the class objects and the name table of late binding all
// read it. The DLL reads it at compile time or through its class records, so it carries only
// what it uses: the enumerations and the library's help text stay in the build's writers.
#pragma once

#include "model/Enumerations.h"
#include "server/Identifiers.h"
#include "server/Interfaces.h"
#include "server/Platform.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace tobrunel::server {

struct TypeReference {
    ValueType type;
    // The enumeration or interface that `type` refers to; empty for the others.
    std::wstring_view name = {};
};

// Each kind is the platform's number for it, the same as an INVOKEKIND and a DISPATCH_ flag.
enum class MemberKind : WORD {
    PropertyGet = INVOKE_PROPERTYGET,
    PropertyLet = INVOKE_PROPERTYPUT,
    Method = INVOKE_FUNC
};

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
#undef TOBRUNEL_TABLE_BOTH
#undef TOBRUNEL_TABLE_VALUE
#undef TOBRUNEL_TABLE_RESULT
#undef TOBRUNEL_WIDE
} // namespace detail

inline constexpr InterfaceDescription clsServiceInterface{_clsService::name, IID__clsService,
                                                          detail::clsServiceMembers};
inline constexpr InterfaceDescription clsServicesInterface{_clsServices::name, IID__clsServices,
                                                           detail::clsServicesMembers};
inline constexpr InterfaceDescription clsSVCDependenciesInterface{
    _clsSVCDependencies::name, IID__clsSVCDependencies, detail::clsSVCDependenciesMembers};

// EnumerationMember is one constant of an enumeration: its name exactly as clients see it
// (spaces, capitals and the ampersand included), which is also its help string, and its value,
// the platform's own number under the seam's name or the collection's own code.
struct EnumerationMember {
    std::wstring_view name;
    std::int32_t value;
};

struct Enumeration {
    std::wstring_view name;
    GUID guid;
    std::span<const EnumerationMember> members;
};

namespace detail {
inline constexpr EnumerationMember serviceStatusMembers[] = {
    {L"Stopped", enServiceStatus::Stopped},
    {L"Start Pending", enServiceStatus::StartPending},
    {L"Stop Pending", enServiceStatus::StopPending},
    {L"Running", enServiceStatus::Running},
    {L"Continue Pending", enServiceStatus::ContinuePending},
    {L"Pause Pending", enServiceStatus::PausePending},
    {L"Paused", enServiceStatus::Paused}};
inline constexpr EnumerationMember controlsAcceptedMembers[] = {
    {L"Accept Stop", enControlsAccepted::AcceptStop},
    {L"Accept Pause & Continue", enControlsAccepted::AcceptPauseContinue},
    {L"Accept Shutdown", enControlsAccepted::AcceptShutdown}};
inline constexpr EnumerationMember serviceStartTypeMembers[] = {
    {L"Boot Start", enServiceStartType::BootStart},
    {L"System Start", enServiceStartType::SystemStart},
    {L"Auto Start", enServiceStartType::AutoStart},
    {L"Demand Start", enServiceStartType::DemandStart},
    {L"Disabled", enServiceStartType::Disabled}};
inline constexpr EnumerationMember startErrorSeverityMembers[] = {
    {L"Ignore Error", enStartErrorSeverity::IgnoreError},
    {L"Normal Error", enStartErrorSeverity::NormalError},
    {L"Severe Error", enStartErrorSeverity::SevereError},
    {L"Critical Error", enStartErrorSeverity::CriticalError}};
// Stored in this order, not in the order of the values.
inline constexpr EnumerationMember serviceTypeMembers[] = {
    {L"WIN32 Own Process", enServiceType::Win32OwnProcess},
    {L"WIN32 Share Process", enServiceType::Win32ShareProcess},
    {L"Kernel Driver", enServiceType::KernelDriver},
    {L"File System Driver", enServiceType::FileSystemDriver},
    {L"Interactive WIN32 Own Process", enServiceType::InteractiveWin32OwnProcess},
    {L"Interactive WIN32 Share Process", enServiceType::InteractiveWin32ShareProcess}};
inline constexpr EnumerationMember serviceEnumTypeMembers[] = {
    {L"WIN32 Services", enServiceEnumType::Win32Services},
    {L"Kernel and File System Drivers", enServiceEnumType::KernelAndFileSystemDrivers},
    {L"Both WIN32 and Drivers", enServiceEnumType::BothWin32AndDrivers}};
inline constexpr EnumerationMember serviceEnumStateMembers[] = {
    {L"Active Services", enServiceEnumState::ActiveServices},
    {L"Inactive Services", enServiceEnumState::InactiveServices},
    {L"Both Active and Inactive Services", enServiceEnumState::BothActiveAndInactiveServices}};

// The enumerations in the type library's order; the GUIDs are fixed for good.
inline constexpr Enumeration enumerations[] = {
    {L"enServiceStatus",
     {0xF42C21DD, 0x9AB4, 0x43CB, {0x8D, 0x73, 0x52, 0x51, 0xD6, 0x5C, 0x6F, 0x03}},
     serviceStatusMembers},
    {L"enControlsAccepted",
     {0xA0E974E0, 0xF7B4, 0x4A2E, {0x86, 0x83, 0xD2, 0x75, 0x4A, 0xD2, 0xCA, 0x17}},
     controlsAcceptedMembers},
    {L"enServiceStartType",
     {0xAB42C4B5, 0x7F2F, 0x4379, {0xB9, 0x93, 0xBA, 0x18, 0xB5, 0x01, 0xC5, 0x53}},
     serviceStartTypeMembers},
    {L"enStartErrorSeverity",
     {0x66258F22, 0x3BF4, 0x47AF, {0xA7, 0x16, 0x15, 0xC6, 0xCF, 0x4B, 0xB1, 0x11}},
     startErrorSeverityMembers},
    {L"enServiceType",
     {0x098388A2, 0x16A4, 0x4C5A, {0xA5, 0xE7, 0x3B, 0xC7, 0x5C, 0x97, 0x97, 0xF9}},
     serviceTypeMembers},
    {L"enServiceEnumType",
     {0x580AF425, 0x96F9, 0x4B83, {0xA6, 0x21, 0xEB, 0x64, 0xE1, 0xF0, 0xB2, 0xF8}},
     serviceEnumTypeMembers},
    {L"enServiceEnumState",
     {0x87BF0DF6, 0x0F8B, 0x47EA, {0xBA, 0x8A, 0x20, 0x44, 0x86, 0xF2, 0x26, 0x1D}},
     serviceEnumStateMembers},
};
} // namespace detail

// Instancing says whether clients may create the class; the component makes objects of every
// class for itself either way.
enum class Instancing { PublicNotCreatable, MultiUse };

// ClassRecord describes one class and its default interface.
struct ClassRecord {
    std::wstring_view name;
    Instancing instancing;
    GUID clsid;
    const InterfaceDescription* defaultInterface;
};

inline constexpr ClassRecord clsServiceClass{L"clsService", Instancing::MultiUse, CLSID_clsService,
                                             &clsServiceInterface};
inline constexpr ClassRecord clsServicesClass{L"clsServices", Instancing::MultiUse,
                                              CLSID_clsServices, &clsServicesInterface};
inline constexpr ClassRecord clsSVCDependenciesClass{
    L"clsSVCDependencies", Instancing::PublicNotCreatable, CLSID_clsSVCDependencies,
    &clsSVCDependenciesInterface};

// LibraryRecord is the whole published library. Its classes stand in the one order of the
// library: the type library holds each class's interface at 2 * position and the class right
// after it, then the enumerations; the name table, the type information's slots, registration
// and the manifest follow the same order.
struct LibraryRecord {
    std::wstring_view name;
    std::wstring_view description;
    GUID libid;
    LCID lcid;
    // The version of the contract: of the type library and of each of its descriptions.
    WORD majorVersion;
    WORD minorVersion;
    // Every object lives in the apartment of the thread that made it and shows no user interface.
    std::wstring_view threadingModel;
    std::span<const ClassRecord* const> classes;
    std::span<const Enumeration> enumerations;
};

namespace detail {
inline constexpr const ClassRecord* classes[] = {&clsServiceClass, &clsServicesClass,
                                                 &clsSVCDependenciesClass};
}

inline constexpr LibraryRecord velcastraLibrary{
    L"Velcastra",
    L"Velcastra: list, inspect and control Windows services from scripts",
    LIBID_Velcastra,
    0,
    1,
    0,
    L"Apartment",
    detail::classes,
    detail::enumerations};

// progIdOf is the name by which clients create a class and errors name their source:
// "Velcastra.clsServices".
inline std::wstring progIdOf(const ClassRecord& record) {
    return std::wstring(velcastraLibrary.name) + L'.' + std::wstring(record.name);
}

// resourceNameOf is the name of a class's interface-identity resource: "_IID_CLSSERVICES".
inline std::wstring resourceNameOf(const ClassRecord& record) {
    std::wstring name = L"_IID_";
    for (const wchar_t c : record.name) {
        name += c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
    }
    return name;
}

// guidText is a GUID as the registry and manifests write it: "{9E190AD9-4554-...}".
inline std::wstring guidText(const GUID& guid) {
    wchar_t text[39] = {};
    StringFromGUID2(guid, text, 39);
    return text;
}

} // namespace tobrunel::server
