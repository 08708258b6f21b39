#include "accounts/objsel_double.h"

#include <cstddef>
#include <cwchar>

#include "support/com_faults.h"

namespace ondex::test {

namespace {

long g_live = 0;

// The list and its texts in one block, the texts after the entries; an
// empty text is a null pointer.
HGLOBAL MakeSelectionList(const std::vector<PickedObject>& selection) {
    const size_t entries = offsetof(DS_SELECTION_LIST, aDsSelection) + (selection.size() + 1) * sizeof(DS_SELECTION);
    size_t chars = 0;
    for (const PickedObject& o : selection)
        chars += o.objectClass.size() + o.name.size() + o.upn.size() + o.adsPath.size() + 4;
    const HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, entries + chars * sizeof(wchar_t));
    auto* list = static_cast<DS_SELECTION_LIST*>(::GlobalLock(block));
    list->cItems = static_cast<ULONG>(selection.size());
    auto* next = reinterpret_cast<wchar_t*>(reinterpret_cast<BYTE*>(list) + entries);
    const auto place = [&next](const std::wstring& text) -> PWSTR {
        if (text.empty()) return nullptr;
        const PWSTR placed = std::wcscpy(next, text.c_str());
        next += text.size() + 1;
        return placed;
    };
    for (size_t index = 0; index < selection.size(); ++index) {
        DS_SELECTION& entry = list->aDsSelection[index];
        entry.pwzClass = place(selection[index].objectClass);
        entry.pwzName = place(selection[index].name);
        entry.pwzUPN = place(selection[index].upn);
        entry.pwzADsPath = place(selection[index].adsPath);
    }
    ::GlobalUnlock(block);
    return block;
}

class Selection : public Counted<IDataObject, IID_IDataObject> {
public:
    explicit Selection(const ObjSelScript& script) : script_(script) { ++g_live; }
    ~Selection() override { --g_live; }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        ONDEX_COM_FAULT("IDataObject::GetData");
        if (format->cfFormat != ::RegisterClipboardFormatW(CFSTR_DSOP_DS_SELECTION_LIST) ||
            !(format->tymed & TYMED_HGLOBAL))
            return DV_E_FORMATETC;
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = MakeSelectionList(script_.selection);
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

private:
    const ObjSelScript& script_;
};

class Picker : public Counted<IDsObjectPicker, IID_IDsObjectPicker> {
public:
    Picker(const ObjSelScript& script, ObjSelRecord& record) : script_(script), record_(record) { ++g_live; }
    ~Picker() override { --g_live; }
    HRESULT STDMETHODCALLTYPE Initialize(PDSOP_INIT_INFO init) override {
        ONDEX_COM_FAULT("IDsObjectPicker::Initialize");
        record_.init = *init;
        record_.init->aDsScopeInfos = nullptr;
        record_.scopes.assign(init->aDsScopeInfos, init->aDsScopeInfos + init->cDsScopeInfos);
        return script_.initializeResult;
    }
    HRESULT STDMETHODCALLTYPE InvokeDialog(HWND parent, IDataObject** selection) override {
        ONDEX_COM_FAULT("IDsObjectPicker::InvokeDialog");
        record_.invoked = true;
        record_.parent = parent;
        *selection = script_.invokeResult == S_OK ? new Selection(script_) : nullptr;
        return script_.invokeResult;
    }

private:
    const ObjSelScript& script_;
    ObjSelRecord& record_;
};

class Factory : public Counted<IClassFactory, IID_IClassFactory> {
public:
    Factory(const ObjSelScript& script, ObjSelRecord& record) : script_(script), record_(record) {}
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID iid, void** out) override {
        ONDEX_COM_FAULT("IClassFactory::CreateInstance");
        *out = nullptr;
        auto* picker = new Picker(script_, record_);
        const HRESULT hr = picker->QueryInterface(iid, out);
        picker->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    const ObjSelScript& script_;
    ObjSelRecord& record_;
};

}  // namespace

IClassFactory* NewObjSelClassObject(const ObjSelScript& script, ObjSelRecord& record) {
    return new Factory(script, record);
}

ObjSelDouble::ObjSelDouble() : registration_(CLSID_DsObjectPicker, NewObjSelClassObject(*this, received)) {}

long ObjSelDouble::Live() { return g_live; }

}  // namespace ondex::test
