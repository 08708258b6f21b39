#pragma once
// The SQL-DMO server as instance discovery calls it, through IDispatch only:
// ListInstalledInstances answers a name list with Count and Item. Registered
// with CoRegisterClassObject for the object's life on the test thread.
#include <windows.h>

#include <string>
#include <vector>

#include "support/com_counted.h"

namespace ondex::test {

struct DmoScript {
    std::vector<std::wstring> names;
    bool listFails = false;  // ListInstalledInstances raises an exception
    int failingItem = -1;    // the item at this index raises an exception
};

// The class object of the server; the script must outlive what it hands out.
IClassFactory* NewDmoClassObject(const DmoScript& script);

class DmoDouble : public DmoScript {
public:
    DmoDouble();
    DmoDouble(const DmoDouble&) = delete;
    DmoDouble& operator=(const DmoDouble&) = delete;

    // Objects handed out and not yet released.
    static long Live();

private:
    RegisteredClass registration_;
};

}  // namespace ondex::test
