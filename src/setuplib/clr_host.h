#pragma once
// Hosts the .NET runtime for the managed setup assemblies: one started
// runtime and one application domain per host object, and late-bound calls of
// methods of managed types created from the assembly.
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/com.h"
#include "setuplib/clr_interfaces.h"
#include "setuplib/oxsetuplib.h"

namespace OxSetupLib {

// A VARIANT owned for its scope.
class OxVariant {
public:
    OxVariant() { ::VariantInit(&value_); }
    OxVariant(const OxVariant&) = delete;
    OxVariant& operator=(const OxVariant&) = delete;
    OxVariant(OxVariant&& other) noexcept;
    OxVariant& operator=(OxVariant&& other) noexcept;
    ~OxVariant() { ::VariantClear(&value_); }

    static OxVariant Int(int value);                  // VT_INT
    static OxVariant Text(const std::wstring& value); // VT_BSTR
    static OxVariant Bool(bool value);                // VT_BOOL

    const VARIANT& Get() const { return value_; }
    // For out-parameters: clears the current value first.
    VARIANT* Put();
    // A boolean true; anything else (false, empty, another type) is not.
    bool IsTrue() const { return value_.vt == VT_BOOL && value_.boolVal == VARIANT_TRUE; }

private:
    VARIANT value_;
};

// The arguments of a method call, in call order.
template <typename... Values>
std::vector<OxVariant> OxArguments(Values&&... values) {
    std::vector<OxVariant> list;
    list.reserve(sizeof...(values));
    (list.push_back(std::forward<Values>(values)), ...);
    return list;
}

// A failing HRESULT from the hosted runtime. For a method call it also
// carries the index of the offending argument and, for a managed exception
// (DISP_E_EXCEPTION), the exception's own code and its description as text.
class OxComError : public OxWinError {
public:
    explicit OxComError(HRESULT code, UINT argumentIndex = 0, HRESULT exceptionCode = S_OK,
                        std::wstring description = {})
        : OxWinError(static_cast<DWORD>(code), std::move(description)),
          argumentIndex_(argumentIndex),
          exceptionCode_(exceptionCode) {}
    HRESULT Result() const { return static_cast<HRESULT>(Code()); }
    UINT ArgumentIndex() const { return argumentIndex_; }
    HRESULT ExceptionCode() const { return exceptionCode_; }
    bool IsManagedException() const { return Result() == DISP_E_EXCEPTION; }

private:
    UINT argumentIndex_;
    HRESULT exceptionCode_;
};

class OxClrHost {
public:
    // Binds and starts the runtime of `runtimeVersion` ("v4.0.30319") and
    // creates the domain "OndexSetup<version>" with `applicationBase` (if not
    // empty). Throws OxWinError when mscoree.dll or its entry point is
    // missing, OxComError when a runtime call fails.
    OxClrHost(std::wstring assemblyPath, std::wstring applicationBase, std::wstring runtimeVersion);
    // Unloads the domain and stops the runtime.
    ~OxClrHost();
    OxClrHost(const OxClrHost&) = delete;
    OxClrHost& operator=(const OxClrHost&) = delete;

    // Creates an instance of `typeName` from the assembly and invokes its
    // method `method` with `arguments` in call order; returns the method's
    // return value. Failures throw OxComError.
    OxVariant CallMethod(const std::wstring& typeName, const std::wstring& method,
                         const std::vector<OxVariant>& arguments) const;

private:
    void Shutdown() noexcept;
    ondex::platform::ComPtr<IDispatch> CreateInstance(const std::wstring& typeName) const;

    std::wstring assemblyPath_;
    std::wstring applicationBase_;
    std::wstring runtimeVersion_;
    ondex::platform::ComPtr<ICorRuntimeHost> host_;
    ondex::platform::ComPtr<clr::_AppDomain> domain_;
    bool started_ = false;
};

}  // namespace OxSetupLib
