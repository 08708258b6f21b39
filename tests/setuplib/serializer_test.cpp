// The member serializer and the protected state file.
#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include "setuplib/oxsetuplib.h"
#include "support/package.h"

using namespace OxSetupLib;
using ondex::test::ReadFileBytes;
using ondex::test::TempFolder;
using ondex::test::WriteFileBytes;

namespace {

std::uint32_t UInt32At(const std::string& bytes, size_t offset) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[offset + i]);
    return value;
}

std::string Unprotect(const std::string& blob) {
    static const wchar_t entropyText[] = L"7d1e4a90-3b6c-4f2e-8a51-c09b2e7f6d34";
    DATA_BLOB in{static_cast<DWORD>(blob.size()), reinterpret_cast<BYTE*>(const_cast<char*>(blob.data()))};
    DATA_BLOB entropy{72, reinterpret_cast<BYTE*>(const_cast<wchar_t*>(entropyText))};
    DATA_BLOB out{};
    if (!CryptUnprotectData(&in, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out)) return "<fail>";
    std::string plain(reinterpret_cast<char*>(out.pbData), out.cbData);
    LocalFree(out.pbData);
    return plain;
}

// Stores a 32-bit value and a string, the members of most state files here.
std::wstring WriteTwoMembers(const TempFolder& folder, std::uint32_t number, OxMsiString text) {
    OxFileSerializator store(folder.File(L"state"));
    store.Serialize(number);
    store.Serialize(text);
    store.Write();
    return store.Path();
}

DWORD LoadErrorCode(const std::wstring& path) {
    try {
        OxFileSerializator load(path);
        load.Load();
    } catch (const OxWinError& error) {
        return error.Code();
    }
    return 0;
}

}  // namespace

TEST(StateFile, MembersAreACountAndLengthPrefixedBlobsProtectedWithTheLibraryEntropyAndLoadBackInOrder) {
    TempFolder folder;
    OxFileSerializator store(folder.File(L"state"));
    std::uint8_t flag = 1;
    std::int32_t negative = -2;
    OxMsiString empty, text = L"ab";
    for (auto* member : {&empty, &text}) {
        store.Serialize(flag);
        store.Serialize(negative);
        store.Serialize(*member);
    }
    store.Write();
    const std::string bytes = ReadFileBytes(store.Path());
    ASSERT_EQ(UInt32At(bytes, 0), 6u);
    std::vector<std::string> blobs;
    for (size_t at = 4; at + 4 <= bytes.size(); at += 4 + UInt32At(bytes, at))
        blobs.push_back(Unprotect(bytes.substr(at + 4, UInt32At(bytes, at))));
    EXPECT_EQ(blobs, (std::vector<std::string>{"\x01", std::string("\xFE\xFF\xFF\xFF", 4), "", "\x01",
                                               std::string("\xFE\xFF\xFF\xFF", 4), std::string("a\0b\0", 4)}));

    OxFileSerializator load(store.Path());
    load.Load();
    for (const OxMsiString& expected : {empty, text}) {
        std::uint8_t flagBack = 0;
        std::int32_t negativeBack = 0;
        OxMsiString textBack = L"stale";
        load.Serialize(flagBack);
        load.Serialize(negativeBack);
        load.Serialize(textBack);
        EXPECT_EQ(flagBack, 1);
        EXPECT_EQ(negativeBack, -2);
        EXPECT_EQ(textBack, expected);
    }
}

TEST(StateFile, LoadingPastTheLastMemberOrIntoAFieldOfAnotherSizeThrows) {
    TempFolder folder;
    const std::wstring path = WriteTwoMembers(folder, 7, L"x");

    OxFileSerializator load(path);
    load.Load();
    std::uint8_t narrow = 0;
    try {
        load.Serialize(narrow);
        FAIL() << "a 4-byte member loaded into a byte";
    } catch (const OxWinError& error) {
        EXPECT_EQ(error.Code(), 160u);
        EXPECT_EQ(error.Text(), L"Size of the data type doesn't equal to size of the member data type.");
    }
    OxMsiString text;
    load.Serialize(text);
    try {
        std::uint32_t third = 0;
        load.Serialize(third);
        FAIL() << "a third member loaded from a file of two";
    } catch (const OxWinError& error) {
        EXPECT_EQ(error.Code(), 259u);
    }
}

TEST(StateFile, CorruptedTruncatedOrMissingFilesThrowOxWinError) {
    TempFolder folder;
    const std::wstring path = WriteTwoMembers(folder, 7, L"text");
    std::string bytes = ReadFileBytes(path);

    std::string corrupted = bytes;
    corrupted[20] ^= 0x5A;  // inside the first protected blob
    WriteFileBytes(path, corrupted);
    EXPECT_NE(LoadErrorCode(path), 0u);

    WriteFileBytes(path, bytes.substr(0, bytes.size() - 3));
    EXPECT_NE(LoadErrorCode(path), 0u);

    WriteFileBytes(path, std::string("\xFF\xFF\xFF\x7F", 4));  // a huge count with nothing behind it
    EXPECT_NE(LoadErrorCode(path), 0u);

    EXPECT_EQ(LoadErrorCode(folder.File(L"missing")), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}
