// The runtime's error texts for the numbers the core raises.
#include "base/AutomationError.h"

#include <utility>

namespace tobrunel {

namespace {
std::string narrowForWhat(std::int32_t number) {
    return "automation error " + std::to_string(number);
}
} // namespace

AutomationError::AutomationError(std::int32_t number)
    : AutomationError(number, standardDescription(number)) {}

AutomationError::AutomationError(std::int32_t number, std::u16string description)
    : std::runtime_error(narrowForWhat(number)), number_(number),
      description_(std::move(description)) {}

std::u16string standardDescription(std::int32_t number) {
    switch (number) {
    case errors::InvalidProcedureCall:
        return u"Invalid procedure call or argument";
    case errors::Overflow:
        return u"Overflow";
    case errors::OutOfMemory:
        return u"Out of memory";
    case errors::SubscriptOutOfRange:
        return u"Subscript out of range";
    case errors::DuplicateKey:
        return u"This key is already associated with an element of this collection";
    default:
        return u"";
    }
}

} // namespace tobrunel
