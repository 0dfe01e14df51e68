#include "platform/image_header.h"

#include <cstring>

namespace bw {
namespace {

// Offsets and values of the executable file format.
constexpr std::size_t kDosSignatureAt = 0x00;
constexpr std::uint16_t kDosSignature = 0x5A4D;  // "MZ"
constexpr std::size_t kNewHeaderOffsetAt = 0x3C;
constexpr std::uint32_t kNtSignature = 0x00004550;  // "PE\0\0"
constexpr std::size_t kSizeOfOptionalHeaderAt = 4 + 16;
constexpr std::size_t kOptionalHeaderAt = 4 + 20;
constexpr std::uint16_t kOptionalHeader64Magic = 0x020B;
constexpr std::size_t kSizeOfImageAt = 56;  // in the optional header
constexpr std::size_t kOptionalHeaderMinBytes = kSizeOfImageAt + 4;

template <class Value>
Value ReadAt(const std::byte* header, std::size_t offset) {
    Value value;
    std::memcpy(&value, header + offset, sizeof value);
    return value;
}

}  // namespace

std::uintptr_t ImageSizeFromHeaders(const std::byte* header, std::size_t mappedBytes) noexcept {
    if (header == nullptr || mappedBytes < kNewHeaderOffsetAt + 4) return 0;
    if (ReadAt<std::uint16_t>(header, kDosSignatureAt) != kDosSignature) return 0;
    const auto newHeaderOffset = ReadAt<std::int32_t>(header, kNewHeaderOffsetAt);
    if (newHeaderOffset < 0) return 0;
    const auto nt = static_cast<std::size_t>(newHeaderOffset);
    // Compared as lengths left, so a huge offset cannot wrap the sum.
    if (nt > mappedBytes || mappedBytes - nt < kOptionalHeaderAt + kOptionalHeaderMinBytes) return 0;
    if (ReadAt<std::uint32_t>(header, nt) != kNtSignature) return 0;
    const auto optionalBytes = ReadAt<std::uint16_t>(header, nt + kSizeOfOptionalHeaderAt);
    if (optionalBytes < kOptionalHeaderMinBytes || mappedBytes - nt - kOptionalHeaderAt < optionalBytes) return 0;
    const std::size_t optional = nt + kOptionalHeaderAt;
    if (ReadAt<std::uint16_t>(header, optional) != kOptionalHeader64Magic) return 0;
    return ReadAt<std::uint32_t>(header, optional + kSizeOfImageAt);
}

}  // namespace bw
