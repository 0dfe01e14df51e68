// The size of an executable image, read from its own headers. Portable, so
// the checks can be run over made-up headers: the headers are the game's,
// and a damaged or unusual one must give "unknown", never a read past them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bw {

// SizeOfImage of the 64-bit image whose first `mappedBytes` bytes are at
// `header`; 0 unless the MZ and PE signatures are where they belong, the
// optional header is the 64-bit one, and every field read lies inside those
// bytes.
std::uintptr_t ImageSizeFromHeaders(const std::byte* header, std::size_t mappedBytes) noexcept;

}  // namespace bw
