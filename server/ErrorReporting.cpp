// Turning exceptions into HRESULTs and error info.
#include "server/ErrorReporting.h"

#include "base/AutomationError.h"
#include "library/Description.h"

#include <algorithm>
#include <new>
#include <string>

namespace tobrunel::server {

namespace {

// The error-info API takes NUL-ended texts, so a description stops at its first NUL.
std::wstring endedText(std::u16string_view text) {
    std::wstring result(text.size(), L'\0');
    std::transform(text.begin(), text.end(), result.begin(),
                   [](char16_t c) { return static_cast<wchar_t>(c); });
    return result;
}

// setErrorInfo leaves the description for the caller; when even that fails the HRESULT alone
// still reports the error.
void setErrorInfo(const ClassRecord& record, const std::u16string& description) {
    ComPtr<ICreateErrorInfo> writer;
    if (FAILED(CreateErrorInfo(writer.ReleaseAndGetAddressOf()))) {
        return;
    }
    std::wstring sourceText = progIdOf(record);
    std::wstring descriptionText = endedText(description);
    writer->SetGUID(record.defaultInterface->iid);
    writer->SetSource(sourceText.data());
    writer->SetDescription(descriptionText.data());
    if (ComPtr<IErrorInfo> info; SUCCEEDED(writer.As(&info))) {
        SetErrorInfo(0, info.Get());
    }
}

} // namespace

HRESULT failureFromCurrentException(const ClassRecord& record) noexcept {
    try {
        throw;
    } catch (const AutomationError& error) {
        try {
            setErrorInfo(record, error.description());
        } catch (const std::bad_alloc&) {
            // The number alone still reaches the caller.
        }
        return automationErrorResult(error.number());
    } catch (const std::bad_alloc&) {
        // No description of an earlier error may be taken for this one's.
        SetErrorInfo(0, nullptr);
        return E_OUTOFMEMORY;
    } catch (...) {
        SetErrorInfo(0, nullptr);
        return E_UNEXPECTED;
    }
}

} // namespace tobrunel::server
