// Member serializer and the protected state file.
#include <windows.h>
#include <wincrypt.h>

#include "setuplib/ox_trusted_fs.h"
#include "setuplib/oxsetuplib.h"
#include "setuplib/state_format.h"

namespace OxSetupLib {
namespace {

constexpr wchar_t kSizeMismatch[] = L"Size of the data type doesn't equal to size of the member data type.";
// Additional entropy: these 36 characters as UTF-16LE, no terminator.
constexpr wchar_t kEntropy[] = L"7d1e4a90-3b6c-4f2e-8a51-c09b2e7f6d34";

DATA_BLOB EntropyBlob() {
    return DATA_BLOB{static_cast<DWORD>((sizeof(kEntropy) / sizeof(wchar_t) - 1) * sizeof(wchar_t)),
                     reinterpret_cast<BYTE*>(const_cast<wchar_t*>(kEntropy))};
}

DATA_BLOB InputBlob(const std::vector<std::uint8_t>& bytes) {
    // An empty member still needs a buffer: the protection refuses a null one.
    static BYTE none = 0;
    return DATA_BLOB{static_cast<DWORD>(bytes.size()), bytes.empty() ? &none : const_cast<BYTE*>(bytes.data())};
}

// Takes the output of CryptProtectData/CryptUnprotectData and frees it.
std::vector<std::uint8_t> TakeOutput(DATA_BLOB& out) {
    OxPointerT<BYTE, OxLocalFreeReleaser<BYTE>> owner(out.pbData);
    return std::vector<std::uint8_t>(out.pbData, out.pbData + out.cbData);
}

std::vector<std::uint8_t> ReadWholeFile(const OxMsiString& path) {
    // A link swapped in after the trust check is opened itself, not followed.
    OxFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.IsValid()) ThrowLastError();
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size)) ThrowLastError();
    if (size.QuadPart > 0x7FFFFFFF) throw OxWinError(ERROR_FILE_TOO_LARGE);
    std::vector<std::uint8_t> bytes(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() && !::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
        ThrowLastError();
    bytes.resize(read);
    return bytes;
}

}  // namespace

void OxSerializator::StartStoring() {
    mode_ = Storing;
    cursor_ = 0;
    members_.clear();
}

void OxSerializator::Store(std::vector<std::uint8_t> blob) {
    members_.push_back(OxSerialMember{std::move(blob)});
    ++cursor_;
}

const std::vector<std::uint8_t>& OxSerializator::Next() {
    if (cursor_ >= members_.size()) throw OxWinError(ERROR_NO_MORE_ITEMS);
    return members_[cursor_++].data;
}

void OxSerializator::Serialize(std::uint8_t& value) {
    if (!IsLoading()) return Store(state::EncodeByte(value));
    if (!state::DecodeByte(Next(), value)) throw OxWinError(ERROR_BAD_ARGUMENTS, kSizeMismatch);
}

void OxSerializator::Serialize(std::uint32_t& value) {
    if (!IsLoading()) return Store(state::EncodeUInt32(value));
    if (!state::DecodeUInt32(Next(), value)) throw OxWinError(ERROR_BAD_ARGUMENTS, kSizeMismatch);
}

void OxSerializator::Serialize(std::int32_t& value) {
    auto bits = static_cast<std::uint32_t>(value);
    Serialize(bits);
    value = static_cast<std::int32_t>(bits);
}

void OxSerializator::Serialize(OxMsiString& value) {
    if (!IsLoading()) return Store(state::EncodeUtf16(std::u16string(value.begin(), value.end())));
    const std::u16string text = state::DecodeUtf16(Next());
    value.assign(text.begin(), text.end());
}

std::vector<std::uint8_t> OxFileSerializator::_StoreMember::Protected() const {
    DATA_BLOB in = InputBlob(member_.data);
    DATA_BLOB entropy = EntropyBlob();
    DATA_BLOB out{};
    if (!::CryptProtectData(&in, nullptr, &entropy, nullptr, nullptr,
                            CRYPTPROTECT_UI_FORBIDDEN | CRYPTPROTECT_LOCAL_MACHINE, &out))
        ThrowLastError();
    return TakeOutput(out);
}

void OxFileSerializator::_LoadMember::Unprotect(const std::vector<std::uint8_t>& blob) {
    DATA_BLOB in = InputBlob(blob);
    DATA_BLOB entropy = EntropyBlob();
    DATA_BLOB out{};
    if (!::CryptUnprotectData(&in, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out))
        ThrowLastError();
    member_.data = TakeOutput(out);
}

void OxFileSerializator::Write() const {
    std::vector<state::Blob> blobs;
    for (const OxSerialMember& member : members_) blobs.push_back(_StoreMember(member).Protected());
    const std::vector<std::uint8_t> bytes = state::EncodeFile(blobs);

    RequireTrusted(DirectoryOf(path_));
    OxFileHandle file;
    CreateReplacingFile(path_, GENERIC_ALL, file);
    DWORD written = 0;
    if (!::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) ThrowLastError();
}

void OxFileSerializator::Load() {
    members_.clear();
    RequireTrusted(DirectoryOf(path_));
    RequireTrusted(path_);
    const std::vector<std::uint8_t> bytes = ReadWholeFile(path_);
    std::vector<state::Blob> blobs;
    if (!state::DecodeFile(bytes.data(), bytes.size(), blobs)) throw OxWinError(ERROR_HANDLE_EOF);
    members_.resize(blobs.size());
    for (size_t i = 0; i < blobs.size(); ++i) _LoadMember(members_[i]).Unprotect(blobs[i]);
    mode_ = Loading;
    cursor_ = 0;
}

}  // namespace OxSetupLib
