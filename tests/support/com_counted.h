#pragma once
// Reference counting for the COM test doubles (an object deletes itself with
// its last reference), and the registration of a double's class object.
#include <windows.h>
#include <objbase.h>

namespace ondex::test {

// A double of several interfaces: Find gives the pointer for an interface id
// (IUnknown included), or null.
template <typename... Interfaces>
class CountedMany : public Interfaces... {
public:
    virtual ~CountedMany() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!(*out = Find(iid))) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (!left) delete this;
        return left;
    }

protected:
    virtual void* Find(REFIID iid) = 0;

private:
    ULONG references_ = 1;
};

// A double of one interface, answering IUnknown and the given interface ids.
template <typename I, const IID&... kIids>
class Counted : public CountedMany<I> {
protected:
    void* Find(REFIID iid) override {
        const bool known = IsEqualIID(iid, IID_IUnknown) || (IsEqualIID(iid, kIids) || ...);
        return known ? static_cast<I*>(this) : nullptr;
    }
};

// The class object of `clsid` on the test thread for the scope, its
// apartment initialised; takes over the factory's reference.
class RegisteredClass {
public:
    RegisteredClass(REFCLSID clsid, IClassFactory* factory) {
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ::CoRegisterClassObject(clsid, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie_);
        factory->Release();
    }
    ~RegisteredClass() {
        ::CoRevokeClassObject(cookie_);
        ::CoUninitialize();
    }
    RegisteredClass(const RegisteredClass&) = delete;
    RegisteredClass& operator=(const RegisteredClass&) = delete;

private:
    DWORD cookie_ = 0;
};

}  // namespace ondex::test
