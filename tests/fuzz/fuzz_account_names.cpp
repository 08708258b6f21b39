// Account names typed into the credential dialog: every derived form stays
// within the typed name, the computer name and the principal name.
#include <string>

#include "accounts/account_names_text.h"
#include "fuzz_support.h"

using namespace ondex::accounts;

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* bytes, unsigned long size) {
    if (size == 0) return 0;
    const std::wstring text(bytes + 1, bytes + size);
    const size_t third = text.size() / 3;
    const std::wstring account = text.substr(third), computer = text.substr(0, third / 2),
                       upn = text.substr(third / 2, third - third / 2);
    const auto replaced = ReplaceLocalhostPrefix(account, computer);
    const std::wstring typed = replaced.value_or(account);
    Require(!replaced || typed.size() == account.size() - 10 + computer.size() + 1);
    const PrincipalName principal{static_cast<PrincipalName::Outcome>(bytes[0] % 3), upn};
    const CheckKind kind = bytes[0] & 4 ? CheckKind::Dialog : CheckKind::Service;
    const LogonName name = DeriveLogonName(kind, typed, principal, computer);
    if (name.badFormat) return 0;
    if (principal.outcome == PrincipalName::Translated) {
        Require(name.account == upn && name.grantName == upn);
        return 0;
    }
    Require(name.domain.has_value() && name.account.size() <= typed.size());
    Require(typed.ends_with(name.account) && name.grantName.size() <= typed.size() + 2);
    Require(!name.qualifiedShown || *name.qualifiedShown == computer + L"\\" + typed);
    return 0;
}
