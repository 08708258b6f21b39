#pragma once
// The parts of the .NET Framework hosting interfaces that the runtime host
// uses and that the platform headers do not declare: the runtime-binding
// entry point of mscoree.dll, the domain setup, the application domain and the
// object handle of mscorlib. ICorRuntimeHost itself comes from <mscoree.h>.
//
// Slot order follows the documented type library. Only the slots the host
// calls are pure; the others are placeholders that keep the order (their
// mscorlib parameter types are not declared here) and are never called.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <mscoree.h>

namespace OxSetupLib::clr {

// mscoree!CorBindToRuntimeEx, resolved at run time.
using CorBindToRuntimeExFn = HRESULT(STDAPICALLTYPE*)(LPCWSTR version, LPCWSTR buildFlavor,
                                                      DWORD startupFlags, REFCLSID clsid,
                                                      REFIID iid, LPVOID* result);

// Start-up flag: loader safe mode.
constexpr DWORD kStartupLoaderSafeMode = 0x10;

// {CB2F6723-AB3A-11D2-9C40-00C04FA30A3E}
constexpr CLSID kClsidCorRuntimeHost = {0xcb2f6723, 0xab3a, 0x11d2, {0x9c, 0x40, 0x00, 0xc0, 0x4f, 0xa3, 0x0a, 0x3e}};
// {CB2F6722-AB3A-11D2-9C40-00C04FA30A3E}
constexpr IID kIidICorRuntimeHost = {0xcb2f6722, 0xab3a, 0x11d2, {0x9c, 0x40, 0x00, 0xc0, 0x4f, 0xa3, 0x0a, 0x3e}};
// {27FFF232-A7A8-40DD-8D4A-734AD59FCD41}
constexpr IID kIidIAppDomainSetup = {0x27fff232, 0xa7a8, 0x40dd, {0x8d, 0x4a, 0x73, 0x4a, 0xd5, 0x9f, 0xcd, 0x41}};
// {05F696DC-2B29-3663-AD8B-C4389CF2A713}
constexpr IID kIidAppDomain = {0x05f696dc, 0x2b29, 0x3663, {0xad, 0x8b, 0xc4, 0x38, 0x9c, 0xf2, 0xa7, 0x13}};
// {EA675B47-64E0-3B5F-9BE7-F7DC2990730D}
constexpr IID kIidObjectHandle = {0xea675b47, 0x64e0, 0x3b5f, {0x9b, 0xe7, 0xf7, 0xdc, 0x29, 0x90, 0x73, 0x0d}};

#define OX_CLR_UNUSED_SLOT(name) \
    virtual HRESULT STDMETHODCALLTYPE name(void*) { return E_NOTIMPL; }

// System.IAppDomainSetup (IUnknown-based).
struct IAppDomainSetup : public IUnknown {
    OX_CLR_UNUSED_SLOT(get_ApplicationBase)
    virtual HRESULT STDMETHODCALLTYPE put_ApplicationBase(BSTR value) = 0;
};

// System.Runtime.Remoting.ObjectHandle's class interface (dual).
struct _ObjectHandle : public IDispatch {
    OX_CLR_UNUSED_SLOT(get_ToString)
    OX_CLR_UNUSED_SLOT(Equals)
    OX_CLR_UNUSED_SLOT(GetHashCode)
    OX_CLR_UNUSED_SLOT(GetType)
    OX_CLR_UNUSED_SLOT(GetLifetimeService)
    OX_CLR_UNUSED_SLOT(InitializeLifetimeService)
    OX_CLR_UNUSED_SLOT(CreateObjRef)
    // The wrapped object; a managed object arrives as VT_DISPATCH or VT_UNKNOWN.
    virtual HRESULT STDMETHODCALLTYPE Unwrap(VARIANT* result) = 0;
};

// System._AppDomain (IUnknown-based, with the IDispatch slots spelled out).
struct _AppDomain : public IUnknown {
    OX_CLR_UNUSED_SLOT(GetTypeInfoCount)
    OX_CLR_UNUSED_SLOT(GetTypeInfo)
    OX_CLR_UNUSED_SLOT(GetIDsOfNames)
    OX_CLR_UNUSED_SLOT(Invoke)
    OX_CLR_UNUSED_SLOT(get_ToString)
    OX_CLR_UNUSED_SLOT(Equals)
    OX_CLR_UNUSED_SLOT(GetHashCode)
    OX_CLR_UNUSED_SLOT(GetType)
    OX_CLR_UNUSED_SLOT(InitializeLifetimeService)
    OX_CLR_UNUSED_SLOT(GetLifetimeService)
    OX_CLR_UNUSED_SLOT(get_Evidence)
    OX_CLR_UNUSED_SLOT(add_DomainUnload)
    OX_CLR_UNUSED_SLOT(remove_DomainUnload)
    OX_CLR_UNUSED_SLOT(add_AssemblyLoad)
    OX_CLR_UNUSED_SLOT(remove_AssemblyLoad)
    OX_CLR_UNUSED_SLOT(add_ProcessExit)
    OX_CLR_UNUSED_SLOT(remove_ProcessExit)
    OX_CLR_UNUSED_SLOT(add_TypeResolve)
    OX_CLR_UNUSED_SLOT(remove_TypeResolve)
    OX_CLR_UNUSED_SLOT(add_ResourceResolve)
    OX_CLR_UNUSED_SLOT(remove_ResourceResolve)
    OX_CLR_UNUSED_SLOT(add_AssemblyResolve)
    OX_CLR_UNUSED_SLOT(remove_AssemblyResolve)
    OX_CLR_UNUSED_SLOT(add_UnhandledException)
    OX_CLR_UNUSED_SLOT(remove_UnhandledException)
    OX_CLR_UNUSED_SLOT(DefineDynamicAssembly)
    OX_CLR_UNUSED_SLOT(DefineDynamicAssembly_2)
    OX_CLR_UNUSED_SLOT(DefineDynamicAssembly_3)
    OX_CLR_UNUSED_SLOT(DefineDynamicAssembly_4)
    OX_CLR_UNUSED_SLOT(DefineDynamicAssembly_5)
    OX_CLR_UNUSED_SLOT(DefineDynamicAssembly_6)
    OX_CLR_UNUSED_SLOT(DefineDynamicAssembly_7)
    OX_CLR_UNUSED_SLOT(DefineDynamicAssembly_8)
    OX_CLR_UNUSED_SLOT(DefineDynamicAssembly_9)
    OX_CLR_UNUSED_SLOT(CreateInstance)
    // Creates an instance of `typeName` from the assembly file, wrapped in an object handle.
    virtual HRESULT STDMETHODCALLTYPE CreateInstanceFrom(BSTR assemblyFile, BSTR typeName,
                                                         _ObjectHandle** result) = 0;
};

#undef OX_CLR_UNUSED_SLOT

}  // namespace OxSetupLib::clr
