// ComApartment: a single-threaded apartment for the life of one scope, as a script host's thread
// is; the client programs, the tests and the type-library tool all run in one.
#pragma once

#include <windows.h>
#include <objbase.h>

namespace tobrunel::client {

class ComApartment {
public:
    ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (SUCCEEDED(result_)) {
            CoUninitialize();
        }
    }
    HRESULT result() const noexcept { return result_; }

private:
    HRESULT result_;
};

} // namespace tobrunel::client
