// AutomationObject: the base of the three COM classes. On ComObject's IUnknown it gives IDispatch:
// names answered from the member tables, calls by ITypeInfo::Invoke on the embedded type
// library, so a late-bound call answers as the platform's own automation objects do. Its member
// shapes give each override its out-parameters set first and one catch that turns an error into
// an HRESULT.
#pragma once

#include "library/Description.h"
#include "model/Index.h"
#include "server/AutomationText.h"
#include "server/ComObject.h"
#include "server/DispatchArguments.h"
#include "server/ErrorReporting.h"
#include "server/LateBinding.h"
#include "server/Platform.h"
#include "server/TypeInformation.h"
#include "server/VariantIndex.h"

#include <cstdint>
#include <string>

namespace tobrunel {
class clsService;
class clsSVCDependencies;
} // namespace tobrunel

namespace tobrunel::server {

// The conversions of the overrides: arguments to the model's types, the model's results to the
// interface's. A model object becomes its one COM object (the peers of ServiceObject.cpp).
inline std::u16string argumentOf(const BSTR* value) {
    return fromBstr(*value);
}
inline std::int32_t argumentOf(const long* value) {
    return static_cast<std::int32_t>(*value);
}
inline Index argumentOf(const VARIANT* value) {
    return indexFromVariant(value);
}

inline BSTR resultOf(std::u16string_view text) {
    return toBstr(text);
}
inline long resultOf(std::int32_t number) {
    return number;
}
inline VARIANT_BOOL resultOf(bool done) {
    return done ? VARIANT_TRUE : VARIANT_FALSE;
}
_clsSVCDependencies* resultOf(std::shared_ptr<clsSVCDependencies> list);
_clsService* resultOf(std::shared_ptr<clsService> service);

template <typename Interface, const ClassRecord& Record>
class AutomationObject : public ComObject<Interface, Counting::KeepsModule, IDispatch> {
public:
    using InterfaceType = Interface;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override {
        if (count == nullptr) {
            return E_POINTER;
        }
        *count = 1;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) noexcept override {
        if (info == nullptr) {
            return E_POINTER;
        }
        *info = nullptr;
        if (index != 0) {
            return DISP_E_BADINDEX;
        }
        ITypeInfo* dispatch = nullptr;
        const HRESULT status = typeInfoOf(__uuidof(Interface), TypeView::Dispatch, dispatch);
        if (SUCCEEDED(status)) {
            dispatch->AddRef();
            *info = dispatch;
        }
        return status;
    }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) noexcept override {
        if (iid != IID_NULL) {
            return DISP_E_UNKNOWNINTERFACE;
        }
        if (const auto answer = idsOfNames(*Record.defaultInterface, names, count, ids)) {
            return *answer;
        }
        ITypeInfo* dispatch = nullptr;
        const HRESULT status = typeInfoOf(__uuidof(Interface), TypeView::Dispatch, dispatch);
        return FAILED(status) ? status : dispatch->GetIDsOfNames(names, count, ids);
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* caller,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) noexcept override {
        if (iid != IID_NULL) {
            return DISP_E_UNKNOWNINTERFACE;
        }
        ITypeInfo* vtable = nullptr;
        HRESULT status = typeInfoOf(__uuidof(Interface), TypeView::Vtable, vtable);
        if (FAILED(status)) {
            return status;
        }
        const DISPPARAMS none{};
        DispatchArguments arguments;
        status = arguments.prepare(*Record.defaultInterface, id, flags,
                                   caller != nullptr ? *caller : none, argumentError);
        if (FAILED(status)) {
            return status;
        }
        return vtable->Invoke(static_cast<Interface*>(this), id, flags, arguments.parameters(),
                              result, exception, argumentError);
    }

protected:
    AutomationObject() noexcept = default;

    // failure must be called inside a catch block.
    HRESULT failure() const noexcept { return failureFromCurrentException(Record); }

    // The member shapes: returnResult for a get or method without argument, takeValue for a let
    // or a method without result, takeValueReturnResult for a get or method with an argument.
    // Each sets its out-parameter first, so a failure hands back the empty initial result, and
    // ends in the one catch.
    template <typename Result, typename Call>
    HRESULT returnResult(Result* result, Call call) noexcept {
        if (result == nullptr) {
            return E_POINTER;
        }
        *result = Result{};
        try {
            *result = resultOf(call());
            return S_OK;
        } catch (...) {
            return failure();
        }
    }

    template <typename Value, typename Result, typename Call>
    HRESULT takeValueReturnResult(Value* value, Result* result, Call call) noexcept {
        if (result != nullptr) {
            *result = Result{};
        }
        if (value == nullptr) {
            return E_POINTER;
        }
        return returnResult(result, [&] { return call(argumentOf(value)); });
    }

    template <typename Value, typename Call> HRESULT takeValue(Value* value, Call call) noexcept {
        if (value == nullptr) {
            return E_POINTER;
        }
        try {
            call(argumentOf(value));
            return S_OK;
        } catch (...) {
            return failure();
        }
    }
};

} // namespace tobrunel::server
