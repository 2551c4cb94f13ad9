// The three dual interfaces, each written once as a member list in vtable order. Every other
// shape of an interface comes from its list: the C++ vtables below, the member tables that the
// type library is written from (library/Description.h), and the overrides of the COM classes
// (AutomationClasses.h). Every value travels by pointer: parameters [in,out],
// results [out,retval].
#pragma once

#include "server/Identifiers.h"
#include "server/Platform.h"

#include <string_view>

namespace tobrunel::server {

// ValueType is what crosses the interface.
enum class ValueType {
    Text,        // BSTR
    Int32,       // long
    Boolean,     // VARIANT_BOOL, -1 or 0
    Variant,     // VARIANT, a position or a key
    Enumeration, // long, typed in the library as the named enumeration
    Object,      // the named interface
};

// The types a member list names: each gives its C++ type and how the type library types it.
namespace type {
template <typename CppType, ValueType Value> struct Basic {
    using Cpp = CppType;
    static constexpr ValueType value = Value;
    static constexpr std::wstring_view name = {};
};
using Text = Basic<BSTR, ValueType::Text>;
using Int32 = Basic<long, ValueType::Int32>;
using Boolean = Basic<VARIANT_BOOL, ValueType::Boolean>;
using Variant = Basic<VARIANT, ValueType::Variant>;

template <typename Interface> struct Object {
    using Cpp = Interface*;
    static constexpr ValueType value = ValueType::Object;
};

#define TOBRUNEL_ENUMERATION(enumeration)                                                          \
    struct enumeration : Basic<long, ValueType::Enumeration> {                                     \
        static constexpr std::wstring_view name = L## #enumeration;                                \
    };
TOBRUNEL_ENUMERATION(enServiceStatus)
TOBRUNEL_ENUMERATION(enControlsAccepted)
TOBRUNEL_ENUMERATION(enServiceStartType)
TOBRUNEL_ENUMERATION(enStartErrorSeverity)
TOBRUNEL_ENUMERATION(enServiceType)
TOBRUNEL_ENUMERATION(enServiceEnumType)
TOBRUNEL_ENUMERATION(enServiceEnumState)
#undef TOBRUNEL_ENUMERATION
} // namespace type

// The kinds of member a list holds. Each becomes one of three shapes that a user of the lists
// (`Site`) defines as Site_RESULT, Site_VALUE and Site_BOTH, given the C++ name, the member's
// name, its kind, dispatch id, parameter name and type, and result type.
#define TOBRUNEL_GET(Site, name, id, Result)                                                       \
    Site##_RESULT(get_##name, name, PropertyGet, id, Result)
#define TOBRUNEL_CALL(Site, name, id, Result) Site##_RESULT(name, name, Method, id, Result)
#define TOBRUNEL_LET(Site, name, id, parameter, Type)                                              \
    Site##_VALUE(put_##name, name, PropertyLet, id, parameter, Type)
#define TOBRUNEL_SUB(Site, name, id, parameter, Type)                                              \
    Site##_VALUE(name, name, Method, id, parameter, Type)
#define TOBRUNEL_GET_AT(Site, name, id, parameter, Type, Result)                                   \
    Site##_BOTH(get_##name, name, PropertyGet, id, parameter, Type, Result)
#define TOBRUNEL_CALL_WITH(Site, name, id, parameter, Type, Result)                                \
    Site##_BOTH(name, name, Method, id, parameter, Type, Result)

#define TOBRUNEL_MEMBERS_clsSVCDependencies(Site)                                                  \
    TOBRUNEL_GET(Site, Source, 0x68030001, Text)                                                   \
    TOBRUNEL_LET(Site, Source, 0x68030001, strSource, Text)                                        \
    TOBRUNEL_GET(Site, Count, 0x68030000, Int32)                                                   \
    TOBRUNEL_SUB(Site, Add, 0x60030002, strCad, Text)                                              \
    TOBRUNEL_CALL_WITH(Site, Remove, 0x60030003, lIndex, Int32, Boolean)                           \
    TOBRUNEL_GET_AT(Site, Item, DISPID_VALUE, lIndex, Int32, Text)

#define TOBRUNEL_MEMBERS_clsService(Site)                                                          \
    TOBRUNEL_GET(Site, Dependencies, 0x68030010, Object<_clsSVCDependencies>)                      \
    TOBRUNEL_GET(Site, TagID, 0x6803000F, Int32)                                                   \
    TOBRUNEL_GET(Site, BinaryPathName, 0x6803000E, Text)                                           \
    TOBRUNEL_GET(Site, LoadOrderGroup, 0x6803000D, Text)                                           \
    TOBRUNEL_GET(Site, StartName, 0x6803000C, Text)                                                \
    TOBRUNEL_GET(Site, StartType, 0x6803000B, enServiceStartType)                                  \
    TOBRUNEL_GET(Site, StartErrorSeverity, 0x6803000A, enStartErrorSeverity)                       \
    TOBRUNEL_GET(Site, ComputerName, 0x68030009, Text)                                             \
    TOBRUNEL_LET(Site, ComputerName, 0x68030009, strComputerName, Text)                            \
    TOBRUNEL_GET(Site, Win32ExitCode, 0x68030008, Int32)                                           \
    TOBRUNEL_GET(Site, ServiceSpecificExitCode, 0x68030007, Int32)                                 \
    TOBRUNEL_GET(Site, WaitHint, 0x68030006, Int32)                                                \
    TOBRUNEL_GET(Site, CheckPoint, 0x68030005, Int32)                                              \
    TOBRUNEL_GET(Site, Name, 0x68030004, Text)                                                     \
    TOBRUNEL_LET(Site, Name, 0x68030004, strName, Text)                                            \
    TOBRUNEL_GET(Site, DisplayName, 0x68030003, Text)                                              \
    TOBRUNEL_LET(Site, DisplayName, 0x68030003, strDisplayName, Text)                              \
    TOBRUNEL_GET(Site, CurrentState, 0x68030002, enServiceStatus)                                  \
    TOBRUNEL_LET(Site, CurrentState, 0x68030002, lngState, enServiceStatus)                        \
    TOBRUNEL_GET(Site, ServiceType, 0x68030001, enServiceType)                                     \
    TOBRUNEL_GET(Site, ControlsAccepted, 0x68030000, enControlsAccepted)                           \
    TOBRUNEL_CALL(Site, StopService, 0x60030012, Boolean)                                          \
    TOBRUNEL_CALL(Site, StartService, 0x60030013, Boolean)                                         \
    TOBRUNEL_CALL(Site, PauseService, 0x60030014, Boolean)                                         \
    TOBRUNEL_CALL(Site, ContinueService, 0x60030015, Boolean)                                      \
    TOBRUNEL_CALL(Site, Refresh, 0x60030016, Boolean)

#define TOBRUNEL_MEMBERS_clsServices(Site)                                                         \
    TOBRUNEL_GET(Site, ServicesEnumType, 0x68030003, enServiceEnumType)                            \
    TOBRUNEL_LET(Site, ServicesEnumType, 0x68030003, lngServicesEnumType, enServiceEnumType)       \
    TOBRUNEL_GET(Site, ServicesEnumState, 0x68030002, enServiceEnumState)                          \
    TOBRUNEL_LET(Site, ServicesEnumState, 0x68030002, lngServicesEnumState, enServiceEnumState)    \
    TOBRUNEL_GET(Site, ComputerName, 0x68030001, Text)                                             \
    TOBRUNEL_LET(Site, ComputerName, 0x68030001, strComputerName, Text)                            \
    TOBRUNEL_GET(Site, Count, 0x68030000, Int32)                                                   \
    TOBRUNEL_GET_AT(Site, Item, DISPID_VALUE, Index, Variant, Object<_clsService>)                 \
    TOBRUNEL_CALL_WITH(Site, Delete, 0x60030004, Index, Variant, Boolean)                          \
    TOBRUNEL_CALL(Site, Refresh, 0x60030005, Boolean)

// The vtables.
#define TOBRUNEL_VTABLE_RESULT(cpp, name, kind, id, Result)                                        \
    virtual HRESULT STDMETHODCALLTYPE cpp(type::Result::Cpp* result) = 0;
#define TOBRUNEL_VTABLE_VALUE(cpp, name, kind, id, parameter, Type)                                \
    virtual HRESULT STDMETHODCALLTYPE cpp(type::Type::Cpp* parameter) = 0;
#define TOBRUNEL_VTABLE_BOTH(cpp, name, kind, id, parameter, Type, Result)                         \
    virtual HRESULT STDMETHODCALLTYPE cpp(type::Type::Cpp* parameter,                              \
                                          type::Result::Cpp* result) = 0;
#define TOBRUNEL_INTERFACE(cls)                                                                    \
    struct _##cls : IDispatch {                                                                    \
        static constexpr std::wstring_view name = L"_" #cls;                                       \
        TOBRUNEL_MEMBERS_##cls(TOBRUNEL_VTABLE) protected : ~_##cls() = default;                   \
    };

TOBRUNEL_INTERFACE(clsSVCDependencies)
TOBRUNEL_INTERFACE(clsService)
TOBRUNEL_INTERFACE(clsServices)
#undef TOBRUNEL_INTERFACE
#undef TOBRUNEL_VTABLE_RESULT
#undef TOBRUNEL_VTABLE_VALUE
#undef TOBRUNEL_VTABLE_BOTH

} // namespace tobrunel::server

// The interface identifiers, for __uuidof and IID_PPV_ARGS. They are fixed for good: changing one
// breaks every compiled client.
__CRT_UUID_DECL(tobrunel::server::_clsService, 0x880D2394, 0x52B7, 0x422E, 0xB1, 0xB6, 0xF6, 0xF3,
                0xC6, 0x26, 0x4C, 0xBF)
__CRT_UUID_DECL(tobrunel::server::_clsServices, 0x111A1667, 0x1231, 0x494F, 0xB2, 0x99, 0xD8, 0x19,
                0xC8, 0x0B, 0x76, 0xE2)
__CRT_UUID_DECL(tobrunel::server::_clsSVCDependencies, 0x9DC445B3, 0x02BF, 0x464C, 0x98, 0x8D, 0xC8,
                0xC1, 0xDC, 0xAF, 0x59, 0x8E)

namespace tobrunel::server {
inline constexpr const GUID& IID__clsService = __uuidof(_clsService);
inline constexpr const GUID& IID__clsServices = __uuidof(_clsServices);
inline constexpr const GUID& IID__clsSVCDependencies = __uuidof(_clsSVCDependencies);
} // namespace tobrunel::server
