// The decision behind the collection's position-or-key argument, free of the platform: a VARIANT
// described in portable terms becomes an Index. The server maps a real VARIANT onto it; the
// fuzzer and the unit tests drive it natively.
#pragma once

#include "model/Index.h"

#include <cstdint>
#include <string>

namespace tobrunel {

// VariantTypeCode numbers the automation types as the automation standard does (VT_*), so the
// server can pass its type codes through unchanged.
namespace VariantTypeCode {
inline constexpr std::uint16_t Empty = 0;
inline constexpr std::uint16_t Null = 1;
inline constexpr std::uint16_t I2 = 2;
inline constexpr std::uint16_t I4 = 3;
inline constexpr std::uint16_t R4 = 4;
inline constexpr std::uint16_t R8 = 5;
inline constexpr std::uint16_t Currency = 6;
inline constexpr std::uint16_t Date = 7;
inline constexpr std::uint16_t Text = 8;
inline constexpr std::uint16_t Dispatch = 9;
inline constexpr std::uint16_t Error = 10;
inline constexpr std::uint16_t Boolean = 11;
inline constexpr std::uint16_t Variant = 12;
inline constexpr std::uint16_t Unknown = 13;
inline constexpr std::uint16_t Decimal = 14;
inline constexpr std::uint16_t I1 = 16;
inline constexpr std::uint16_t UI1 = 17;
inline constexpr std::uint16_t UI2 = 18;
inline constexpr std::uint16_t UI4 = 19;
inline constexpr std::uint16_t I8 = 20;
inline constexpr std::uint16_t UI8 = 21;
inline constexpr std::uint16_t Int = 22;
inline constexpr std::uint16_t UInt = 23;
inline constexpr std::uint16_t ArrayFlag = 0x2000;
inline constexpr std::uint16_t ByReferenceFlag = 0x4000;
} // namespace VariantTypeCode

// DecimalValue is the 96-bit scaled integer of an automation DECIMAL, with its sign byte (0 or
// 0x80) and scale (0 to 28) as the caller had them; other values make the decimal invalid.
struct DecimalValue {
    std::uint8_t sign = 0;
    std::uint8_t scale = 0;
    std::uint32_t high = 0;
    std::uint64_t low = 0;
};

// VariantDescription is a VARIANT whose references have been followed: `type` is the type code
// without the by-reference flag, and the one field that the type names carries the value:
//   signedInteger    I1, I2, I4, I8, Int, and Boolean (the VARIANT_BOOL as stored: -1 true)
//   unsignedInteger  UI1, UI2, UI4, UI8, UInt
//   real             R4 (widened), R8 and Date (days since 30 December 1899)
//   currency         Currency, in ten-thousandths
//   decimal          Decimal
//   text             Text
// The other fields are ignored.
struct VariantDescription {
    std::uint16_t type = VariantTypeCode::Empty;
    std::int64_t signedInteger = 0;
    std::uint64_t unsignedInteger = 0;
    double real = 0;
    std::int64_t currency = 0;
    DecimalValue decimal;
    std::u16string text;
};

// indexFromDescription gives a text as a key and a number of any width or kind as a position,
// rounded to the nearest whole number with halves to even, as the platform's own conversion to a
// 32-bit integer does. Anything else (empty, null, an object, an error, an array, an invalid
// decimal, a value that is not a finite number or that does not fit 32 bits) is an index that
// finds nothing. It throws std::bad_alloc only.
Index indexFromDescription(const VariantDescription& value);

// decimalToDouble is the platform's own conversion of a valid decimal to a double, step for step:
// its rounding decides which position a decimal selects. The caller checks validity first.
double decimalToDouble(const DecimalValue& decimal);

// validDecimal is false for a sign other than 0 or 0x80 and a scale above 28.
bool validDecimal(const DecimalValue& decimal);

} // namespace tobrunel
