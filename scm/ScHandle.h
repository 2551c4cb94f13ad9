// ScHandle: a move-only owner of one manager or service handle that closes it exactly once.
#pragma once

#include "scm/ServiceManager.h"

#include <utility>

namespace tobrunel::scm {

// Declare the manager's ScHandle before the service's in a scope: destruction runs in reverse,
// so the service is closed before the manager on every way out, errors included.
class ScHandle {
public:
    ScHandle() = default;
    ScHandle(ServiceManager& platform, RawHandle handle) : platform_(&platform), handle_(handle) {}
    ScHandle(const ScHandle&) = delete;
    ScHandle& operator=(const ScHandle&) = delete;
    ScHandle(ScHandle&& other) noexcept
        : platform_(other.platform_), handle_(std::exchange(other.handle_, 0)) {}
    ScHandle& operator=(ScHandle&& other) noexcept {
        if (this != &other) {
            reset();
            platform_ = other.platform_;
            handle_ = std::exchange(other.handle_, 0);
        }
        return *this;
    }
    ~ScHandle() { reset(); }

    RawHandle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != 0; }

    void reset() noexcept {
        if (handle_ != 0) {
            platform_->CloseServiceHandle(std::exchange(handle_, 0));
        }
    }

private:
    ServiceManager* platform_ = nullptr;
    RawHandle handle_ = 0;
};

} // namespace tobrunel::scm
