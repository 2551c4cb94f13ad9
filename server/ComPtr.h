// ComPtr: one owned reference to a COM interface, released when the owner goes.
#pragma once

#include "server/Platform.h"

#include <utility>

namespace tobrunel::server {

template <typename Interface> class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(const ComPtr& other) noexcept : pointer_(other.pointer_) { addRef(); }
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(pointer_, other.pointer_);
        return *this;
    }
    ~ComPtr() { reset(); }

    // adopt takes over a reference that the caller already owns.
    static ComPtr adopt(Interface* pointer) noexcept {
        ComPtr result;
        result.pointer_ = pointer;
        return result;
    }
    // share takes a reference of its own.
    static ComPtr share(Interface* pointer) noexcept {
        ComPtr result = adopt(pointer);
        result.addRef();
        return result;
    }

    Interface* get() const noexcept { return pointer_; }
    Interface* operator->() const noexcept { return pointer_; }
    explicit operator bool() const noexcept { return pointer_ != nullptr; }

    // put releases what is held and hands out the address for an out-parameter to fill.
    Interface** put() noexcept {
        reset();
        return &pointer_;
    }
    // detach hands the reference to the caller, who now owns it.
    Interface* detach() noexcept { return std::exchange(pointer_, nullptr); }

    void reset() noexcept {
        if (auto* old = std::exchange(pointer_, nullptr)) {
            old->Release();
        }
    }

    template <typename Other> ComPtr<Other> as(const IID& iid) const noexcept {
        ComPtr<Other> result;
        if (pointer_ != nullptr) {
            pointer_->QueryInterface(iid, reinterpret_cast<void**>(result.put()));
        }
        return result;
    }

private:
    void addRef() noexcept {
        if (pointer_ != nullptr) {
            pointer_->AddRef();
        }
    }

    Interface* pointer_ = nullptr;
};

} // namespace tobrunel::server
