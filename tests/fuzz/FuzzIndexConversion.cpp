// libFuzzer target: any described VARIANT made into the collection's index. Whole numbers that fit
// 32 bits select themselves, numbers with a fraction select their nearest integer (halves to
// even), text is a key, every other kind selects nothing; nothing crashes on the way.
#include "server/IndexConversion.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

using namespace tobrunel;

namespace {

namespace vt = VariantTypeCode;

constexpr std::int64_t Min32 = -2147483648LL;
constexpr std::int64_t Max32 = 2147483647LL;

// Mostly the automation types; now and then a flag or a code that names no type.
std::uint16_t pickType(FuzzedDataProvider& input) {
    static constexpr std::array<std::uint16_t, 24> types = {
        vt::Empty,   vt::Null,     vt::I2,      vt::I4,       vt::R4,    vt::R8,
        vt::Date,    vt::Currency, vt::Text,    vt::Dispatch, vt::Error, vt::Boolean,
        vt::Variant, vt::Unknown,  vt::Decimal, vt::I1,       vt::UI1,   vt::UI2,
        vt::UI4,     vt::I8,       vt::UI8,     vt::Int,      vt::UInt,  vt::R8};
    const auto choice = input.ConsumeIntegral<std::uint8_t>();
    if (choice < 224) {
        return types[choice % types.size()];
    }
    if (choice < 240) {
        return types[choice % types.size()] | vt::ArrayFlag;
    }
    return input.ConsumeIntegral<std::uint16_t>();
}

// number gives doubles of four kinds, since random bits alone seldom land near the 32-bit range
// and almost never on a half: raw bits (NaNs, infinities, denormals), a whole number and a half, a
// whole number with a fraction in 1/65536 steps, and a small number with a fraction.
double number(FuzzedDataProvider& input) {
    const auto bits = input.ConsumeIntegral<std::uint64_t>();
    const auto whole = static_cast<double>(static_cast<std::int32_t>(bits));
    switch (input.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: {
        double raw = 0;
        static_assert(sizeof bits == sizeof raw);
        std::memcpy(&raw, &bits, sizeof bits);
        return raw;
    }
    case 1:
        return whole + 0.5;
    case 2:
        return whole + static_cast<double>((bits >> 32) & 0xFFFF) / 65536.0;
    default:
        return static_cast<double>(static_cast<std::int16_t>(bits >> 48)) / 4.0;
    }
}

VariantDescription describe(FuzzedDataProvider& input) {
    VariantDescription value;
    value.type = pickType(input);
    value.signedInteger = input.ConsumeIntegral<std::int64_t>();
    value.unsignedInteger = input.ConsumeIntegral<std::uint64_t>();
    value.real = number(input);
    if (value.type == vt::R4 && std::fabs(value.real) <= std::numeric_limits<float>::max()) {
        value.real = static_cast<float>(value.real);
    }
    // Currency near the 32-bit range with any fraction, or any amount at all.
    const auto amount = input.ConsumeIntegral<std::uint64_t>();
    value.currency = input.ConsumeBool() ? static_cast<std::int32_t>(amount) * 10000LL +
                                               static_cast<std::int64_t>((amount >> 32) % 10000)
                                         : static_cast<std::int64_t>(amount);
    value.decimal.sign = input.ConsumeBool() ? 0x80 : input.ConsumeIntegral<std::uint8_t>();
    value.decimal.scale = input.ConsumeIntegralInRange<std::uint8_t>(0, 31);
    // Half the decimals fit 64 bits, which brings more of them near the 32-bit range.
    value.decimal.high = input.ConsumeBool() ? 0 : input.ConsumeIntegral<std::uint32_t>();
    value.decimal.low = input.ConsumeIntegral<std::uint64_t>();
    const auto rest = input.ConsumeRemainingBytes<std::uint8_t>();
    value.text.resize(rest.size() / 2);
    if (!value.text.empty()) {
        std::memcpy(value.text.data(), rest.data(), value.text.size() * 2);
    }
    return value;
}

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void requirePosition(const Index& index, std::int64_t position) {
    require(index.asPosition() != nullptr && *index.asPosition() == position);
}

// A number selects nearbyint of itself when that fits 32 bits, and nothing otherwise.
void requireRounded(const Index& index, double number) {
    if (!std::isfinite(number)) {
        require(!index.usable());
        return;
    }
    const double rounded = std::nearbyint(number);
    if (rounded < static_cast<double>(Min32) || rounded > static_cast<double>(Max32)) {
        require(!index.usable());
        return;
    }
    requirePosition(index, static_cast<std::int64_t>(rounded));
    // Halves go to the even neighbour.
    if (std::fabs(number - std::trunc(number)) == 0.5) {
        require(*index.asPosition() % 2 == 0);
    }
}

void requireWhole(const Index& index, std::int64_t number) {
    if (number < Min32 || number > Max32) {
        require(!index.usable());
    } else {
        requirePosition(index, number);
    }
}

void checkDecimal(const Index& index, const DecimalValue& decimal) {
    if (!validDecimal(decimal)) {
        require(!index.usable());
        return;
    }
    requireRounded(index, decimalToDouble(decimal));
    // A decimal without scale or high word is its low word exactly, when that fits.
    if (decimal.scale == 0 && decimal.high == 0 && decimal.low <= 0x80000000u) {
        const auto magnitude = static_cast<std::int64_t>(decimal.low);
        requireWhole(index, decimal.sign != 0 ? -magnitude : magnitude);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const VariantDescription value = describe(input);
    const Index index = indexFromDescription(value);

    switch (value.type) {
    case vt::I1:
    case vt::I2:
    case vt::I4:
    case vt::I8:
    case vt::Int:
    case vt::Boolean:
        requireWhole(index, value.signedInteger);
        break;
    case vt::UI1:
    case vt::UI2:
    case vt::UI4:
    case vt::UI8:
    case vt::UInt:
        if (value.unsignedInteger > static_cast<std::uint64_t>(Max32)) {
            require(!index.usable());
        } else {
            requirePosition(index, static_cast<std::int64_t>(value.unsignedInteger));
        }
        break;
    case vt::R4:
    case vt::R8:
    case vt::Date:
        requireRounded(index, value.real);
        break;
    case vt::Currency:
        requireRounded(index, static_cast<double>(value.currency) / 10000.0);
        // Whole units fit exactly, so they select themselves.
        if (value.currency % 10000 == 0) {
            requireWhole(index, value.currency / 10000);
        }
        break;
    case vt::Decimal:
        checkDecimal(index, value.decimal);
        break;
    case vt::Text:
        require(index.asKey() != nullptr && *index.asKey() == value.text);
        break;
    default:
        require(!index.usable());
        break;
    }
    return 0;
}
