#include "accounts/credentials.h"

#include <ntsecapi.h>

#include <cwchar>
#include <functional>

#include "accounts/account_names_text.h"
#include "accounts/local_computer.h"
#include "platform/handles.h"
#include "platform/seam.h"
#include "runtime/session.h"
#include "runtime/tracer.h"

namespace ondex::accounts {

namespace {

using platform::Api;
using runtime::FormatErrMessage;
using runtime::MsiProperty;
using runtime::SecretValue;
using runtime::TF_TRACE;
using runtime::TraceIf;

constexpr DWORD kComputerNameChars = 50;
constexpr int kFurtherLogonTries = 5;
constexpr DWORD kLogonRetryPauseMs = 1000;
// A principal name is at most a few hundred characters; a larger reported
// length is taken as a failed translation rather than allocated.
constexpr ULONG kMaxPrincipalChars = 1024;
constexpr DWORD kFirstSidBytes = 128;
constexpr DWORD kFirstDomainChars = 16;
constexpr int kSidLookupRounds = 4;
constexpr wchar_t kServiceLogonRight[] = L"SeServiceLogonRight";
constexpr UINT kPolicyNotOpened = 13;

struct LsaCloser {
    void operator()(LSA_HANDLE policy) const { ::LsaClose(policy); }
};
using UniqueLsaPolicy = platform::UniqueResource<LSA_HANDLE, nullptr, LsaCloser>;

// Where a check traces.
struct CheckScope {
    const wchar_t* actionName;
    UINT flags;
    MSIHANDLE hInstall;
};

DWORD LastErrorOr(DWORD fallback) {
    const DWORD error = Api().GetLastError();
    return error ? error : fallback;
}

// The principal name of a SAM-form account: asked first for its length.
PrincipalName TranslateToPrincipal(const std::wstring& account, const CheckScope* traced) {
    ULONG length = 0;
    const BOOLEAN probed = Api().TranslateNameW(account.c_str(), NameSamCompatible, NameUserPrincipal, nullptr, &length);
    if (length == 0) {
        if (traced && !probed) {
            const std::wstring error = FormatErrMessage(LastErrorOr(ERROR_GEN_FAILURE), L"FIRST TranslateName call");
            TraceIf(traced->flags, TF_TRACE, traced->actionName, L"FIRST TranslateName call", L"%s", error.c_str());
        }
        return {PrincipalName::NoLength, {}};
    }
    if (length > kMaxPrincipalChars) return {PrincipalName::Failed, {}};
    std::wstring name(length, L'\0');
    if (!Api().TranslateNameW(account.c_str(), NameSamCompatible, NameUserPrincipal, name.data(), &length))
        return {PrincipalName::Failed, {}};
    name.resize(std::wcslen(name.c_str()));
    return {PrincipalName::Translated, name};
}

// The dialog checks' names; "localhost\" and a bare name are written back to the account property.
LogonName DialogLogonName(MsiProperty& accountProperty, const CheckScope& scope) {
    const std::wstring computer = ComputerName(kComputerNameChars);
    std::wstring account = accountProperty.Str();
    if (auto replaced = ReplaceLocalhostPrefix(account, computer)) {
        account = *replaced;
        accountProperty = account;
    }
    LogonName name = DeriveLogonName(CheckKind::Dialog, account, TranslateToPrincipal(account, &scope), computer);
    if (name.qualifiedShown) accountProperty = *name.qualifiedShown;
    if (!name.badFormat)
        TraceIf(scope.flags, TF_TRACE, scope.actionName, L"Account", L"Account: \"%s\"\nDomain: \"%s\"",
                name.account.c_str(), name.domain ? name.domain->c_str() : L"(none)");
    return name;
}

// A logon of the service type; 0 or the error code.
DWORD LogOnAsService(const LogonName& name, const SecretValue& password) {
    platform::UniqueHandle token;
    const wchar_t* domain = name.domain ? name.domain->c_str() : nullptr;
    if (Api().LogonUserW(name.account.c_str(), domain, password.c_str(), LOGON32_LOGON_SERVICE,
                         LOGON32_PROVIDER_DEFAULT, token.put()))
        return ERROR_SUCCESS;
    return LastErrorOr(ERROR_GEN_FAILURE);
}

struct LogonOutcome {
    DWORD first;  // the first try's error
    DWORD last;   // the last try's error
};

// Grants the right and tries; after 1385 grants it again and tries up to
// five more times, pausing a second after each failed try.
LogonOutcome TryWithLogonRight(const std::wstring& grantName, const std::function<DWORD()>& attempt) {
    GrantServiceLogonRight(grantName);
    LogonOutcome outcome{attempt(), 0};
    outcome.last = outcome.first;
    if (outcome.first != ERROR_LOGON_TYPE_NOT_GRANTED) return outcome;
    for (int tries = 0; tries < kFurtherLogonTries && outcome.last != ERROR_SUCCESS; ++tries) {
        GrantServiceLogonRight(grantName);
        outcome.last = attempt();
        if (outcome.last != ERROR_SUCCESS) Api().Sleep(kLogonRetryPauseMs);
    }
    return outcome;
}

std::wstring CheckDialogCredentials(MsiProperty& account, const SecretValue& password, const CheckScope& scope) {
    const SecretValue confirm(scope.hInstall, L"CREDUICONFIRM");
    const std::wstring needConfirm = MsiProperty(scope.hInstall, L"CREDUINEEDCONFIRM").Str();
    if (const wchar_t* verdict = DialogInputVerdict(account.Str(), password.str(), confirm.str(), needConfirm))
        return verdict;
    const LogonName name = DialogLogonName(account, scope);
    if (name.badFormat) return kVerdictBadFormat;
    const LogonOutcome outcome = TryWithLogonRight(name.grantName, [&] { return LogOnAsService(name, password); });
    if (outcome.first == ERROR_LOGON_TYPE_NOT_GRANTED)
        return outcome.last == ERROR_SUCCESS ? kVerdictOk : kVerdictNoLogonAsService;
    const wchar_t* verdict = LogonErrorVerdict(outcome.first);
    if (verdict == std::wstring_view(kVerdictUnknownError))
        MsiProperty(scope.hInstall, L"CredUIDialogCheckAccountErrorText") = FormatErrMessage(outcome.first, L"LogonUser");
    return verdict;
}

void TraceVerdict(const CheckScope& scope, const std::wstring& verdict) {
    TraceIf(scope.flags, TF_TRACE, scope.actionName, verdict == kVerdictOk ? L"CHECKING SUCCEEDED!" : L"CHECKING FAILED!",
            L"%s", verdict.c_str());
}

// The lookup of CheckCredentials2: the account must resolve on this computer.
DWORD ResolveAccount(const std::wstring& name) {
    ::SetLastError(ERROR_SUCCESS);
    return GetAccountSid(name.c_str()) ? ERROR_SUCCESS : LastErrorOr(ERROR_NONE_MAPPED);
}

int CheckServiceCredentials(const std::wstring& account, const SecretValue& password, const CheckScope& scope) {
    if (const ServiceAccountCode code = ServiceInputCode(account, password.str()); code != kServiceOk) return code;
    const std::wstring computer = ComputerName(kComputerNameChars);
    const LogonName name = DeriveLogonName(CheckKind::Service, account, TranslateToPrincipal(account, nullptr), computer);
    if (name.badFormat) return kBadFormat;
    GrantServiceLogonRight(name.grantName);
    const DWORD error = LogOnAsService(name, password);
    if (error == ERROR_SUCCESS) return kServiceOk;
    const std::wstring text = FormatErrMessage(error, L"LOGON_USER");
    TraceIf(scope.flags, TF_TRACE, scope.actionName, L"LOGON_USER", L"%s", text.c_str());
    return kLogonRefused;
}

}  // namespace

std::optional<std::vector<BYTE>> GetAccountSid(const wchar_t* account) {
    std::vector<BYTE> sid(kFirstSidBytes);
    std::wstring domain(kFirstDomainChars, L'\0');
    for (int round = 0; round < kSidLookupRounds; ++round) {
        DWORD sidBytes = static_cast<DWORD>(sid.size());
        DWORD domainChars = static_cast<DWORD>(domain.size());
        SID_NAME_USE use;
        if (::LookupAccountNameW(nullptr, account, sid.data(), &sidBytes, domain.data(), &domainChars, &use))
            return sid;
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::nullopt;
        sid.resize(std::max<size_t>(sidBytes, sid.size()));
        domain.resize(std::max<size_t>(domainChars, domain.size()));
    }
    return std::nullopt;
}

UINT GrantServiceLogonRight(const std::wstring& account) {
    LSA_OBJECT_ATTRIBUTES attributes = {};
    UniqueLsaPolicy policy;
    if (::LsaOpenPolicy(nullptr, &attributes, POLICY_CREATE_ACCOUNT | POLICY_LOOKUP_NAMES, policy.put()) != 0)
        return kPolicyNotOpened;
    auto sid = GetAccountSid(account.c_str());
    if (!sid) return 0;
    std::wstring right = kServiceLogonRight;
    const auto bytes = static_cast<USHORT>(right.size() * sizeof(wchar_t));
    LSA_UNICODE_STRING rights = {bytes, static_cast<USHORT>(bytes + sizeof(wchar_t)), right.data()};
    return Api().LsaAddAccountRights(policy.get(), sid->data(), &rights, 1) == 0 ? 1 : 0;
}

void CheckCredentialsImpl(UINT&, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    const CheckScope scope{actionName, flags, hInstall};
    MsiProperty account(hInstall, L"CREDUIACCOUNTNAME");
    const SecretValue password(hInstall, L"CREDUIPASSWORD");
    const std::wstring verdict = CheckDialogCredentials(account, password, scope);
    MsiProperty(hInstall, L"CredUIDialogCheckAccountResult") = verdict;
    TraceVerdict(scope, verdict);
}

void CheckCredentials2Impl(UINT&, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    const CheckScope scope{actionName, flags, hInstall};
    MsiProperty errorText(hInstall, L"CREDUIERRORTEXT"), verdict(hInstall, L"CredUIDialogCheckAccountResult");
    errorText = L"";
    MsiProperty account(hInstall, L"CREDUIACCOUNTNAME");
    const SecretValue password(hInstall, L"CREDUIPASSWORD");
    TraceIf(flags, TF_TRACE, actionName, L"Previous result", L"%s", verdict.Str().c_str());
    const LogonName name = DialogLogonName(account, scope);
    if (name.badFormat) {
        verdict = kVerdictBadFormat;
        return TraceVerdict(scope, kVerdictBadFormat);
    }
    const LogonOutcome outcome = TryWithLogonRight(name.grantName, [&] {
        const DWORD lookup = ResolveAccount(name.grantName);
        return lookup != ERROR_SUCCESS ? lookup : LogOnAsService(name, password);
    });
    if (outcome.first == ERROR_LOGON_TYPE_NOT_GRANTED) verdict = kVerdictNoLogonAsService;
    if (outcome.last == ERROR_SUCCESS) verdict = kVerdictOk;
    else errorText = runtime::SystemMessageText(outcome.last);
    TraceVerdict(scope, outcome.last == ERROR_SUCCESS ? std::wstring(kVerdictOk) : FormatErrMessage(outcome.last, L"Logon"));
}

void CheckSetServiceCredentialsImpl(UINT&, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    const CheckScope scope{actionName, flags, hInstall};
    const std::wstring account = MsiProperty(hInstall, L"SERVICEACCOUNT").Str();
    const SecretValue password(hInstall, L"SERVICEPASSWORD");
    const int code = CheckServiceCredentials(account, password, scope);
    MsiProperty(hInstall, L"CheckServiceAccountResultCode") = std::to_wstring(code);
    MsiProperty(hInstall, L"CheckServiceAccountResult") = ServiceAccountMessage(code);
    TraceIf(flags, TF_TRACE, actionName, code == kServiceOk ? L"CHECKING SUCCEEDED!" : L"CHECKING FAILED!", L"%s",
            ServiceAccountMessage(code));
}

}  // namespace ondex::accounts
