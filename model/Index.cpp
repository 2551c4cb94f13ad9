// Rounding of numeric indexes.
#include "model/Index.h"

#include <cmath>

namespace tobrunel {

Index Index::fromNumber(double number) {
    if (!std::isfinite(number)) {
        return {};
    }
    // nearbyint follows the current rounding mode, which is to nearest, ties to even.
    const double rounded = std::nearbyint(number);
    if (rounded < -2147483648.0 || rounded > 2147483647.0) {
        return {};
    }
    return position(static_cast<std::int32_t>(rounded));
}

} // namespace tobrunel
