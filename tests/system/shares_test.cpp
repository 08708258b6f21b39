// Folder sharing in real sessions; the NetApi share calls go to the share
// double, the security descriptor is built by the real system calls.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "runtime/session.h"
#include "runtime/tracer.h"
#include "support/package.h"
#include "system/share_double.h"
#include "system/shares.h"

#include "exports/exports.h"

using namespace ondex::test;
using Lines = std::vector<std::wstring>;

namespace {

constexpr wchar_t kDuplicateLine[] = L"Error: such share name is already in use on this server.";

struct Shares : testing::Test {
    TestPackage package;
    LogCapture log;
    ShareDouble shares;

    void Set(const wchar_t* name, const std::wstring& value) {
        ASSERT_EQ(0u, MsiSetPropertyW(package.Session(), name, value.c_str()));
    }
    // The verdict of the share dialog's check for a folder and share name.
    std::wstring Verdict(const std::wstring& folder, const std::wstring& name) {
        Set(L"CATALOGPATH", folder);
        Set(L"CATSHARENAME", name);
        EXPECT_EQ(0u, CheckShareFolder(package.Session()));
        return package.Get(L"CheckShareFolderResult");
    }
    UINT Deferred(UINT(__stdcall* action)(MSIHANDLE), const std::wstring& data) {
        Set(L"CustomActionData", data);
        return action(package.Session());
    }
    static std::wstring Failure(DWORD code, const wchar_t* text) {
        return ondex::runtime::FormatErrMessage(code, text);
    }
};

// The descriptor the double keeps for a share, as SDDL (owner, group and DACL).
std::wstring Sddl(const std::vector<BYTE>& descriptor) {
    LPWSTR text = nullptr;
    if (descriptor.empty() || !ConvertSecurityDescriptorToStringSecurityDescriptorW(
                                  const_cast<BYTE*>(descriptor.data()), SDDL_REVISION_1,
                                  OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                  &text, nullptr))
        return L"";
    std::wstring sddl = text;
    LocalFree(text);
    return sddl;
}

}  // namespace

TEST_F(Shares, DialogJudgesTheFolderFirstThenWhetherTheNameIsFreeOrSharesThisVeryFolder) {
    shares.Existing(L"Catalog", L"C:\\Catalog");
    const struct {
        const wchar_t *folder, *name, *verdict, *line;
    } cases[] = {
        {L"", L"Catalog", L"ERR_PROP", L"CATALOGPATH is not found."},
        {L"C:\\", L"Catalog", L"ERR_ROOT", L"CATALOGPATH cannot be root."},
        {L"\\\\a", L"Catalog", L"ERR_ROOT", L"CATALOGPATH cannot be root."},
        {L"\\\\server\\share\\dir", L"Catalog", L"ERR_NOT_LOCAL", L"CATALOGPATH must be local."},
        {L"C:\\Catalog", L"", L"ERR_PROP", L"CATSHARENAME is not found."},
        {L"C:\\Free", L"Free", L"OK", nullptr},
        {L"C:\\Catalog", L"Catalog", L"OK", nullptr},
        {L"C:\\Catalog\\", L"Catalog", L"OK", nullptr},
        {L"C:\\Other", L"Catalog", L"ERR_DUPLICATE", kDuplicateLine},
        {L"c:\\catalog", L"Catalog", L"ERR_DUPLICATE", kDuplicateLine},  // compared case-sensitively
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::wstring(c.folder) + L" " + c.name);
        log.Clear();
        EXPECT_EQ(c.verdict, Verdict(c.folder, c.name));
        EXPECT_EQ(c.line ? Lines{c.line} : Lines{}, log.TimestampedLines());
    }
    EXPECT_EQ(5u, shares.calls.size());  // the rejected folders and names asked nothing
    log.Clear();
    shares.inject.getInfo2 = ERROR_ACCESS_DENIED;
    EXPECT_EQ(L"ERR_UNKNOWN", Verdict(L"C:\\Catalog", L"Catalog"));
    EXPECT_EQ(Lines{Failure(5, L"CheckShare NetShareGetInfo failed. Get local path with specified name.")},
              log.TimestampedLines());
}

constexpr wchar_t kAdministratorsOnly[] = L"D:(A;;GXGR;;;BA)";  // read and execute for Administrators only

TEST_F(Shares, ANewShareCarriesItsDescriptorFromTheAddAndOnlyAShareTakenOverIsResetAfterwards) {
    const struct {
        const wchar_t* data;
        UINT result;
        Lines calls;
        const wchar_t* sddl;
    } cases[] = {
        {L"C:\\Catalog|Catalog", 0,
         {L"Add Catalog", L"GetInfo 2 Catalog", L"GetInfo 502 Catalog", L"SetInfo 502 Catalog"}, kAdministratorsOnly},
        {L"C:\\CATALOG|Catalog", 10, {L"Add Catalog", L"GetInfo 2 Catalog"}, L""},  // another folder: left alone
        {L"C:\\Data\\Catalog\\|New", 0, {L"Add New"}, kAdministratorsOnly},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data);
        shares.shares.clear();
        shares.Existing(L"Catalog", L"C:\\Catalog");
        shares.calls.clear();
        log.Clear();
        EXPECT_EQ(c.result, Deferred(ShareLocalFolder, c.data));
        EXPECT_EQ(c.calls, shares.calls);
        const std::wstring name = c.calls[0].substr(4);
        EXPECT_EQ(c.sddl, Sddl(shares.shares.at(name).descriptor));
        EXPECT_EQ(c.result ? Lines{kDuplicateLine} : Lines{}, log.TimestampedLines());
    }
    const DoubledShare& created = shares.shares.at(L"New");
    EXPECT_EQ(L"C:\\Data\\Catalog", created.path);
    EXPECT_EQ(L"0||0|4294967295|0|", created.added);  // disk share, empty remark, unlimited users, no password
}

TEST_F(Shares, DeferredDataWithTheWrongItemCountFailsWith1168AndEmptyDataDoesNothing) {
    EXPECT_EQ(1168u, Deferred(ShareLocalFolder, L"C:\\Catalog"));
    EXPECT_EQ(1168u, Deferred(ShareLocalFolder, L"C:\\Catalog|Catalog|"));
    EXPECT_EQ(1168u, Deferred(DelShareFolder, L"Catalog|"));
    EXPECT_EQ(0u, Deferred(ShareLocalFolder, L""));
    EXPECT_EQ(0u, Deferred(DelShareFolder, L""));
    EXPECT_EQ((Lines{L"Some property is not set.", L"Some property is not set.", L"Some property is not set.",
                     L"CustomActionData is not set.", L"CustomActionData is not set."}),
              log.TimestampedLines());
    EXPECT_EQ(Lines{}, shares.calls);
}

TEST_F(Shares, FailedShareStepEndsTheActionWithItsCodeAndNamesTheStep) {
    using Injected = ShareDouble::Injected;
    const struct {
        DWORD Injected::*call;
        DWORD code;
        bool existing;
        const wchar_t* text;
    } cases[] = {
        {&Injected::add, ERROR_NOT_SUPPORTED, false, L"ShareFolder NetShareAdd failed."},
        {&Injected::getInfo2, 2311, true, L"ShareFolder NetShareGetInfo failed. Get local path with specified name."},
        {&Injected::getInfo502, ERROR_ACCESS_DENIED, true, L"SetShareFolderAdminPermission NetShareGetInfo failed."},
        {&Injected::setInfo, ERROR_INVALID_PARAMETER, true, L"SetShareFolderAdminPermission NetShareSetInfo failed."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        shares.shares.clear();
        if (c.existing) shares.Existing(L"Catalog", L"C:\\Catalog");
        shares.inject = {};
        shares.inject.*c.call = c.code;
        log.Clear();
        EXPECT_EQ(c.code, Deferred(ShareLocalFolder, L"C:\\Catalog|Catalog"));
        EXPECT_EQ(Lines{Failure(c.code, c.text)}, log.TimestampedLines());
        EXPECT_EQ(c.existing, shares.shares.count(L"Catalog") == 1);  // a failed add leaves no share
    }
}

TEST_F(Shares, RemovalDeletesTheShareAndSucceedsWhateverTheDeletionAnswers) {
    shares.Existing(L"Catalog", L"C:\\Catalog");
    EXPECT_EQ(0u, Deferred(DelShareFolder, L"Catalog"));
    EXPECT_EQ(0u, shares.shares.count(L"Catalog"));
    EXPECT_EQ(0u, Deferred(DelShareFolder, L"Catalog"));
    shares.inject.del = ERROR_ACCESS_DENIED;
    EXPECT_EQ(0u, Deferred(DelShareFolder, L"Other"));
    EXPECT_EQ((Lines{L"Del Catalog", L"Del Catalog", L"Del Other"}), shares.calls);
    EXPECT_EQ(Lines{}, log.TimestampedLines());
}

// The inner results that the actions fold together: not shared and shared
// for this folder both read "OK" in the dialog.
TEST(ShareOperations, QueriesAnswerNotSharedSameOrOtherFolderAndCreationSaysWhetherItCreated) {
    ShareDouble shares;
    shares.Existing(L"Catalog", L"C:\\Catalog");
    using namespace ondex::system;
    EXPECT_EQ(4, CheckShare(L"C:\\Catalog", L"Free"));
    EXPECT_EQ(1, CheckShare(L"C:\\Catalog\\", L"Catalog"));
    EXPECT_EQ(2, CheckShare(L"C:\\Catalog\\\\", L"Catalog"));
    EXPECT_EQ(0, ShareFolder(L"C:\\Free", L"Free"));
    EXPECT_EQ(1, ShareFolder(L"C:\\Free\\", L"Free"));
    EXPECT_EQ(2, ShareFolder(L"C:\\Catalog2", L"Catalog"));
}
