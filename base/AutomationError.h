// The one error type of the core: an automation error number and its description, which the
// server layer turns into an HRESULT (0x800A0000 + number) with error info.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tobrunel {

namespace errors {
inline constexpr std::int32_t InvalidProcedureCall = 5;
inline constexpr std::int32_t Overflow = 6;
inline constexpr std::int32_t OutOfMemory = 7;
inline constexpr std::int32_t SubscriptOutOfRange = 9;
inline constexpr std::int32_t DuplicateKey = 457;
} // namespace errors

// AutomationError carries the runtime's error number; the description is the runtime's own text
// for that number unless the thrower gives another.
class AutomationError : public std::runtime_error {
public:
    explicit AutomationError(std::int32_t number);
    AutomationError(std::int32_t number, std::u16string description);

    std::int32_t number() const noexcept { return number_; }
    const std::u16string& description() const noexcept { return description_; }

private:
    std::int32_t number_;
    std::u16string description_;
};

// standardDescription returns the runtime's text for the numbers the core raises; the empty text
// for any other number.
std::u16string standardDescription(std::int32_t number);

} // namespace tobrunel
