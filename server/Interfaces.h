// The three dual interfaces as C++ vtables, in the slot order of the member tables in
// Descriptions.h (InterfaceSlots.h holds the check). Every value travels by pointer: parameters
// [in,out], results [out,retval].
#pragma once

#include "server/Identifiers.h"
#include "server/Platform.h"

#include <string_view>

namespace tobrunel::server {

struct _clsSVCDependencies;
struct _clsService;

struct _clsSVCDependencies : IDispatch {
    static constexpr std::wstring_view name = L"_clsSVCDependencies";
    static constexpr const GUID& iid = IID__clsSVCDependencies;

    virtual HRESULT STDMETHODCALLTYPE get_Source(BSTR* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Source(BSTR* strSource) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Count(long* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Add(BSTR* strCad) = 0;
    virtual HRESULT STDMETHODCALLTYPE Remove(long* lIndex, VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Item(long* lIndex, BSTR* result) = 0;

protected:
    ~_clsSVCDependencies() = default;
};

struct _clsService : IDispatch {
    static constexpr std::wstring_view name = L"_clsService";
    static constexpr const GUID& iid = IID__clsService;

    virtual HRESULT STDMETHODCALLTYPE get_Dependencies(_clsSVCDependencies** result) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_TagID(long* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BinaryPathName(BSTR* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LoadOrderGroup(BSTR* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_StartName(BSTR* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_StartType(long* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_StartErrorSeverity(long* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ComputerName(BSTR* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ComputerName(BSTR* strComputerName) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Win32ExitCode(long* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ServiceSpecificExitCode(long* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_WaitHint(long* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CheckPoint(long* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Name(BSTR* strName) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DisplayName(BSTR* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_DisplayName(BSTR* strDisplayName) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CurrentState(long* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_CurrentState(long* lngState) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ServiceType(long* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ControlsAccepted(long* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE StopService(VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE StartService(VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE PauseService(VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE ContinueService(VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Refresh(VARIANT_BOOL* result) = 0;

protected:
    ~_clsService() = default;
};

struct _clsServices : IDispatch {
    static constexpr std::wstring_view name = L"_clsServices";
    static constexpr const GUID& iid = IID__clsServices;

    virtual HRESULT STDMETHODCALLTYPE get_ServicesEnumType(long* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ServicesEnumType(long* lngServicesEnumType) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ServicesEnumState(long* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ServicesEnumState(long* lngServicesEnumState) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ComputerName(BSTR* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ComputerName(BSTR* strComputerName) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Count(long* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT* Index, _clsService** result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Delete(VARIANT* Index, VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Refresh(VARIANT_BOOL* result) = 0;

protected:
    ~_clsServices() = default;
};

} // namespace tobrunel::server
