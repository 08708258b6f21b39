#pragma once
// A product that the real installer engine installs (or only advertises) in
// the test prefix, from a package of one feature and no files; removed again
// when the object goes.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace ondex::test {

class TestPackage;

class InstalledProduct {
public:
    // Advertised: published without being registered as installed.
    enum class State { Installed, Advertised };

    // `extend` adds to the package (its feature is "Main") before it is installed.
    InstalledProduct(const std::wstring& productCode, const std::wstring& upgradeCode,
                     State state = State::Installed, const std::wstring& version = L"1.0.0",
                     const std::function<void(TestPackage&)>& extend = {});
    ~InstalledProduct();
    InstalledProduct(const InstalledProduct&) = delete;
    InstalledProduct& operator=(const InstalledProduct&) = delete;

    const std::wstring& Code() const { return code_; }
    // The cached package the engine registered ("LocalPackage").
    std::wstring LocalPackage() const;
    // Drops the registration of the cached package (restored before removal).
    void ForgetLocalPackage();

private:
    std::wstring code_;
    std::wstring forgottenPackage_;
    std::unique_ptr<TestPackage> source_;  // kept for the removal
};

// A braced GUID as the engine's registry keys name it.
std::wstring PackedGuid(const std::wstring& guid);

}  // namespace ondex::test
