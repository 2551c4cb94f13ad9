// The component as a client meets it without registering it: the classes of its assembly
// manifest made active on a thread, and a look at HKEY_CLASSES_ROOT for any trace of a
// registration, which would let a client find the classes without the manifest.
#pragma once

#include "server/Platform.h"
#include "tests/dllcheck/Listing.h"
#include "tests/wine-support/ClassesKey.h"

#include <algorithm>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace tobrunel::server::testing {

// ActivationContext is the context that a manifest file describes; false when the platform
// refused the manifest. Its DLL is found beside the manifest.
class ActivationContext {
public:
    explicit ActivationContext(const std::wstring& manifest) {
        ACTCTXW description{};
        description.cbSize = sizeof description;
        description.lpSource = manifest.c_str();
        context_ = CreateActCtxW(&description);
    }
    ActivationContext(const ActivationContext&) = delete;
    ActivationContext& operator=(const ActivationContext&) = delete;
    ~ActivationContext() {
        if (context_ != INVALID_HANDLE_VALUE) {
            ReleaseActCtx(context_);
        }
    }
    explicit operator bool() const noexcept { return context_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const noexcept { return context_; }

private:
    HANDLE context_;
};

// Activation makes a context active on the calling thread for one scope: each thread that
// creates or receives the component's objects activates it for itself.
class Activation {
public:
    explicit Activation(const ActivationContext& context) {
        active_ = context && ActivateActCtx(context.get(), &cookie_);
    }
    Activation(const Activation&) = delete;
    Activation& operator=(const Activation&) = delete;
    ~Activation() {
        if (active_) {
            DeactivateActCtx(0, cookie_);
        }
    }
    explicit operator bool() const noexcept { return active_; }

private:
    ULONG_PTR cookie_ = 0;
    bool active_ = false;
};

// registrationTraces lists the keys of HKEY_CLASSES_ROOT that the published listing says
// registration adds (each ProgID, and each class, interface and type library below CLSID,
// Interface and TypeLib) and that exist. Empty where the DLL was never registered.
inline std::vector<std::wstring> registrationTraces() {
    std::set<std::wstring> listed;
    for (const auto& line : listedLines({"reg"})) {
        const auto key = line.substr(4, line.find(' ', 4) - 4);
        const auto top = key.substr(0, key.find('\\'));
        const bool folder = top == "CLSID" || top == "Interface" || top == "TypeLib";
        const auto traced = folder ? key.substr(0, key.find('\\', top.size() + 1)) : top;
        listed.emplace(traced.begin(), traced.end());
    }
    if (listed.empty()) {
        return {L"no registry key listed in " TOBRUNEL_PUBLISHED_LISTING};
    }
    std::vector<std::wstring> traces;
    std::copy_if(listed.begin(), listed.end(), std::back_inserter(traces),
                 [](const std::wstring& key) { return bool(ClassesKey(key)); });
    return traces;
}

} // namespace tobrunel::server::testing
