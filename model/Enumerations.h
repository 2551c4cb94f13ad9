// The seven public enumerations: their values as C++ constants and, for each, the table of its
// members in published order, from which the type library is built.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace tobrunel {

namespace enServiceStatus {
inline constexpr std::int32_t Stopped = 1;
inline constexpr std::int32_t StartPending = 2;
inline constexpr std::int32_t StopPending = 3;
inline constexpr std::int32_t Running = 4;
inline constexpr std::int32_t ContinuePending = 5;
inline constexpr std::int32_t PausePending = 6;
inline constexpr std::int32_t Paused = 7;
} // namespace enServiceStatus

namespace enControlsAccepted {
inline constexpr std::int32_t AcceptStop = 0x1;
inline constexpr std::int32_t AcceptPauseContinue = 0x2;
inline constexpr std::int32_t AcceptShutdown = 0x4;
} // namespace enControlsAccepted

namespace enServiceStartType {
inline constexpr std::int32_t BootStart = 0;
inline constexpr std::int32_t SystemStart = 1;
inline constexpr std::int32_t AutoStart = 2;
inline constexpr std::int32_t DemandStart = 3;
inline constexpr std::int32_t Disabled = 4;
} // namespace enServiceStartType

namespace enStartErrorSeverity {
inline constexpr std::int32_t IgnoreError = 0;
inline constexpr std::int32_t NormalError = 1;
inline constexpr std::int32_t SevereError = 2;
inline constexpr std::int32_t CriticalError = 3;
} // namespace enStartErrorSeverity

namespace enServiceType {
inline constexpr std::int32_t Win32OwnProcess = 0x10;
inline constexpr std::int32_t Win32ShareProcess = 0x20;
inline constexpr std::int32_t KernelDriver = 0x1;
inline constexpr std::int32_t FileSystemDriver = 0x2;
inline constexpr std::int32_t InteractiveWin32OwnProcess = 0x110;
inline constexpr std::int32_t InteractiveWin32ShareProcess = 0x120;
} // namespace enServiceType

namespace enServiceEnumType {
inline constexpr std::int32_t Win32Services = 0;
inline constexpr std::int32_t KernelAndFileSystemDrivers = 1;
inline constexpr std::int32_t BothWin32AndDrivers = 2;
} // namespace enServiceEnumType

namespace enServiceEnumState {
inline constexpr std::int32_t ActiveServices = 0;
inline constexpr std::int32_t InactiveServices = 1;
inline constexpr std::int32_t BothActiveAndInactiveServices = 2;
} // namespace enServiceEnumState

// EnumerationMember is one published member: its place, its name exactly as clients see it
// (spaces, capitals and the ampersand included; the help string is the same text) and its value.
struct EnumerationMember {
    int position;
    std::u16string_view name;
    std::int32_t value;
};

struct Enumeration {
    std::u16string_view name;
    std::span<const EnumerationMember> members;
};

// publicEnumerations lists the seven in the type library's order.
std::span<const Enumeration> publicEnumerations();

// The service-type and service-state masks that the two collection filters translate to; a code
// outside 0 to 2 gives the mask 0, which the platform refuses.
std::uint32_t serviceTypeMask(std::int32_t servicesEnumType);
std::uint32_t serviceStateMask(std::int32_t servicesEnumState);

} // namespace tobrunel
