// ScHandle: a move-only owner of one manager or service handle that closes it exactly once, and
// the opening of the manager and of a service on it.
#pragma once

#include "scm/ServiceManager.h"

#include <cstdint>
#include <string_view>
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

// openManager opens the manager of `computerName`; an empty ScHandle means the open failed.
ScHandle openManager(ServiceManager& platform, std::u16string_view computerName,
                     std::uint32_t desiredAccess);

// OpenedService is a service's handle with the manager's it was opened on. The manager is the
// first member, so the service's handle closes before it.
struct OpenedService {
    ScHandle manager;
    ScHandle service;
    explicit operator bool() const noexcept { return static_cast<bool>(service); }
};

// openService opens the manager, then the service by name on it; the service's handle is empty
// when either open failed, and the service is not asked for when the manager's did.
OpenedService openService(ServiceManager& platform, std::u16string_view computerName,
                          std::u16string_view serviceName, std::uint32_t managerAccess,
                          std::uint32_t serviceAccess);

} // namespace tobrunel::scm
