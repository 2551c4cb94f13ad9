// Choosing a position or a key from a portable description of a VARIANT.
#include "server/IndexConversion.h"

#include <cstdint>
#include <limits>

namespace tobrunel {

namespace {

constexpr std::uint8_t NegativeSign = 0x80;
constexpr std::uint8_t LargestScale = 28;
constexpr double CurrencyUnit = 10000.0;

bool isSignedWholeNumber(std::uint16_t type) {
    using namespace VariantTypeCode;
    return type == I1 || type == I2 || type == I4 || type == I8 || type == Int || type == Boolean;
}

bool isUnsignedWholeNumber(std::uint16_t type) {
    using namespace VariantTypeCode;
    return type == UI1 || type == UI2 || type == UI4 || type == UI8 || type == UInt;
}

Index positionIfInRange(std::int64_t value) {
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        return {};
    }
    return Index::position(static_cast<std::int32_t>(value));
}

Index positionIfInRange(std::uint64_t value) {
    if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
        return {};
    }
    return Index::position(static_cast<std::int32_t>(value));
}

} // namespace

bool validDecimal(const DecimalValue& decimal) {
    return (decimal.sign & ~NegativeSign) == 0 && decimal.scale <= LargestScale;
}

double decimalToDouble(const DecimalValue& decimal) {
    // The divisor is built by repeated multiplication, which is exact up to 10^22 and rounds
    // beyond; the platform builds it the same way, so both agree on every scale.
    double divisor = 1.0;
    for (std::uint8_t step = 0; step < decimal.scale; ++step) {
        divisor *= 10;
    }
    if (decimal.sign != 0) {
        divisor = -divisor;
    }
    double highPart = 0.0;
    if (decimal.high != 0) {
        highPart = static_cast<double>(decimal.high) / divisor;
        highPart *= 4294967296.0;
        highPart *= 4294967296.0;
    }
    return static_cast<double>(decimal.low) / divisor + highPart;
}

Index indexFromDescription(const VariantDescription& value) {
    using namespace VariantTypeCode;
    const std::uint16_t type = value.type;
    if (type == Text) {
        return Index::key(value.text);
    }
    if (isSignedWholeNumber(type)) {
        return positionIfInRange(value.signedInteger);
    }
    if (isUnsignedWholeNumber(type)) {
        return positionIfInRange(value.unsignedInteger);
    }
    switch (type) {
    case R4:
    case R8:
    case Date:
        return Index::fromNumber(value.real);
    case Currency:
        return Index::fromNumber(static_cast<double>(value.currency) / CurrencyUnit);
    case Decimal:
        if (!validDecimal(value.decimal)) {
            return {};
        }
        return Index::fromNumber(decimalToDouble(value.decimal));
    default:
        return {};
    }
}

} // namespace tobrunel
