// Automation text at the interface: BSTRs to and from the model's UTF-16 strings, lengths
// included, because a text may hold NULs.
#pragma once

#include "server/Platform.h"

#include <string>
#include <string_view>
#include <utility>

namespace tobrunel::server {

// fromBstr copies the whole text, NULs included; a null BSTR is the empty text.
std::u16string fromBstr(BSTR text);

// toBstr allocates a copy that the caller owns; it throws std::bad_alloc when there is no
// memory for it.
BSTR toBstr(std::u16string_view text);
BSTR toBstr(std::wstring_view text);

// Bstr owns one BSTR and frees it when it goes.
class Bstr {
public:
    Bstr() noexcept = default;
    explicit Bstr(BSTR owned) noexcept : text_(owned) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}
    Bstr& operator=(Bstr&& other) noexcept {
        std::swap(text_, other.text_);
        return *this;
    }
    ~Bstr() { SysFreeString(text_); }

    BSTR get() const noexcept { return text_; }
    BSTR* put() noexcept {
        SysFreeString(std::exchange(text_, nullptr));
        return &text_;
    }
    BSTR detach() noexcept { return std::exchange(text_, nullptr); }

private:
    BSTR text_ = nullptr;
};

} // namespace tobrunel::server
