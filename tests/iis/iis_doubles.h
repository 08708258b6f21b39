#pragma once
// The IIS classes Wine lacks, as in-process doubles over one MetabaseModel:
// the IIS Admin Base Object, the WAM admin object and the ADSI provider
// (moniker "IIS://localhost/W3SVC/<n>", whose site's Start sets ServerState 2).
// The object registers them for its life on the test thread.
#include <windows.h>

#include "iis/metabase_model.h"

namespace ondex::test {

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
