#include <gtest/gtest.h>

#include <cstring>

#include "plugin/version_record.h"

namespace {

const unsigned char* RecordBytes() { return reinterpret_cast<const unsigned char*>(&TRVXPlugin_Version); }

std::uint32_t WordAt(std::size_t offset) {
    const unsigned char* b = RecordBytes() + offset;
    return b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

bool AllZero(std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i)
        if (RecordBytes()[i] != 0) return false;
    return true;
}

TEST(VersionRecord, HasTheHostsExactLayoutAndValues) {
    ASSERT_EQ(sizeof TRVXPlugin_Version, 604u);
    EXPECT_EQ(WordAt(0x000), 1u);
    EXPECT_EQ(WordAt(0x004), 1u);
    EXPECT_EQ(std::memcmp(RecordBytes() + 0x008, "Velmoria Brackwell", 18), 0);
    EXPECT_TRUE(AllZero(0x01A, 0x108));
    EXPECT_EQ(WordAt(0x208), 4u);
    EXPECT_EQ(WordAt(0x20C), 8u);
    const unsigned char gameVersion[] = {0xE0, 0x0D, 0x0F, 0x01};
    EXPECT_EQ(std::memcmp(RecordBytes() + 0x210, gameVersion, 4), 0);
    EXPECT_TRUE(AllZero(0x214, 0x25C));
}

TEST(VersionRecord, AuthorIsShortAsciiZeroFilled) {
    const char* author = TRVXPlugin_Version.authorName;
    const std::size_t length = strnlen(author, sizeof TRVXPlugin_Version.authorName);
    ASSERT_GT(length, 0u);
    ASSERT_LT(length, 256u);
    for (std::size_t i = 0; i < length; ++i) EXPECT_TRUE(author[i] >= 0x20 && author[i] < 0x7F);
    EXPECT_TRUE(AllZero(0x108 + length, 0x208));
}

// Another copy is known by its record's whole name, whatever its release.
TEST(VersionRecord, NamesThisPlugInByTheWholeName) {
    bw::PluginVersionRecord other = TRVXPlugin_Version;
    other.releaseNumber = 7;
    const std::string_view bytes(reinterpret_cast<char*>(&other), sizeof other);
    EXPECT_TRUE(bw::NamesThisPlugIn(bytes));
    EXPECT_FALSE(bw::NamesThisPlugIn(bytes.substr(0, 0x107)));  // cut inside the name
    std::strcpy(other.displayName, "Velmoria Brackwell Extras");
    EXPECT_FALSE(bw::NamesThisPlugIn(bytes));
}

}  // namespace
