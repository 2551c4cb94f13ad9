// The collection's position-or-key decision for every kind of automation value: rounding, the
// 32-bit range, currency and decimal scaling, and the kinds that select nothing.
#include "server/IndexConversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <variant>

using namespace tobrunel;

namespace {

namespace vt = VariantTypeCode;

constexpr std::int32_t Min32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t Max32 = std::numeric_limits<std::int32_t>::max();
constexpr double NotANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double Infinity = std::numeric_limits<double>::infinity();

VariantDescription signedValue(std::uint16_t type, std::int64_t value) {
    VariantDescription description;
    description.type = type;
    description.signedInteger = value;
    return description;
}

VariantDescription unsignedValue(std::uint16_t type, std::uint64_t value) {
    VariantDescription description;
    description.type = type;
    description.unsignedInteger = value;
    return description;
}

VariantDescription realValue(std::uint16_t type, double value) {
    VariantDescription description;
    description.type = type;
    description.real = value;
    return description;
}

VariantDescription currencyValue(std::int64_t tenThousandths) {
    VariantDescription description;
    description.type = vt::Currency;
    description.currency = tenThousandths;
    return description;
}

VariantDescription decimalValue(std::uint8_t sign, std::uint8_t scale, std::uint32_t high,
                                std::uint64_t low) {
    VariantDescription description;
    description.type = vt::Decimal;
    description.decimal = {sign, scale, high, low};
    return description;
}

VariantDescription textValue(std::u16string text) {
    VariantDescription description;
    description.type = vt::Text;
    description.text = std::move(text);
    return description;
}

// A value that only its type describes; the number fields hold 1 to show they are ignored.
VariantDescription ofType(std::uint16_t type) {
    VariantDescription description = signedValue(type, 1);
    description.unsignedInteger = 1;
    description.real = 1;
    description.currency = 10000;
    return description;
}

struct Unusable {};
using Expected = std::variant<Unusable, std::int32_t, std::u16string>;

struct ConversionCase {
    const char* name;
    VariantDescription value;
    Expected expected;
};

void PrintTo(const ConversionCase& c, std::ostream* os) {
    *os << c.name;
}

class IndexConversion : public testing::TestWithParam<ConversionCase> {};

TEST_P(IndexConversion, SelectsThePositionOrKeyOrNothing) {
    const auto& c = GetParam();
    const Index index = indexFromDescription(c.value);
    if (std::holds_alternative<Unusable>(c.expected)) {
        EXPECT_FALSE(index.usable());
    } else if (const auto* position = std::get_if<std::int32_t>(&c.expected)) {
        ASSERT_NE(index.asPosition(), nullptr);
        EXPECT_EQ(*index.asPosition(), *position);
    } else {
        ASSERT_NE(index.asKey(), nullptr);
        EXPECT_EQ(*index.asKey(), std::get<std::u16string>(c.expected));
    }
}

INSTANTIATE_TEST_SUITE_P(
    WholeNumbers, IndexConversion,
    testing::Values(
        ConversionCase{"I1Min", signedValue(vt::I1, -128), -128},
        ConversionCase{"I2Max", signedValue(vt::I2, 32767), 32767},
        ConversionCase{"I4Min", signedValue(vt::I4, Min32), Min32},
        ConversionCase{"IntMax", signedValue(vt::Int, Max32), Max32},
        ConversionCase{"I8JustAbove", signedValue(vt::I8, std::int64_t{Max32} + 1), Unusable{}},
        ConversionCase{"I8JustBelow", signedValue(vt::I8, std::int64_t{Min32} - 1), Unusable{}},
        ConversionCase{"I8Min", signedValue(vt::I8, std::numeric_limits<std::int64_t>::min()),
                       Unusable{}},
        ConversionCase{"UI1Max", unsignedValue(vt::UI1, 255), 255},
        ConversionCase{"UI4Fits", unsignedValue(vt::UI4, 0x7FFFFFFF), Max32},
        ConversionCase{"UI4TooBig", unsignedValue(vt::UI4, 0x80000000u), Unusable{}},
        ConversionCase{"UIntMax", unsignedValue(vt::UInt, 0xFFFFFFFFu), Unusable{}},
        ConversionCase{"UI8Max", unsignedValue(vt::UI8, ~std::uint64_t{0}), Unusable{}},
        ConversionCase{"BooleanTrue", signedValue(vt::Boolean, -1), -1},
        ConversionCase{"BooleanFalse", signedValue(vt::Boolean, 0), 0}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Fractions, IndexConversion,
    testing::Values(
        ConversionCase{"HalfToEvenDown", realValue(vt::R8, 2.5), 2},
        ConversionCase{"HalfToEvenUp", realValue(vt::R8, 3.5), 4},
        ConversionCase{"NegativeHalf", realValue(vt::R8, -2.5), -2},
        ConversionCase{"PointFive", realValue(vt::R8, 0.5), 0},
        ConversionCase{"JustAboveHalf", realValue(vt::R8, std::nextafter(0.5, 1.0)), 1},
        ConversionCase{"NegativeZero", realValue(vt::R8, -0.0), 0},
        ConversionCase{"Denormal", realValue(vt::R8, std::numeric_limits<double>::denorm_min()), 0},
        ConversionCase{"TopEdge", realValue(vt::R8, 2147483647.49), Max32},
        ConversionCase{"TopHalf", realValue(vt::R8, 2147483647.5), Unusable{}},
        ConversionCase{"BottomHalf", realValue(vt::R8, -2147483648.5), Min32},
        ConversionCase{"BelowBottom", realValue(vt::R8, -2147483648.51), Unusable{}},
        ConversionCase{"Huge", realValue(vt::R8, 1e300), Unusable{}},
        ConversionCase{"NaN", realValue(vt::R8, NotANumber), Unusable{}},
        ConversionCase{"Infinity", realValue(vt::R8, Infinity), Unusable{}},
        ConversionCase{"MinusInfinity", realValue(vt::R8, -Infinity), Unusable{}},
        ConversionCase{"SingleHalf", realValue(vt::R4, 2.5f), 2},
        ConversionCase{"SingleNaN", realValue(vt::R4, NotANumber), Unusable{}},
        ConversionCase{"Date", realValue(vt::Date, 1.5), 2},
        ConversionCase{"DateBeforeEpoch", realValue(vt::Date, -657434.0), -657434},
        ConversionCase{"CurrencyHalf", currencyValue(25000), 2},
        ConversionCase{"CurrencyAboveHalf", currencyValue(25001), 3},
        ConversionCase{"CurrencyOddHalf", currencyValue(-35000), -4},
        ConversionCase{"CurrencyBottomHalf", currencyValue(-21474836485000), Min32},
        ConversionCase{"CurrencyMax", currencyValue(std::numeric_limits<std::int64_t>::max()),
                       Unusable{}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Decimals, IndexConversion,
    testing::Values(ConversionCase{"Whole", decimalValue(0, 0, 0, 7), 7},
                    ConversionCase{"Negative", decimalValue(0x80, 0, 0, 7), -7},
                    ConversionCase{"Half", decimalValue(0, 1, 0, 25), 2},
                    ConversionCase{"NegativeOddHalf", decimalValue(0x80, 1, 0, 35), -4},
                    ConversionCase{"LargestFitting", decimalValue(0, 0, 0, 0x7FFFFFFF), Max32},
                    ConversionCase{"TopHalf", decimalValue(0, 1, 0, 21474836475), Unusable{}},
                    ConversionCase{"HighWordSmallScale", decimalValue(0, 0, 1, 0), Unusable{}},
                    ConversionCase{"HighWordLargestScale", decimalValue(0, 28, 1, 0), 0},
                    ConversionCase{"LargestValueLargestScale",
                                   decimalValue(0, 28, 0xFFFFFFFF, ~std::uint64_t{0}), 8},
                    ConversionCase{"ScaleTooLarge", decimalValue(0, 29, 0, 1), Unusable{}},
                    ConversionCase{"BadSign", decimalValue(0x01, 0, 0, 1), Unusable{}},
                    ConversionCase{"NegativeZero", decimalValue(0x80, 5, 0, 0), 0}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    OtherKinds, IndexConversion,
    testing::Values(ConversionCase{"Text", textValue(u"Spooler"), std::u16string(u"Spooler")},
                    ConversionCase{"DigitsAreAKey", textValue(u"1"), std::u16string(u"1")},
                    ConversionCase{"EmptyText", textValue(u""), std::u16string()},
                    ConversionCase{"TextWithNul", textValue(std::u16string(u"a\0b", 3)),
                                   std::u16string(u"a\0b", 3)},
                    ConversionCase{"Empty", ofType(vt::Empty), Unusable{}},
                    ConversionCase{"Null", ofType(vt::Null), Unusable{}},
                    ConversionCase{"Dispatch", ofType(vt::Dispatch), Unusable{}},
                    ConversionCase{"Unknown", ofType(vt::Unknown), Unusable{}},
                    ConversionCase{"Error", ofType(vt::Error), Unusable{}},
                    ConversionCase{"Variant", ofType(vt::Variant), Unusable{}},
                    ConversionCase{"ArrayOfI4", ofType(vt::ArrayFlag | vt::I4), Unusable{}},
                    ConversionCase{"UnresolvedReference", ofType(vt::ByReferenceFlag | vt::I4),
                                   Unusable{}},
                    ConversionCase{"UnknownCode", ofType(0x0FFF), Unusable{}}),
    [](const auto& info) { return std::string(info.param.name); });

// Repeated multiplication makes the divisor of every scale; it matches the exact power of ten up
// to 10^22, the last one a double holds exactly.
TEST(DecimalToDouble, DividesByThePowerOfTenOfItsScale) {
    EXPECT_EQ(decimalToDouble({0, 22, 0, 10}), 1e-21);
    EXPECT_EQ(decimalToDouble({0x80, 2, 0, 12345}), -123.45);
    EXPECT_EQ(decimalToDouble({0, 0, 1, 0}), 18446744073709551616.0);
    EXPECT_TRUE(validDecimal({0x80, 28, 0, 0}));
    EXPECT_FALSE(validDecimal({0x81, 0, 0, 0}));
    EXPECT_FALSE(validDecimal({0, 29, 0, 0}));
}

} // namespace
