// AutomationObject: the base of the three COM classes. It gives reference counting, the module
// count, QueryInterface for IUnknown, IDispatch and the class's default interface, IDispatch
// served from the embedded type library, and the shapes every member takes: out-parameters set
// first, then the model call, then one catch that turns an error into an HRESULT.
#pragma once

#include "server/AutomationText.h"
#include "server/Descriptions.h"
#include "server/DispatchArguments.h"
#include "server/ErrorReporting.h"
#include "server/Module.h"
#include "server/Platform.h"
#include "server/TypeInformation.h"

#include <atomic>
#include <memory>
#include <string>

namespace tobrunel::server {

template <typename Interface, const ClassRecord& Record> class AutomationObject : public Interface {
public:
    using InterfaceType = Interface;

    AutomationObject(const AutomationObject&) = delete;
    AutomationObject& operator=(const AutomationObject&) = delete;
    virtual ~AutomationObject() { uncountObjectOrLock(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDispatch && iid != Interface::iid) {
            return E_NOINTERFACE;
        }
        *object = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
    }

    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++references_; }

    ULONG STDMETHODCALLTYPE Release() noexcept override {
        const ULONG left = --references_;
        if (left == 0) {
            // The last reference owned the object.
            std::unique_ptr<AutomationObject> owner(this);
        }
        return left;
    }

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
        const HRESULT status = loadTypeInfo();
        if (FAILED(status)) {
            return status;
        }
        return typeInfo_.dispatch.CopyTo(info);
    }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) noexcept override {
        if (iid != IID_NULL) {
            return DISP_E_UNKNOWNINTERFACE;
        }
        const HRESULT status = loadTypeInfo();
        if (FAILED(status)) {
            return status;
        }
        return typeInfo_.dispatch->GetIDsOfNames(names, count, ids);
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* caller,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) noexcept override {
        if (iid != IID_NULL) {
            return DISP_E_UNKNOWNINTERFACE;
        }
        try {
            HRESULT status = loadTypeInfo();
            if (FAILED(status)) {
                return status;
            }
            const DISPPARAMS none{};
            DispatchArguments arguments;
            const Member* member = findMember(*Record.defaultInterface, id, flags);
            status = arguments.prepare(member, caller != nullptr ? *caller : none, argumentError);
            if (FAILED(status)) {
                return status;
            }
            status =
                typeInfo_.vtable->Invoke(static_cast<Interface*>(this), id, flags,
                                         arguments.parameters(), result, exception, argumentError);
            return status;
        } catch (...) {
            return failure();
        }
    }

protected:
    AutomationObject() noexcept { countObjectOrLock(); }

    // failure must be called inside a catch block.
    HRESULT failure() const noexcept { return failureFromCurrentException(Record); }

    // The member shapes. Each sets its out-parameter first, so a failure hands back the empty
    // initial result, and ends in the one catch.
    template <typename Result, typename Produce>
    HRESULT produceResult(Result* result, Result empty, Produce produce) noexcept {
        if (result == nullptr) {
            return E_POINTER;
        }
        *result = empty;
        try {
            *result = produce();
            return S_OK;
        } catch (...) {
            return failure();
        }
    }

    template <typename Read> HRESULT getText(BSTR* result, Read read) noexcept {
        return produceResult<BSTR>(result, nullptr, [&] { return toBstr(read()); });
    }

    template <typename Read> HRESULT getLong(long* result, Read read) noexcept {
        return produceResult<long>(result, 0, [&] { return static_cast<long>(read()); });
    }

    template <typename Act> HRESULT getBoolean(VARIANT_BOOL* result, Act act) noexcept {
        return produceResult<VARIANT_BOOL>(result, VARIANT_FALSE,
                                           [&] { return act() ? VARIANT_TRUE : VARIANT_FALSE; });
    }

    template <typename Object, typename Read>
    HRESULT getObject(Object** result, Read read) noexcept {
        return produceResult<Object*>(result, nullptr, [&] { return read().Detach(); });
    }

    template <typename Write> HRESULT putText(BSTR* value, Write write) noexcept {
        if (value == nullptr) {
            return E_POINTER;
        }
        try {
            write(fromBstr(*value));
            return S_OK;
        } catch (...) {
            return failure();
        }
    }

    template <typename Write> HRESULT putLong(long* value, Write write) noexcept {
        if (value == nullptr) {
            return E_POINTER;
        }
        try {
            write(static_cast<std::int32_t>(*value));
            return S_OK;
        } catch (...) {
            return failure();
        }
    }

private:
    HRESULT loadTypeInfo() noexcept {
        if (typeInfo_.vtable) {
            return S_OK;
        }
        return interfaceTypeInfo(Interface::iid, typeInfo_);
    }

    std::atomic<ULONG> references_{1};
    InterfaceTypeInfo typeInfo_;
};

} // namespace tobrunel::server
