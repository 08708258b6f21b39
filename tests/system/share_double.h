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
    DWORD type = 0, permissions = 0, maxUses = 0, currentUses = 0;
    std::wstring remark;
    bool hasPassword = false;
    std::vector<BYTE> descriptor;  // self-relative; empty until set
};

class ShareDouble {
public:
    ShareDouble();
    ~ShareDouble();
    ShareDouble(const ShareDouble&) = delete;
    ShareDouble& operator=(const ShareDouble&) = delete;

    // Codes answered instead of doing the call (0: behave).
    struct Injected {
        DWORD getInfo2 = 0, getInfo502 = 0, add = 0, setInfo = 0, del = 0;
    } inject;

    void Existing(const std::wstring& name, const std::wstring& path) { shares_[name].path = path; }
    bool Has(const std::wstring& name) const { return shares_.count(name) != 0; }
    const DoubledShare& Share(const std::wstring& name) const { return shares_.at(name); }
    // Every call, as "GetInfo 2 name", "Add name", "SetInfo 502 name", "Del name".
    const std::vector<std::wstring>& calls() const { return calls_; }

private:
    static DWORD WINAPI GetInfo(LPWSTR server, LPWSTR name, DWORD level, LPBYTE* buffer);
    static DWORD WINAPI Add(LPWSTR server, DWORD level, LPBYTE buffer, LPDWORD badParameter);
    static DWORD WINAPI SetInfo(LPWSTR server, LPWSTR name, DWORD level, LPBYTE buffer, LPDWORD badParameter);
    static DWORD WINAPI Del(LPWSTR server, LPWSTR name, DWORD reserved);

    ScopedApiOverride override_;
    std::map<std::wstring, DoubledShare> shares_;
    std::vector<std::wstring> calls_;
};

}  // namespace ondex::test
