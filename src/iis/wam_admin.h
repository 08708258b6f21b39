#pragma once
// The WAM administration interface, which no SDK header here declares:
// IUnknown followed by the documented DCOM methods (opnums 3 to 8), in
// vtable order.
#include <windows.h>
#include <unknwn.h>

namespace ondex::iis {

// {61738644-F196-11D0-9953-00C04FD919C1}
inline constexpr CLSID kClsidWamAdmin = {0x61738644, 0xF196, 0x11D0, {0x99, 0x53, 0x00, 0xC0, 0x4F, 0xD9, 0x19, 0xC1}};
// {29822AB7-F302-11D0-9953-00C04FD919C1}
inline constexpr IID kIidWamAdmin = {0x29822AB7, 0xF302, 0x11D0, {0x99, 0x53, 0x00, 0xC0, 0x4F, 0xD9, 0x19, 0xC1}};

struct IWamAdmin : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE AppCreate(LPCWSTR metabasePath, BOOL inProcess) = 0;
    virtual HRESULT STDMETHODCALLTYPE AppDelete(LPCWSTR metabasePath, BOOL recursive) = 0;
    virtual HRESULT STDMETHODCALLTYPE AppUnLoad(LPCWSTR metabasePath, BOOL recursive) = 0;
    virtual HRESULT STDMETHODCALLTYPE AppGetStatus(LPCWSTR metabasePath, DWORD* status) = 0;
    virtual HRESULT STDMETHODCALLTYPE AppDeleteRecoverable(LPCWSTR metabasePath, BOOL recursive) = 0;
    virtual HRESULT STDMETHODCALLTYPE AppRecover(LPCWSTR metabasePath, BOOL recursive) = 0;
};

}  // namespace ondex::iis
