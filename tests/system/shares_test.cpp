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

// The one allow entry of the descriptor the double keeps for a share.
struct AllowEntry {
    DWORD aces = 0;
    BYTE type = 0xFF, flags = 0xFF;
    ACCESS_MASK mask = 0;
    std::wstring sid;
};
AllowEntry ReadBack(const std::vector<BYTE>& descriptor) {
    AllowEntry entry;
    auto* sd = const_cast<BYTE*>(descriptor.data());
    BOOL present = FALSE, defaulted = TRUE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted) || !present || defaulted || !dacl) return entry;
    ACL_SIZE_INFORMATION size{};
    GetAclInformation(dacl, &size, sizeof size, AclSizeInformation);
    entry.aces = size.AceCount;
    ACCESS_ALLOWED_ACE* ace = nullptr;
    if (!GetAce(dacl, 0, reinterpret_cast<void**>(&ace))) return entry;
    entry.type = ace->Header.AceType;
    entry.flags = ace->Header.AceFlags;
    entry.mask = ace->Mask;
    LPWSTR text = nullptr;
    if (ConvertSidToStringSidW(&ace->SidStart, &text)) entry.sid = text;
    LocalFree(text);
    return entry;
}

}  // namespace

TEST_F(Shares, DialogRejectsMissingRootAndRemoteFoldersBeforeAskingForTheShare) {
    EXPECT_EQ(L"ERR_PROP", Verdict(L"", L"Catalog"));
    EXPECT_EQ(L"ERR_ROOT", Verdict(L"C:\\", L"Catalog"));
    EXPECT_EQ(L"ERR_ROOT", Verdict(L"\\\\a", L"Catalog"));
    EXPECT_EQ(L"ERR_NOT_LOCAL", Verdict(L"\\\\server\\share\\dir", L"Catalog"));
    EXPECT_EQ(L"ERR_PROP", Verdict(L"C:\\Catalog", L""));
    EXPECT_EQ((Lines{L"CATALOGPATH is not found.", L"CATALOGPATH cannot be root.", L"CATALOGPATH cannot be root.",
                     L"CATALOGPATH must be local.", L"CATSHARENAME is not found."}),
              log.TimestampedLines());
    EXPECT_EQ(Lines{}, shares.calls());
}

TEST_F(Shares, DialogAcceptsAFreeNameOrOneThatSharesThisVeryFolder) {
    shares.Existing(L"Catalog", L"C:\\Data\\Catalog");
    EXPECT_EQ(L"OK", Verdict(L"C:\\Data\\Free", L"Free"));
    EXPECT_EQ(L"OK", Verdict(L"C:\\Data\\Catalog", L"Catalog"));
    EXPECT_EQ(L"OK", Verdict(L"C:\\Data\\Catalog\\", L"Catalog"));
    EXPECT_EQ(Lines{}, log.TimestampedLines());
}

TEST_F(Shares, DialogCallsANameForAnotherFolderADuplicateComparingCaseSensitively) {
    shares.Existing(L"Catalog", L"C:\\Catalog");
    EXPECT_EQ(L"ERR_DUPLICATE", Verdict(L"C:\\Other", L"Catalog"));
    EXPECT_EQ(L"ERR_DUPLICATE", Verdict(L"c:\\catalog", L"Catalog"));
    EXPECT_EQ((Lines{kDuplicateLine, kDuplicateLine}), log.TimestampedLines());
}

TEST_F(Shares, DialogReportsAFailedShareQueryAsUnknown) {
    shares.inject.getInfo2 = ERROR_ACCESS_DENIED;
    EXPECT_EQ(L"ERR_UNKNOWN", Verdict(L"C:\\Catalog", L"Catalog"));
    EXPECT_EQ(Lines{Failure(5, L"CheckShare NetShareGetInfo failed. Get local path with specified name.")},
              log.TimestampedLines());
}

TEST_F(Shares, NewShareIsAPlainDiskShareOfTheFolderOnlyAdministratorsMayReadAndExecute) {
    EXPECT_EQ(0u, Deferred(ShareLocalFolder, L"C:\\Data\\Catalog\\|Catalog"));
    ASSERT_TRUE(shares.Has(L"Catalog"));
    const DoubledShare& share = shares.Share(L"Catalog");
    EXPECT_EQ(L"C:\\Data\\Catalog", share.path);
    EXPECT_EQ(0u, share.type);
    EXPECT_EQ(L"", share.remark);
    EXPECT_EQ(0u, share.permissions);
    EXPECT_EQ(0xFFFFFFFFu, share.maxUses);
    EXPECT_EQ(0u, share.currentUses);
    EXPECT_FALSE(share.hasPassword);

    const AllowEntry entry = ReadBack(share.descriptor);
    EXPECT_EQ(1u, entry.aces);
    EXPECT_EQ(ACCESS_ALLOWED_ACE_TYPE, entry.type);
    EXPECT_EQ(0, entry.flags);
    EXPECT_EQ(0xA0000000u, entry.mask);
    EXPECT_EQ(L"S-1-5-32-544", entry.sid);
    EXPECT_EQ(Lines{}, log.TimestampedLines());
}

TEST_F(Shares, ExistingShareOfTheSameFolderOnlyGetsItsPermissionsReset) {
    shares.Existing(L"Catalog", L"C:\\Catalog");
    EXPECT_EQ(0u, Deferred(ShareLocalFolder, L"C:\\Catalog|Catalog"));
    EXPECT_EQ((Lines{L"Add Catalog", L"GetInfo 2 Catalog", L"GetInfo 502 Catalog", L"SetInfo 502 Catalog"}),
              shares.calls());
    EXPECT_EQ(L"S-1-5-32-544", ReadBack(shares.Share(L"Catalog").descriptor).sid);
}

TEST_F(Shares, ShareOfAnotherFolderUnderTheNameIsLeftAloneAndFailsWith10) {
    shares.Existing(L"Catalog", L"C:\\Catalog");
    EXPECT_EQ(10u, Deferred(ShareLocalFolder, L"C:\\CATALOG|Catalog"));
    EXPECT_TRUE(shares.Share(L"Catalog").descriptor.empty());
    EXPECT_EQ(Lines{kDuplicateLine}, log.TimestampedLines());
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
    EXPECT_EQ(Lines{}, shares.calls());
}

TEST_F(Shares, FailedShareStepEndsTheActionWithItsCodeAndNamesTheStep) {
    shares.inject.add = ERROR_NOT_SUPPORTED;
    EXPECT_EQ(50u, Deferred(ShareLocalFolder, L"C:\\Catalog|Catalog"));
    shares.inject.add = 0;
    shares.inject.getInfo502 = ERROR_ACCESS_DENIED;
    EXPECT_EQ(5u, Deferred(ShareLocalFolder, L"C:\\Catalog|Catalog"));
    shares.inject.getInfo502 = 0;
    shares.inject.setInfo = ERROR_INVALID_PARAMETER;
    EXPECT_EQ(87u, Deferred(ShareLocalFolder, L"C:\\Catalog|Catalog"));
    shares.inject.getInfo2 = 2311;
    EXPECT_EQ(2311u, Deferred(ShareLocalFolder, L"C:\\Catalog|Catalog"));
    EXPECT_EQ((Lines{Failure(50, L"ShareFolder NetShareAdd failed."),
                     Failure(5, L"SetShareFolderAdminPermission NetShareGetInfo failed."),
                     Failure(87, L"SetShareFolderAdminPermission NetShareSetInfo failed."),
                     Failure(2311, L"ShareFolder NetShareGetInfo failed. Get local path with specified name.")}),
              log.TimestampedLines());
}

TEST_F(Shares, RemovalDeletesTheShareAndSucceedsWhateverTheDeletionAnswers) {
    shares.Existing(L"Catalog", L"C:\\Catalog");
    EXPECT_EQ(0u, Deferred(DelShareFolder, L"Catalog"));
    EXPECT_FALSE(shares.Has(L"Catalog"));
    EXPECT_EQ(0u, Deferred(DelShareFolder, L"Catalog"));
    shares.inject.del = ERROR_ACCESS_DENIED;
    EXPECT_EQ(0u, Deferred(DelShareFolder, L"Other"));
    EXPECT_EQ((Lines{L"Del Catalog", L"Del Catalog", L"Del Other"}), shares.calls());
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
