#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/image_header.h"

namespace {

constexpr std::size_t kPage = 4096;
constexpr std::size_t kNt = 0x80;

template <class Value>
void Put(std::vector<std::byte>& bytes, std::size_t at, Value value) {
    std::memcpy(bytes.data() + at, &value, sizeof value);
}

// The first page of a 64-bit executable whose SizeOfImage is 0x06000000.
std::vector<std::byte> GoodHeaderPage() {
    std::vector<std::byte> page(kPage);
    Put<std::uint16_t>(page, 0, 0x5A4D);
    Put<std::int32_t>(page, 0x3C, kNt);
    Put<std::uint32_t>(page, kNt, 0x00004550);
    Put<std::uint16_t>(page, kNt + 20, 240);  // SizeOfOptionalHeader
    Put<std::uint16_t>(page, kNt + 24, 0x020B);
    Put<std::uint32_t>(page, kNt + 24 + 56, 0x06000000);
    return page;
}

std::uintptr_t SizeOf(const std::vector<std::byte>& page, std::size_t mapped = kPage) {
    return bw::ImageSizeFromHeaders(page.data(), mapped);
}

TEST(ImageHeader, ReadsSizeOfImageOnlyFromAWholeSoundHeader) {
    EXPECT_EQ(SizeOf(GoodHeaderPage()), 0x06000000u);

    const struct {
        const char* what;
        std::size_t at;
        std::uint32_t value;
        std::size_t width;
    } damages[] = {
        {"no MZ", 0, 0x5A4E, 2},
        {"no PE signature", kNt, 0x00004551, 4},
        {"32-bit optional header", kNt + 24, 0x010B, 2},
        {"optional header too short for SizeOfImage", kNt + 20, 59, 2},
        {"optional header past the page", 0x3C, kPage - 24 - 100, 4},
        {"new header past the page", 0x3C, 0x7FFFFFF0, 4},
        {"new header offset negative", 0x3C, 0xFFFFFFF0, 4},
    };
    for (const auto& damage : damages) {
        SCOPED_TRACE(damage.what);
        std::vector<std::byte> page = GoodHeaderPage();
        std::memcpy(page.data() + damage.at, &damage.value, damage.width);
        if (damage.at == 0x3C && damage.value < kPage)  // a sound header moved near the page's end
            std::memcpy(page.data() + damage.value, GoodHeaderPage().data() + kNt, 100);
        EXPECT_EQ(SizeOf(page), 0u);
    }
    EXPECT_EQ(SizeOf(GoodHeaderPage(), kNt + 24 + 239), 0u) << "mapped bytes end inside the optional header";
    EXPECT_EQ(SizeOf(GoodHeaderPage(), 0x3C + 3), 0u) << "mapped bytes end inside the DOS header";
    EXPECT_EQ(bw::ImageSizeFromHeaders(nullptr, kPage), 0u);
}

// Each cut copy lies in a buffer of exactly its length, so AddressSanitizer
// reports any read one byte past the mapped bytes.
TEST(ImageHeader, AHeaderCutShortIsNeverReadPastItsEnd) {
    const std::vector<std::byte> good = GoodHeaderPage();
    const std::size_t whole = kNt + 24 + 240;  // through the declared optional header
    for (std::size_t length = 0; length <= whole; ++length) {
        const std::vector<std::byte> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_EQ(SizeOf(cut, length), length == whole ? 0x06000000u : 0u) << length << " bytes";
    }
}

}  // namespace
