// The harness itself: a package opened as a session, its messages captured,
// and the message-box script standing in for real boxes.
#include <gtest/gtest.h>

#include "platform/seam.h"
#include "support/package.h"
#include "support/seam_override.h"

using namespace ondex::test;

TEST(Harness, SessionReadsPackagePropertiesAndCapturesInfoMessages) {
    TestPackage package;
    package.Property(L"GREETING", L"hello");
    MSIHANDLE session = package.Session();

    wchar_t value[32] = L"";
    DWORD size = 32;
    ASSERT_EQ(ERROR_SUCCESS, MsiGetPropertyW(session, L"GREETING", value, &size));
    EXPECT_STREQ(L"hello", value);

    LogCapture log;
    ondex::platform::UniqueMsiHandle record(MsiCreateRecord(1));
    MsiRecordSetStringW(record.get(), 0, L"line [1]");
    MsiRecordSetStringW(record.get(), 1, L"one");
    MsiProcessMessage(session, INSTALLMESSAGE_INFO, record.get());
    EXPECT_TRUE(log.HasInfoLine(L"line one"));
}

TEST(Harness, ScriptedMessageBoxRecordsAndAnswers) {
    MessageBoxScript boxes;
    boxes.Answer(IDCANCEL);
    EXPECT_EQ(IDCANCEL, ondex::platform::Api().MessageBoxW(nullptr, L"text", L"caption", 0x246));
    EXPECT_EQ(IDCONTINUE, ondex::platform::Api().MessageBoxW(nullptr, L"again", L"caption", 0x246));
    ASSERT_EQ(2u, boxes.boxes().size());
    EXPECT_EQ(L"caption", boxes.boxes()[0].caption);
    EXPECT_EQ(0x246u, boxes.boxes()[0].style);
}
