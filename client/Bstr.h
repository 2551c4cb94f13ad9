// Bstr: a client's owner of one BSTR, which it frees when it goes.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <utility>

namespace tobrunel::client {

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

} // namespace tobrunel::client
