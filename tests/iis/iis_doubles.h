#pragma once
// The IIS classes Wine lacks, as in-process doubles over one MetabaseModel:
// the IIS Admin Base Object, the WAM admin object and the ADSI provider
// (moniker "IIS://localhost/W3SVC/<n>", whose site's Start sets ServerState 2).
// The object registers them for its life on the test thread; the
// registrable server (metabase_server.cpp) serves the same classes.
#include <windows.h>

#include "iis/metabase_model.h"

namespace ondex::test {

// {5E6B1A40-0D7A-4C1B-9F51-3B0A7C1D2E01}: the ProgID "IIS" class of the tests.
inline constexpr CLSID kClsidAdsiDouble = {0x5E6B1A40, 0x0D7A, 0x4C1B, {0x9F, 0x51, 0x3B, 0x0A, 0x7C, 0x1D, 0x2E, 0x01}};
inline constexpr wchar_t kAdsiClsidText[] = L"{5E6B1A40-0D7A-4C1B-9F51-3B0A7C1D2E01}";

// The class object of one of the three classes over `model` (one reference),
// or nullptr for another class.
IUnknown* NewIisClassObject(const CLSID& clsid, MetabaseModel& model);

class IisDoubles {
public:
    IisDoubles();
    ~IisDoubles();
    IisDoubles(const IisDoubles&) = delete;
    IisDoubles& operator=(const IisDoubles&) = delete;

    MetabaseModel model;
    // Objects handed out and not yet released, and calls of methods the
    // doubles do not implement.
    static long Live();
    static int Unexpected();

private:
    DWORD cookies_[3] = {};
};

}  // namespace ondex::test
