#include "setuplib/state_format.h"

namespace OxSetupLib::state {
namespace {

void PutUInt32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::uint32_t GetUInt32(const std::uint8_t* data) {
    return static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
           static_cast<std::uint32_t>(data[2]) << 16 | static_cast<std::uint32_t>(data[3]) << 24;
}

}  // namespace

std::vector<std::uint8_t> EncodeFile(const std::vector<Blob>& blobs) {
    std::vector<std::uint8_t> out;
    PutUInt32(out, static_cast<std::uint32_t>(blobs.size()));
    for (const Blob& blob : blobs) {
        PutUInt32(out, static_cast<std::uint32_t>(blob.size()));
        out.insert(out.end(), blob.begin(), blob.end());
    }
    return out;
}

bool DecodeFile(const std::uint8_t* data, std::size_t size, std::vector<Blob>& blobs) {
    blobs.clear();
    if (size < 4) return false;
    const std::uint32_t count = GetUInt32(data);
    std::size_t offset = 4;
    // Every member needs at least its length field.
    if (count > (size - offset) / 4) return false;
    blobs.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (size - offset < 4) return false;
        const std::uint32_t length = GetUInt32(data + offset);
        offset += 4;
        if (length > size - offset) return false;
        blobs.emplace_back(data + offset, data + offset + length);
        offset += length;
    }
    return true;
}

Blob EncodeByte(std::uint8_t value) { return Blob{value}; }

Blob EncodeUInt32(std::uint32_t value) {
    Blob blob;
    PutUInt32(blob, value);
    return blob;
}

Blob EncodeUtf16(const std::u16string& text) {
    Blob blob;
    blob.reserve(text.size() * 2);
    for (char16_t unit : text) {
        blob.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        blob.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return blob;
}

bool DecodeByte(const Blob& blob, std::uint8_t& value) {
    if (blob.size() != 1) return false;
    value = blob[0];
    return true;
}

bool DecodeUInt32(const Blob& blob, std::uint32_t& value) {
    if (blob.size() != 4) return false;
    value = GetUInt32(blob.data());
    return true;
}

std::u16string DecodeUtf16(const Blob& blob) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < blob.size(); i += 2) {
        const char16_t unit = static_cast<char16_t>(blob[i] | blob[i + 1] << 8);
        if (unit == 0) break;
        text.push_back(unit);
    }
    return text;
}

}  // namespace OxSetupLib::state
