#pragma once
// The account-name forms of the credential checks and their verdict texts.
// Pure logic: no Windows headers.
#include <optional>
#include <string>
#include <string_view>

namespace ondex::accounts {

// The dialog checks rewrite their property; the service check does not.
enum class CheckKind { Dialog, Service };

// An account typed as "localhost\user" (ASCII case ignored) with the computer
// name in place of localhost; nothing for any other account.
std::optional<std::wstring> ReplaceLocalhostPrefix(std::wstring_view account, std::wstring_view computer);

// What the translation of the account to its user-principal name gave.
struct PrincipalName {
    enum Outcome { NoLength, Failed, Translated } outcome = NoLength;
    std::wstring name;
};

// The names the logon and the logon right get.
struct LogonName {
    bool badFormat = false;                      // a length was reported, then the translation failed
    std::wstring account;                        // user name or principal name
    std::optional<std::wstring> domain;          // nothing: no domain at all (a null pointer)
    std::wstring grantName;                      // the account the service-logon right is given to
    std::optional<std::wstring> qualifiedShown;  // dialog checks: the new account property for a bare name
};

LogonName DeriveLogonName(CheckKind kind, std::wstring_view account, const PrincipalName& principal,
                          std::wstring_view computer);

// The verdict of the dialog's empty-field and confirmation checks, where a
// later verdict replaces an earlier one; nothing when the logon is to be tried.
const wchar_t* DialogInputVerdict(std::wstring_view account, std::wstring_view password, std::wstring_view confirm,
                                  std::wstring_view needConfirm);

// The dialog check's verdict for a failed logon's error code.
const wchar_t* LogonErrorVerdict(unsigned long code);

inline constexpr wchar_t kVerdictOk[] = L"OK";
inline constexpr wchar_t kVerdictNoLogonAsService[] = L"NO_LOGON_AS_SERVICE";
inline constexpr wchar_t kVerdictUnknownError[] = L"UNKNOWN_ERROR";
inline constexpr wchar_t kVerdictBadFormat[] = L"BAD_ACCOUNTNAME_FORMAT";

// The service check's result codes and their messages.
enum ServiceAccountCode { kServiceOk = 0, kBlankAccount, kBlankPassword, kBadFormat, kLogonRefused, kUnknownFailure };
// Blank fields: 0 when both are given; a blank password outranks a blank account.
ServiceAccountCode ServiceInputCode(std::wstring_view account, std::wstring_view password);
const wchar_t* ServiceAccountMessage(int code);

}  // namespace ondex::accounts
