#include "accounts/account_names_text.h"

#include "runtime/ascii_text.h"

namespace ondex::accounts {

namespace {

constexpr std::wstring_view kLocalhostPrefix = L"localhost\\";

std::wstring Qualified(std::wstring_view domain, std::wstring_view account) {
    return std::wstring(domain) + L'\\' + std::wstring(account);
}

LogonName FromPrincipal(CheckKind kind, const std::wstring& principal) {
    LogonName name;
    name.account = principal;
    name.grantName = principal;
    if (kind == CheckKind::Service) name.domain = L"";
    return name;
}

LogonName FromSplit(CheckKind kind, std::wstring_view account, std::wstring_view computer) {
    LogonName name;
    const size_t slash = account.find(L'\\');
    if (slash == std::wstring_view::npos) {
        name.account = account;
        name.domain = L".";
        if (kind == CheckKind::Dialog) name.qualifiedShown = Qualified(computer, account);
    } else {
        name.domain = std::wstring(account.substr(0, slash));
        name.account = account.substr(slash + 1);
    }
    name.grantName = kind == CheckKind::Dialog && !name.domain->empty() ? Qualified(*name.domain, name.account)
                                                                         : name.account;
    return name;
}

}  // namespace

std::optional<std::wstring> ReplaceLocalhostPrefix(std::wstring_view account, std::wstring_view computer) {
    if (!runtime::StartsWithAsciiNoCase(account, kLocalhostPrefix)) return std::nullopt;
    return Qualified(computer, account.substr(kLocalhostPrefix.size()));
}

LogonName DeriveLogonName(CheckKind kind, std::wstring_view account, const PrincipalName& principal,
                          std::wstring_view computer) {
    switch (principal.outcome) {
        case PrincipalName::Translated: return FromPrincipal(kind, principal.name);
        case PrincipalName::Failed: {
            LogonName refused;
            refused.badFormat = true;
            return refused;
        }
        case PrincipalName::NoLength: break;
    }
    return FromSplit(kind, account, computer);
}

const wchar_t* DialogInputVerdict(std::wstring_view account, std::wstring_view password, std::wstring_view confirm,
                                  std::wstring_view needConfirm) {
    const wchar_t* verdict = nullptr;
    if (account.empty()) verdict = L"EMPTY_ACCOUNT_NAME";
    if (password.empty()) verdict = L"EMPTY_PASSWORD";
    const bool confirmationWanted = runtime::EqualsAsciiNoCase(needConfirm, L"YES") || needConfirm == L"1";
    if (confirmationWanted && confirm != password) verdict = L"CONFIRM_NOT_MATCH";
    return verdict;
}

const wchar_t* LogonErrorVerdict(unsigned long code) {
    switch (code) {
        case 0: return kVerdictOk;
        case 1385: return kVerdictNoLogonAsService;
        case 1311: return L"NO_LOGON_SERVERS";
        case 1326: return L"NO_ACCOUNT_SERVICE_RIGHTS";
        case 1330: return L"PASSWORD_EXPIRED";
        case 1789: return L"DOMAIN_ACCESS_FAILED";
        case 1907: return L"PASSWORD_MUST_CHANGE";
        default: return kVerdictUnknownError;
    }
}

ServiceAccountCode ServiceInputCode(std::wstring_view account, std::wstring_view password) {
    if (password.empty()) return kBlankPassword;
    return account.empty() ? kBlankAccount : kServiceOk;
}

const wchar_t* ServiceAccountMessage(int code) {
    static const wchar_t* const kMessages[] = {
        L"OK",
        L"Blank account name specified",
        L"Blank password specified",
        L"Account name format is invalid",
        L"Invalid login and password pair or account doesn't have rights to run as a service",
        L"Unknown failure during checking service credentials",
    };
    return code >= 0 && code <= kUnknownFailure ? kMessages[code] : kMessages[kUnknownFailure];
}

}  // namespace ondex::accounts
