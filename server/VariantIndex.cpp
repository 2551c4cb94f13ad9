// Reading an Index from a VARIANT: a text is a key; every other value is what the platform's own
// conversion to a 32-bit integer makes of it.
#include "server/VariantIndex.h"

#include "server/AutomationText.h"

#include <new>

namespace tobrunel::server {

namespace {

// Owned holds a VARIANT that this file made and clears it when it goes.
class Owned {
public:
    Owned() noexcept { VariantInit(&value_); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { VariantClear(&value_); }
    VARIANT* get() noexcept { return &value_; }

private:
    VARIANT value_;
};

// succeeded is false for a value the platform refuses; only a lack of memory is an error.
bool succeeded(HRESULT status) {
    if (status == E_OUTOFMEMORY) {
        throw std::bad_alloc();
    }
    return SUCCEEDED(status);
}

} // namespace

Index indexFromVariant(const VARIANT* argument) {
    if (argument == nullptr) {
        return {};
    }
    // A script variable arrives as VT_BYREF|VT_VARIANT; the platform declares the source without
    // const and only reads it.
    Owned plain;
    if (!succeeded(VariantCopyInd(plain.get(), const_cast<VARIANT*>(argument)))) {
        return {};
    }
    // Hand-made: a text is a key even when it reads as a number ("2" names a service).
    if (V_VT(plain.get()) == VT_BSTR) {
        return Index::key(fromBstr(V_BSTR(plain.get())));
    }
    // Numbers round half to even; an object is not asked for its value; Empty, False and True
    // become positions 0 and -1, which select nothing, and what does not convert selects nothing.
    Owned number;
    if (!succeeded(VariantChangeType(number.get(), plain.get(), VARIANT_NOVALUEPROP, VT_I4))) {
        return {};
    }
    return Index::position(V_I4(number.get()));
}

} // namespace tobrunel::server
