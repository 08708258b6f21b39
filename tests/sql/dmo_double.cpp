#include "sql/dmo_double.h"

#include <oleauto.h>

#include "sql/sql_instances.h"
#include "support/com_counted.h"
#include "support/com_faults.h"

namespace ondex::test {

namespace {

long g_live = 0;

// A dispatch object of named members; the type information is never asked for.
class Dispatch : public Counted<IDispatch, IID_IDispatch, sql::kIidDmoServer> {
public:
    explicit Dispatch(const DmoScript& script) : script_(script) { ++g_live; }
    ~Dispatch() override { --g_live; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        ONDEX_COM_FAULT("IDispatch::GetIDsOfNames");
        const DISPID id = count == 1 ? Member(names[0]) : DISPID_UNKNOWN;
        return (ids[0] = id) == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return *count = 0, S_OK; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

protected:
    virtual DISPID Member(const std::wstring& name) const = 0;
    const DmoScript& script_;
};

class NameList : public Dispatch {
public:
    using Dispatch::Dispatch;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT* result, EXCEPINFO*,
                                     UINT*) override {
        ONDEX_COM_FAULT("NameList::Invoke");
        if (id == 1) {
            result->vt = VT_I4;
            result->lVal = static_cast<LONG>(script_.names.size());
            return S_OK;
        }
        if (parameters->cArgs != 1 || parameters->rgvarg[0].vt != VT_I4) return DISP_E_BADPARAMCOUNT;
        const LONG index = parameters->rgvarg[0].lVal;
        if (index == script_.failingItem) return DISP_E_EXCEPTION;
        if (index < 0 || index >= static_cast<LONG>(script_.names.size())) return DISP_E_BADINDEX;
        result->vt = VT_BSTR;
        result->bstrVal = ::SysAllocString(script_.names[index].c_str());
        return S_OK;
    }

private:
    DISPID Member(const std::wstring& name) const override {
        return name == L"Count" ? 1 : name == L"Item" ? 2 : DISPID_UNKNOWN;
    }
};

class Server : public Dispatch {
public:
    using Dispatch::Dispatch;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                     UINT*) override {
        ONDEX_COM_FAULT("DmoServer::Invoke");
        if (script_.listFails) return DISP_E_EXCEPTION;
        result->vt = VT_DISPATCH;
        result->pdispVal = new NameList(script_);
        return S_OK;
    }

private:
    DISPID Member(const std::wstring& name) const override { return name == L"ListInstalledInstances" ? 1 : DISPID_UNKNOWN; }
};

class Factory : public Counted<IClassFactory, IID_IClassFactory> {
public:
    explicit Factory(const DmoScript& script) : script_(script) {}
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID iid, void** out) override {
        ONDEX_COM_FAULT("DmoFactory::CreateInstance");
        auto* server = new Server(script_);
        const HRESULT hr = server->QueryInterface(iid, out);
        server->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    const DmoScript& script_;
};

}  // namespace

IClassFactory* NewDmoClassObject(const DmoScript& script) { return new Factory(script); }

DmoDouble::DmoDouble() : registration_(sql::kClsidDmoServer, NewDmoClassObject(*this)) {}

long DmoDouble::Live() { return g_live; }

}  // namespace ondex::test
