// Index: the position-or-key argument of the collection's Item and Delete, as the server makes
// it from an automation VARIANT.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace tobrunel {

// Index holds a 1-based position, a key, or nothing usable (an argument that converts to neither);
// a lookup with an unusable index finds nothing.
class Index {
public:
    Index() = default;
    static Index position(std::int32_t position) { return Index(position); }
    static Index key(std::u16string key) { return Index(std::move(key)); }

    const std::int32_t* asPosition() const noexcept { return std::get_if<std::int32_t>(&value_); }
    const std::u16string* asKey() const noexcept { return std::get_if<std::u16string>(&value_); }

private:
    explicit Index(std::int32_t position) : value_(position) {}
    explicit Index(std::u16string key) : value_(std::move(key)) {}

    std::variant<std::monostate, std::int32_t, std::u16string> value_;
};

} // namespace tobrunel
