#pragma once
// The object picker as the account choice calls it: Initialize records the
// records it is given, InvokeDialog answers a data object whose GetData gives
// the scripted selection list in an HGLOBAL, or S_FALSE for a cancel.
// Registered with CoRegisterClassObject for the object's life on the test thread.
#include <windows.h>
#include <objsel.h>

#include <optional>
#include <string>
#include <vector>

#include "support/com_counted.h"

namespace ondex::test {

// One selected object; an empty text is handed out as a null pointer.
struct PickedObject {
    std::wstring objectClass, name, upn, adsPath;
};

struct ObjSelScript {
    HRESULT initializeResult = S_OK;
    HRESULT invokeResult = S_OK;  // S_FALSE: the user cancelled
    std::vector<PickedObject> selection;
};

// What the picker was given.
struct ObjSelRecord {
    std::optional<DSOP_INIT_INFO> init;  // its scope pointer is not kept
    std::vector<DSOP_SCOPE_INIT_INFO> scopes;
    bool invoked = false;
    HWND parent = nullptr;
};

// The class object; the script and the record must outlive what it hands out.
IClassFactory* NewObjSelClassObject(const ObjSelScript& script, ObjSelRecord& record);

class ObjSelDouble : public ObjSelScript {
public:
    ObjSelDouble();
    ObjSelDouble(const ObjSelDouble&) = delete;
    ObjSelDouble& operator=(const ObjSelDouble&) = delete;

    ObjSelRecord received;
    // Objects handed out and not yet released.
    static long Live();

private:
    RegisteredClass registration_;
};

}  // namespace ondex::test
