// The one way errors leave the component: an exception in flight becomes an HRESULT, and an
// automation error also leaves its source and description as the thread's error info.
#pragma once

#include "server/Platform.h"

namespace tobrunel::server {

struct ClassRecord;

// automationErrorResult is the HRESULT of automation error `number`: 0x800A0000 + number.
constexpr HRESULT automationErrorResult(long number) {
    return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number);
}

// failureFromCurrentException must be called inside a catch block. tobrunel::AutomationError
// gives automationErrorResult(number) with error info: the class as clients name it
// ("Velcastra.clsServices") as source, the error's description, the default interface's GUID.
// std::bad_alloc gives E_OUTOFMEMORY; anything else E_UNEXPECTED.
HRESULT failureFromCurrentException(const ClassRecord& record) noexcept;

} // namespace tobrunel::server
