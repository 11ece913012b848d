#pragma once
// The fixed values of the ZIP format (APPNOTE) that the archive reader and
// writer share: record signatures, the ZIP64 extra field's id and the
// compression methods.
#include <cstdint>

namespace velmorak::io::zip_format {

constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::uint32_t kDescriptorSignature = 0x08074b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint16_t kZip64Extra = 0x0001;
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;

}  // namespace velmorak::io::zip_format
