#pragma once
// Reference counting for a test double of one interface, answering
// QueryInterface for IUnknown and the given interface ids; the object
// deletes itself with its last reference.
#include <windows.h>
#include <objbase.h>

namespace ondex::test {

template <typename I, const IID&... kIids>
class Counted : public I {
public:
    virtual ~Counted() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !(IsEqualIID(iid, kIids) || ...)) return E_NOINTERFACE;
        *out = static_cast<I*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (!left) delete this;
        return left;
    }

private:
    ULONG references_ = 1;
};

}  // namespace ondex::test
