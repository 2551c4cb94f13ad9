// AutomationObject: the base of the three COM classes. On ComObject's IUnknown it gives IDispatch:
// names and the common calls answered from the member tables, the rest by ITypeInfo::Invoke on
// the embedded type library. TOBRUNEL_AUTOMATION_MEMBERS writes a class's overrides from its
// interface's member list: out-parameters set first, then the model call of the member's name,
// then one catch that turns an error into an HRESULT.
#pragma once

#include "model/Index.h"
#include "server/AutomationText.h"
#include "server/ComObject.h"
#include "library/Description.h"
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

// The calls of an interface's members from a late-bound call, in the order of its member table:
// each takes the argument in its declared type and hands the result over into a VARIANT.
template <typename Interface> using MemberCall = HRESULT (*)(Interface&, void*, VARIANT*);

template <typename Interface, typename Result,
          HRESULT (STDMETHODCALLTYPE Interface::*member)(Result*)>
HRESULT callForResult(Interface& object, void*, VARIANT* result) noexcept {
    Result value{};
    const HRESULT status = (object.*member)(&value);
    handOver(value, result);
    return status;
}

template <typename Interface, typename Value,
          HRESULT (STDMETHODCALLTYPE Interface::*member)(Value*)>
HRESULT callWithValue(Interface& object, void* argument, VARIANT*) noexcept {
    return (object.*member)(static_cast<Value*>(argument));
}

template <typename Interface, typename Value, typename Result,
          HRESULT (STDMETHODCALLTYPE Interface::*member)(Value*, Result*)>
HRESULT callWithBoth(Interface& object, void* argument, VARIANT* result) noexcept {
    Result value{};
    const HRESULT status = (object.*member)(static_cast<Value*>(argument), &value);
    handOver(value, result);
    return status;
}

template <typename Interface> struct MemberCalls;

#define TOBRUNEL_CALLS_RESULT(cpp, name, kind, id, Result)                                         \
    &callForResult<Interface, type::Result::Cpp, &Interface::cpp>,
#define TOBRUNEL_CALLS_VALUE(cpp, name, kind, id, parameter, Type)                                 \
    &callWithValue<Interface, type::Type::Cpp, &Interface::cpp>,
#define TOBRUNEL_CALLS_BOTH(cpp, name, kind, id, parameter, Type, Result)                          \
    &callWithBoth<Interface, type::Type::Cpp, type::Result::Cpp, &Interface::cpp>,
#define TOBRUNEL_MEMBER_CALLS(cls)                                                                 \
    template <> struct MemberCalls<_##cls> {                                                       \
        using Interface = _##cls;                                                                  \
        static constexpr MemberCall<Interface> calls[] = {TOBRUNEL_MEMBERS_##cls(TOBRUNEL_CALLS)}; \
    };
TOBRUNEL_MEMBER_CALLS(clsSVCDependencies)
TOBRUNEL_MEMBER_CALLS(clsService)
TOBRUNEL_MEMBER_CALLS(clsServices)

// The conversions of the overrides: arguments to the model's types, the model's results to the
// interface's. A model object becomes its one COM object (the peers of ServiceObject.cpp and
// DependenciesObject.cpp).
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
        const DISPPARAMS none{};
        const DISPPARAMS& arguments = caller != nullptr ? *caller : none;
        const auto& description = *Record.defaultInterface;
        const auto served = servedMember(description, id, flags, arguments);
        if (!served) {
            return invokeThroughTypeInfo(id, flags, arguments, result, exception, argumentError);
        }
        ServedArgument argument;
        if (const auto& parameter = description.members[*served].parameter) {
            const HRESULT status = argument.read(arguments.rgvarg[0], parameter->type.type);
            if (FAILED(status)) {
                if (argumentError != nullptr) {
                    *argumentError = 0;
                }
                return status;
            }
        }
        const HRESULT status = MemberCalls<Interface>::calls[*served](
            static_cast<Interface&>(*this), argument.pointer(), result);
        return FAILED(status) ? failedCall(status, exception) : S_OK;
    }

protected:
    AutomationObject() noexcept = default;

    // failure must be called inside a catch block.
    HRESULT failure() const noexcept { return failureFromCurrentException(Record); }

    // The member shapes. Each sets its out-parameter first, so a failure hands back the empty
    // initial result, and ends in the one catch.
    template <typename Result, typename Read> HRESULT produce(Result* result, Read read) noexcept {
        if (result == nullptr) {
            return E_POINTER;
        }
        *result = Result{};
        try {
            *result = resultOf(read());
            return S_OK;
        } catch (...) {
            return failure();
        }
    }

    template <typename Value, typename Result, typename Read>
    HRESULT produce(Value* value, Result* result, Read read) noexcept {
        if (result != nullptr) {
            *result = Result{};
        }
        if (value == nullptr) {
            return E_POINTER;
        }
        return produce(result, [&] { return read(argumentOf(value)); });
    }

    template <typename Value, typename Consume>
    HRESULT consume(Value* value, Consume consume) noexcept {
        if (value == nullptr) {
            return E_POINTER;
        }
        try {
            consume(argumentOf(value));
            return S_OK;
        } catch (...) {
            return failure();
        }
    }

private:
    // invokeThroughTypeInfo answers the calls that are not served from the member table, with
    // each argument first converted to its declared type (see DispatchArguments.h).
    HRESULT invokeThroughTypeInfo(DISPID id, WORD flags, const DISPPARAMS& caller, VARIANT* result,
                                  EXCEPINFO* exception, UINT* argumentError) noexcept {
        try {
            ITypeInfo* vtable = nullptr;
            HRESULT status = typeInfoOf(__uuidof(Interface), TypeView::Vtable, vtable);
            if (FAILED(status)) {
                return status;
            }
            DispatchArguments arguments;
            const Member* member = findMember(*Record.defaultInterface, id, flags);
            status = arguments.prepare(member, caller, argumentError);
            if (FAILED(status)) {
                return status;
            }
            return vtable->Invoke(static_cast<Interface*>(this), id, flags, arguments.parameters(),
                                  result, exception, argumentError);
        } catch (...) {
            return failure();
        }
    }
};

#define TOBRUNEL_OVERRIDE_RESULT(cpp, name, kind, id, Result)                                      \
    HRESULT STDMETHODCALLTYPE cpp(type::Result::Cpp* result) noexcept override {                   \
        return produce(result, [&] { return model_->name(); });                                    \
    }
#define TOBRUNEL_OVERRIDE_VALUE(cpp, name, kind, id, parameter, Type)                              \
    HRESULT STDMETHODCALLTYPE cpp(type::Type::Cpp* parameter) noexcept override {                  \
        return consume(parameter, [&](const auto& value) { model_->name(value); });                \
    }
#define TOBRUNEL_OVERRIDE_BOTH(cpp, name, kind, id, parameter, Type, Result)                       \
    HRESULT STDMETHODCALLTYPE cpp(type::Type::Cpp* parameter,                                      \
                                  type::Result::Cpp* result) noexcept override {                   \
        return produce(parameter, result, [&](const auto& value) { return model_->name(value); }); \
    }
// TOBRUNEL_AUTOMATION_MEMBERS(cls) overrides every member of interface _cls with the call of the
// model member of the same name on `model_`.
#define TOBRUNEL_AUTOMATION_MEMBERS(cls) TOBRUNEL_MEMBERS_##cls(TOBRUNEL_OVERRIDE)

} // namespace tobrunel::server
