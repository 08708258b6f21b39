#pragma once
// A stand-in for the NetApi share calls: knows the shares it was given or
// that the product created, answers 2118 and 2310 where Windows does, keeps
// the security descriptor the product sets (self-relative), and answers any
// code a test injects for a call.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "support/seam_override.h"

namespace ondex::test {

struct DoubledShare {
    std::wstring path;
    std::wstring added;            // "type|remark|permissions|max uses|current uses|password" as NetShareAdd got them
    std::vector<BYTE> descriptor;  // self-relative, as NetShareAdd or NetShareSetInfo got it; empty until set
};

struct ShareDouble {
    ShareDouble();
    ~ShareDouble();
    ShareDouble(const ShareDouble&) = delete;
    ShareDouble& operator=(const ShareDouble&) = delete;

    void Existing(const std::wstring& name, const std::wstring& path) { shares[name].path = path; }

    // Codes answered instead of doing the call (0: behave).
    struct Injected {
        DWORD getInfo2 = 0, getInfo502 = 0, add = 0, setInfo = 0, del = 0;
    } inject;
    std::map<std::wstring, DoubledShare> shares;
    // Every call, as "GetInfo 2 name", "Add name", "SetInfo 502 name", "Del name".
    std::vector<std::wstring> calls;

private:
    ScopedApiOverride override_;
};

}  // namespace ondex::test
