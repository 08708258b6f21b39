#pragma once
// Byte layout of the setup library's member blobs and of its state file,
// kept free of Windows so that the loader can be fuzzed natively.
//
// State file (little-endian): count N, then N times a 32-bit length L and
// L bytes of the protected member blob.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace OxSetupLib::state {

using Blob = std::vector<std::uint8_t>;

std::vector<std::uint8_t> EncodeFile(const std::vector<Blob>& blobs);
// Splits a whole file into its blobs; false when the bytes end early. Counts
// and lengths are checked against the bytes present before anything is sized.
bool DecodeFile(const std::uint8_t* data, std::size_t size, std::vector<Blob>& blobs);

// Member blobs: one byte, a little-endian 32-bit value, UTF-16LE units without terminator.
Blob EncodeByte(std::uint8_t value);
Blob EncodeUInt32(std::uint32_t value);
Blob EncodeUtf16(const std::u16string& text);
// False when the blob has the wrong size for the member.
bool DecodeByte(const Blob& blob, std::uint8_t& value);
bool DecodeUInt32(const Blob& blob, std::uint32_t& value);
// The text up to the first NUL unit (an odd last byte is ignored).
std::u16string DecodeUtf16(const Blob& blob);

}  // namespace OxSetupLib::state
