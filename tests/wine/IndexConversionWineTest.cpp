// The collection's index read from real VARIANTs, checked against the platform's own conversion
// to a 32-bit integer and against the earlier VariantChangeType-based reading, for numbers of
// every kind: random doubles and halves, every integer width at its limits, currency, decimals
// of every scale, dates and Booleans, by value and by reference.
#include "server/VariantIndex.h"

#include "server/Platform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace tobrunel::server {
namespace {

// Owned clears one VARIANT that the test made.
struct Owned {
    VARIANT value;
    Owned() { VariantInit(&value); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { VariantClear(&value); }
};

std::string describe(const Index& index) {
    if (const auto* position = index.asPosition()) {
        return "position " + std::to_string(*position);
    }
    if (index.asKey() != nullptr) {
        return "key";
    }
    return "nothing";
}

bool isNumber(VARTYPE type) {
    switch (type) {
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
    case VT_BOOL:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DECIMAL:
    case VT_DATE:
        return true;
    default:
        return false;
    }
}

// platformIndex is what the platform's conversion to VT_I4 selects: the number it gives, or
// nothing when it refuses.
Index platformIndex(const VARIANT& argument) {
    Owned plain, number;
    if (FAILED(VariantCopyInd(&plain.value, const_cast<VARIANT*>(&argument))) ||
        !isNumber(V_VT(&plain.value))) {
        return {};
    }
    if (FAILED(VariantChangeType(&number.value, &plain.value, 0, VT_I4))) {
        return {};
    }
    return Index::position(V_I4(&number.value));
}

// earlierIndex is the reading this component had before its decision became portable: whole
// numbers through VT_I8, everything else with a fraction through VT_R8.
Index earlierIndex(const VARIANT& argument) {
    Owned plain, number;
    if (FAILED(VariantCopyInd(&plain.value, const_cast<VARIANT*>(&argument)))) {
        return {};
    }
    const VARTYPE type = V_VT(&plain.value);
    if (!isNumber(type)) {
        return {};
    }
    const bool whole =
        type != VT_R4 && type != VT_R8 && type != VT_CY && type != VT_DECIMAL && type != VT_DATE;
    if (whole) {
        if (FAILED(VariantChangeType(&number.value, &plain.value, 0, VT_I8)) ||
            V_I8(&number.value) < std::numeric_limits<std::int32_t>::min() ||
            V_I8(&number.value) > std::numeric_limits<std::int32_t>::max()) {
            return {};
        }
        return Index::position(static_cast<std::int32_t>(V_I8(&number.value)));
    }
    if (FAILED(VariantChangeType(&number.value, &plain.value, 0, VT_R8))) {
        return {};
    }
    return Index::fromNumber(V_R8(&number.value));
}

std::string show(const VARIANT& value) {
    std::ostringstream text;
    text << "vt " << V_VT(&value) << ": ";
    switch (V_VT(&value)) {
    case VT_R4:
        text << std::hexfloat << V_R4(&value);
        break;
    case VT_R8:
    case VT_DATE:
        text << std::hexfloat << V_R8(&value);
        break;
    case VT_CY:
        text << V_CY(&value).int64;
        break;
    case VT_DECIMAL: {
        const DECIMAL& d = V_DECIMAL(&value);
        text << "sign " << int{d.sign} << " scale " << int{d.scale} << " hi " << d.Hi32 << " lo "
             << d.Lo64;
        break;
    }
    default:
        text << V_I8(&value);
        break;
    }
    return text.str();
}

// Wine's VariantChangeType turns an unsigned integer into the signed type of its own width by
// reinterpreting the bits (VT_UI4 0xFFFFFFFF becomes -1 as VT_I4, VT_UI8 ~0 becomes -1 as VT_I8)
// where the automation rules see an overflow. The portable decision follows the rules.
bool reinterpretedByWine(const VARIANT& value) {
    switch (V_VT(&value)) {
    case VT_UI4:
    case VT_UINT:
        return V_UI4(&value) > 0x7FFFFFFFu;
    case VT_UI8:
        return V_UI8(&value) > 0x7FFFFFFFFFFFFFFFull;
    default:
        return false;
    }
}

class IndexConversionCrossCheck : public ::testing::Test {
protected:
    // check compares the three readings of `value`, passed by value, by reference to its type,
    // and as a reference to the whole VARIANT. Without `platformAgrees`, only the earlier reading
    // is compared (the platform's VT_I4 gives junk for a NaN).
    void check(const VARIANT& value, bool platformAgrees = true) {
        ++checked;
        VARIANT reference;
        VariantInit(&reference);
        V_VT(&reference) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(&reference) = const_cast<VARIANT*>(&value);
        VARIANT typed;
        VariantInit(&typed);
        V_VT(&typed) = VT_BYREF | V_VT(&value);
        // The platform declares its sources without const; nothing here writes them.
        VARIANT& source = const_cast<VARIANT&>(value);
        V_BYREF(&typed) = V_VT(&value) == VT_DECIMAL ? static_cast<void*>(&V_DECIMAL(&source))
                                                     : static_cast<void*>(&V_UI1(&source));
        for (const VARIANT* argument :
             {&value, const_cast<const VARIANT*>(&reference), const_cast<const VARIANT*>(&typed)}) {
            const Index ours = indexFromVariant(argument);
            expectAgreement(ours, earlierIndex(*argument), value);
            if (platformAgrees) {
                expectAgreement(ours, platformIndex(*argument), value);
            }
        }
    }

    // expectAgreement allows one difference: where Wine reinterprets an unsigned number as a
    // negative one, the portable decision selects nothing, and so does any position below 1.
    static void expectAgreement(const Index& ours, const Index& reference, const VARIANT& value) {
        if (reinterpretedByWine(value) && reference.usable()) {
            EXPECT_EQ(describe(ours), "nothing") << show(value);
            ASSERT_NE(reference.asPosition(), nullptr) << show(value);
            EXPECT_LE(*reference.asPosition(), 0) << show(value);
            ++reinterpreted;
            return;
        }
        EXPECT_EQ(describe(ours), describe(reference)) << show(value);
    }

    void checkReal(VARTYPE type, double number) {
        VARIANT value;
        VariantInit(&value);
        V_VT(&value) = type;
        if (type == VT_R4) {
            // A double beyond the float range would not convert; it stands for infinity.
            const bool fits =
                !std::isfinite(number) || std::fabs(number) <= std::numeric_limits<float>::max();
            V_R4(&value) = fits ? static_cast<float>(number)
                                : std::copysign(std::numeric_limits<float>::infinity(),
                                                static_cast<float>(number > 0 ? 1 : -1));
        } else {
            V_R8(&value) = number;
        }
        check(value, !std::isnan(number));
    }

    void checkInteger(VARTYPE type, std::int64_t number) {
        VARIANT value;
        VariantInit(&value);
        V_VT(&value) = type;
        V_I8(&value) = 0;
        switch (type) {
        case VT_I1:
            V_I1(&value) = static_cast<CHAR>(number);
            break;
        case VT_UI1:
            V_UI1(&value) = static_cast<BYTE>(number);
            break;
        case VT_I2:
            V_I2(&value) = static_cast<SHORT>(number);
            break;
        case VT_UI2:
            V_UI2(&value) = static_cast<USHORT>(number);
            break;
        case VT_BOOL:
            V_BOOL(&value) = static_cast<VARIANT_BOOL>(number);
            break;
        case VT_I4:
            V_I4(&value) = static_cast<LONG>(number);
            break;
        case VT_UI4:
            V_UI4(&value) = static_cast<ULONG>(number);
            break;
        case VT_INT:
            V_INT(&value) = static_cast<INT>(number);
            break;
        case VT_UINT:
            V_UINT(&value) = static_cast<UINT>(number);
            break;
        case VT_I8:
            V_I8(&value) = number;
            break;
        case VT_UI8:
            V_UI8(&value) = static_cast<ULONGLONG>(number);
            break;
        default:
            FAIL() << "not an integer type " << type;
        }
        check(value);
    }

    void checkCurrency(std::int64_t tenThousandths) {
        VARIANT value;
        VariantInit(&value);
        V_VT(&value) = VT_CY;
        V_CY(&value).int64 = tenThousandths;
        check(value);
    }

    void checkDecimal(BYTE sign, BYTE scale, ULONG high, ULONGLONG low) {
        VARIANT value;
        VariantInit(&value);
        V_VT(&value) = VT_DECIMAL;
        V_DECIMAL(&value).sign = sign;
        V_DECIMAL(&value).scale = scale;
        V_DECIMAL(&value).Hi32 = high;
        V_DECIMAL(&value).Lo64 = low;
        check(value);
    }

    std::mt19937_64 random{20240611};
    static inline int checked = 0;
    static inline int reinterpreted = 0;
};

constexpr double Edges[] = {0.0,
                            -0.0,
                            0.5,
                            -0.5,
                            1.5,
                            -1.5,
                            2.5,
                            -2.5,
                            0.49999999999999994,
                            1e-310,
                            -1e-310,
                            2147483647.0,
                            2147483647.4999998,
                            2147483647.5,
                            2147483648.0,
                            -2147483648.0,
                            -2147483648.4999998,
                            -2147483648.5,
                            -2147483648.5000005,
                            -2147483649.0,
                            4294967296.5,
                            1e15,
                            9007199254740993.0,
                            1e300,
                            -1e300,
                            std::numeric_limits<double>::max(),
                            std::numeric_limits<double>::infinity(),
                            -std::numeric_limits<double>::infinity(),
                            std::numeric_limits<double>::quiet_NaN()};

TEST_F(IndexConversionCrossCheck, DoublesAndDatesRoundAsThePlatformDoes) {
    for (const VARTYPE type : {VT_R8, VT_DATE, VT_R4}) {
        for (const double edge : Edges) {
            checkReal(type, edge);
            checkReal(type, std::nextafter(edge, 0.0));
        }
        std::uniform_real_distribution<double> small(-10.0, 10.0), large(-3e9, 3e9);
        std::uniform_int_distribution<std::int64_t> whole(-2147483649LL, 2147483648LL);
        for (int i = 0; i < 3000; ++i) {
            checkReal(type, small(random));
            checkReal(type, large(random));
            const double half = static_cast<double>(whole(random)) + 0.5;
            checkReal(type, half);
            checkReal(type, std::nextafter(half, 0.0));
            checkReal(type, std::nextafter(half, half * 2));
        }
        // Doubles of every magnitude, from their bits.
        for (int i = 0; i < 3000; ++i) {
            const std::uint64_t bits = random();
            double number = 0;
            std::memcpy(&number, &bits, sizeof number);
            checkReal(type, number);
        }
    }
}

TEST_F(IndexConversionCrossCheck, EveryIntegerWidthAtItsLimits) {
    const std::int64_t limits[] = {0,
                                   1,
                                   -1,
                                   127,
                                   -128,
                                   128,
                                   255,
                                   256,
                                   32767,
                                   -32768,
                                   65535,
                                   65536,
                                   2147483647,
                                   -2147483647 - 1,
                                   2147483648LL,
                                   -2147483649LL,
                                   4294967295LL,
                                   4294967296LL,
                                   std::numeric_limits<std::int64_t>::max(),
                                   std::numeric_limits<std::int64_t>::min()};
    for (const VARTYPE type :
         {VT_I1, VT_UI1, VT_I2, VT_UI2, VT_I4, VT_UI4, VT_INT, VT_UINT, VT_I8, VT_UI8, VT_BOOL}) {
        for (const auto limit : limits) {
            checkInteger(type, limit);
        }
        for (int i = 0; i < 500; ++i) {
            checkInteger(type, static_cast<std::int64_t>(random()));
        }
    }
}

TEST_F(IndexConversionCrossCheck, CurrencyInTenThousandths) {
    for (const std::int64_t edge :
         {0LL, 5000LL, -5000LL, 15000LL, 25000LL, 25001LL, 24999LL, -35000LL, 21474836470000LL,
          21474836474999LL, 21474836475000LL, -21474836480000LL, -21474836485000LL,
          -21474836485001LL, std::numeric_limits<std::int64_t>::max(),
          std::numeric_limits<std::int64_t>::min()}) {
        checkCurrency(edge);
    }
    std::uniform_int_distribution<std::int64_t> inRange(-21474836490000LL, 21474836490000LL);
    std::uniform_int_distribution<std::int64_t> units(-2147483649LL, 2147483648LL);
    for (int i = 0; i < 5000; ++i) {
        checkCurrency(inRange(random));
        checkCurrency(units(random) * 10000 + 5000);
        checkCurrency(static_cast<std::int64_t>(random()));
    }
}

TEST_F(IndexConversionCrossCheck, DecimalsOfEveryScale) {
    for (BYTE scale = 0; scale <= 28; ++scale) {
        for (const BYTE sign : {BYTE{0}, BYTE{DECIMAL_NEG}}) {
            checkDecimal(sign, scale, 0, 0);
            checkDecimal(sign, scale, 0, 5);
            checkDecimal(sign, scale, 0xFFFFFFFF, ~0ULL);
            // Halves: an odd and an even whole part followed by a five.
            if (scale >= 1 && scale <= 19) {
                ULONGLONG power = 1;
                for (BYTE i = 1; i < scale; ++i) {
                    power *= 10;
                }
                checkDecimal(sign, scale, 0, 25 * power);
                checkDecimal(sign, scale, 0, 35 * power);
            }
            for (int i = 0; i < 150; ++i) {
                // Every bit length from 0 to 96, so every scale meets values in range.
                const int bits = static_cast<int>(random() % 97);
                ULONG high = 0;
                ULONGLONG low = random();
                if (bits > 64) {
                    high = static_cast<ULONG>(random() >> (64 - (bits - 64)));
                } else {
                    low = bits == 0 ? 0 : low >> (64 - bits);
                }
                checkDecimal(sign, scale, high, low);
            }
        }
    }
    // Invalid decimals: the platform refuses them, and so they select nothing.
    checkDecimal(0x01, 0, 0, 1);
    checkDecimal(DECIMAL_NEG, 29, 0, 1);
    checkDecimal(0, 255, 0, 1);
}

TEST_F(IndexConversionCrossCheck, BooleansAndTheKindsThatSelectNothing) {
    checkInteger(VT_BOOL, VARIANT_TRUE);
    checkInteger(VT_BOOL, VARIANT_FALSE);
    VARIANT empty;
    VariantInit(&empty);
    EXPECT_FALSE(indexFromVariant(&empty).usable());
    V_VT(&empty) = VT_NULL;
    EXPECT_FALSE(indexFromVariant(&empty).usable());
    V_VT(&empty) = VT_ERROR;
    V_ERROR(&empty) = DISP_E_PARAMNOTFOUND;
    EXPECT_FALSE(indexFromVariant(&empty).usable()) << "a missing argument selects nothing";
    std::cout << checked << " values cross-checked, each in three forms; " << reinterpreted
              << " readings of unsigned numbers that Wine reinterpreted as negative ones\n";
}

} // namespace
} // namespace tobrunel::server
