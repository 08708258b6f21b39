// Product detection against products that the real engine installed in the
// test prefix: a product line of two (the first without a cached package)
// and an advertised product.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "platform/handles.h"
#include "runtime/session.h"
#include "support/installed_product.h"
#include "support/package.h"

#include "exports/exports.h"

using namespace ondex;
using namespace ondex::test;
using Lines = std::vector<std::wstring>;

namespace {

// A fresh code, so parallel runs and the leftovers of an interrupted one
// never meet; `last` replaces the first group's last digit, which leads the
// packed form and so decides the engine's enumeration order.
std::wstring NewCode(const std::wstring& like = L"", wchar_t last = L'0') {
    std::wstring code = like.empty() ? NewGuidText() : like;
    code[8] = last;
    return code;
}

// Ghost, Older and Newer are enumerated in this order under kLine.
const std::wstring kLine = NewCode(), kEmptyLine = NewCode(), kBrokenLine = NewCode();
const std::wstring kGhost = NewCode(), kOlder = NewCode(kGhost, L'1'), kNewer = NewCode(kGhost, L'2');
const std::wstring kAdvertised = NewCode(), kAdvertisedLine = NewCode();

// An entry under an upgrade code's registration, as a product left behind by
// an incomplete removal (a packed code) or a damaged one (a longer name).
class UpgradeCodeEntry {
public:
    UpgradeCodeEntry(const std::wstring& upgradeCode, const std::wstring& entry)
        : path_(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UpgradeCodes\\" + PackedGuid(upgradeCode)),
          entry_(entry) {
        DWORD disposition = 0;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key_.put(),
                        &disposition);
        createdKey_ = disposition == REG_CREATED_NEW_KEY;
        RegSetValueExW(key_.get(), entry_.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t));
    }
    ~UpgradeCodeEntry() {
        RegDeleteValueW(key_.get(), entry_.c_str());
        key_.reset();
        if (createdKey_) RegDeleteKeyW(HKEY_LOCAL_MACHINE, path_.c_str());
    }

private:
    std::wstring path_, entry_;
    platform::UniqueHKey key_;
    bool createdKey_ = false;
};

class ProductDetection : public testing::Test {
protected:
    static void SetUpTestSuite() {
        older_ = std::make_unique<InstalledProduct>(kOlder, kLine);
        older_->ForgetLocalPackage();
        newer_ = std::make_unique<InstalledProduct>(kNewer, kLine);
        advertised_ = std::make_unique<InstalledProduct>(kAdvertised, kAdvertisedLine,
                                                         InstalledProduct::State::Advertised);
    }
    static void TearDownTestSuite() { older_.reset(), newer_.reset(), advertised_.reset(); }

    // Runs `action` with its input property (unset when empty) and a stale
    // result; returns the result property.
    std::wstring Run(UINT(__stdcall* action)(MSIHANDLE), const wchar_t* input, const std::wstring& value,
                     const wchar_t* result) {
        TestPackage package;
        if (!value.empty()) package.Property(input, value);
        package.Property(result, L"stale");
        EXPECT_EQ(0u, action(package.Session()));
        return package.Get(result);
    }

    static inline std::unique_ptr<InstalledProduct> older_, newer_, advertised_;
    LogCapture log;
};

}  // namespace

TEST_F(ProductDetection, ProductLineIsYesWhenInstalledAndNoWhenUnknown) {
    const auto line = [&](const std::wstring& code) {
        return Run(IsProductLineInstalled, L"IsInstUpgradeCode", code, L"IsProductLineInstalledResult");
    };
    EXPECT_EQ(L"YES", line(kLine));
    EXPECT_EQ(L"NO", line(kEmptyLine));
    EXPECT_EQ(Lines{}, log.TimestampedLines());
}

TEST_F(ProductDetection, OnlyAFullyInstalledProductIsInstalled) {
    const auto product = [&](const std::wstring& code) {
        return Run(IsProductInstalled, L"IsInstProductCode", code, L"IsProductInstalledResult");
    };
    EXPECT_EQ(L"YES", product(kNewer));
    for (const std::wstring& code : {kAdvertised, kGhost, std::wstring(L"not a code"), std::wstring()})
        EXPECT_EQ(L"NO", product(code)) << code;
}

TEST_F(ProductDetection, MsiPathIsTheFirstRelatedProductWithACachedPackage) {
    UpgradeCodeEntry leftOver(kLine, PackedGuid(kGhost));
    const std::wstring path = Run(GetMsiPath, L"GTMUpgradeCode", kLine, L"GetMsiPathResult");
    EXPECT_EQ(newer_->LocalPackage(), path);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str()));
    EXPECT_EQ((Lines{L"First call of MsiGetProductInfo failed.: (0x645): " + SystemErrorText(ERROR_UNKNOWN_PRODUCT),
                     L"First call of MsiGetProductInfo (INSTALLPROPERTY_LOCALPACKAGE) return ERROR_SUCCESS with "
                     L"empty package buffer."}),
              log.TimestampedLines());
    EXPECT_EQ(L"", Run(GetMsiPath, L"GTMUpgradeCode", kEmptyLine, L"GetMsiPathResult"));
}

TEST_F(ProductDetection, LineQueriesAnswerErrPropWithoutACodeAndErrOnADamagedRegistration) {
    UpgradeCodeEntry damaged(kBrokenLine, std::wstring(40, L'0'));
    for (const auto& [action, input, result] : {std::tuple{&IsProductLineInstalled, L"IsInstUpgradeCode",
                                                           L"IsProductLineInstalledResult"},
                                                {&GetMsiPath, L"GTMUpgradeCode", L"GetMsiPathResult"}}) {
        log.Clear();
        EXPECT_EQ(L"ERR_PROP", Run(action, input, L"", result));
        EXPECT_EQ(L"ERR", Run(action, input, kBrokenLine, result));
        EXPECT_EQ((Lines{L"Property " + std::wstring(input) + L" is empty.",
                         L"MsiEnumRelatedProducts failed.: (0xEA): " + SystemErrorText(ERROR_MORE_DATA)}),
                  log.TimestampedLines());
    }
}
