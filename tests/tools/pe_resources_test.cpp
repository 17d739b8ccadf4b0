#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/embedded_project.h"
#include "tools/pack_library.h"
#include "tools/pe_resources.h"

namespace {

using tools::ResourceKey;

const ResourceKey kProjectType{u"WS1", 0};
const ResourceKey kProjectName{u"", 165};

uint32_t Get32(const std::vector<uint8_t>& bytes, std::size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
}

void Put16(std::vector<uint8_t>& bytes, std::size_t at, uint32_t value) {
    bytes[at] = uint8_t(value);
    bytes[at + 1] = uint8_t(value >> 8);
}

void Put32(std::vector<uint8_t>& bytes, std::size_t at, uint32_t value) {
    Put16(bytes, at, value & 0xFFFF);
    Put16(bytes, at + 2, value >> 16);
}

// The smallest library the system's loader would map: headers and one code
// section, in the 32-bit (PE32) or 64-bit (PE32+) layout.
struct MinimalImage {
    static constexpr std::size_t kPeAt = 0x40, kOptionalAt = kPeAt + 24;
    bool wide;
    std::vector<uint8_t> bytes = std::vector<uint8_t>(0x400, 0);

    explicit MinimalImage(bool wide_layout) : wide(wide_layout) {
        const uint32_t optional_size = wide ? 240 : 224;
        bytes[0] = 'M';
        bytes[1] = 'Z';
        Put32(bytes, 0x3C, kPeAt);
        Put32(bytes, kPeAt, 0x00004550);
        Put16(bytes, kPeAt + 4, wide ? 0x8664 : 0x14C);
        Put16(bytes, kPeAt + 6, 1);
        Put16(bytes, kPeAt + 20, optional_size);
        Put16(bytes, kPeAt + 22, 0x2102);
        Put16(bytes, kOptionalAt, wide ? 0x20B : 0x10B);
        Put32(bytes, kOptionalAt + 32, 0x1000);
        Put32(bytes, kOptionalAt + 36, 0x200);
        Put32(bytes, kOptionalAt + 56, 0x2000);
        Put32(bytes, kOptionalAt + 60, 0x200);
        Put32(bytes, DirectoriesAt() - 4, 16);
        const std::size_t section = kOptionalAt + optional_size;
        std::copy_n(".text", 5, bytes.begin() + std::ptrdiff_t(section));
        Put32(bytes, section + 8, 0x10);
        Put32(bytes, section + 12, 0x1000);
        Put32(bytes, section + 16, 0x200);
        Put32(bytes, section + 20, 0x200);
        Put32(bytes, section + 36, 0x60000020);
    }
    std::size_t DirectoriesAt() const { return kOptionalAt + (wide ? 112 : 96); }
};

uint32_t SectionCount(const std::vector<uint8_t>& image) { return image[MinimalImage::kPeAt + 6]; }

class PeResources : public ::testing::TestWithParam<bool> {};

TEST_P(PeResources, AProjectWrittenIsReadBackAndRepackingReplacesIt) {
    const MinimalImage image(GetParam());
    const std::vector<uint8_t> first(1000, 0x5A), second = {1, 2, 3};

    EXPECT_FALSE(tools::FindPeResource(image.bytes, kProjectType, kProjectName).has_value());
    const std::vector<uint8_t> packed = tools::WithPeResource(image.bytes, kProjectType, kProjectName, first);
    EXPECT_EQ(tools::FindPeResource(packed, kProjectType, kProjectName), first);
    EXPECT_EQ(SectionCount(packed), 2u);
    EXPECT_EQ(Get32(packed, image.DirectoriesAt() + 16), 0x2000u) << "resources at the next free address";
    EXPECT_EQ(Get32(packed, MinimalImage::kOptionalAt + 56), 0x3000u) << "image size covers them";
    EXPECT_EQ(packed.size() % 0x200, 0u) << "section data file-aligned";

    const std::vector<uint8_t> repacked = tools::WithPeResource(packed, kProjectType, kProjectName, second);
    EXPECT_EQ(tools::FindPeResource(repacked, kProjectType, kProjectName), second);
    EXPECT_EQ(SectionCount(repacked), 2u) << "the old resource section is replaced, not stacked";
    EXPECT_EQ(repacked.size(), image.bytes.size() + 0x200);
}

TEST_P(PeResources, ResourcesTheLibraryHadAreKept) {
    const MinimalImage image(GetParam());
    const ResourceKey version_type{u"", 16}, icon_type{u"", 3}, named{u"Skin", 0};
    std::vector<uint8_t> library = tools::WithPeResource(image.bytes, version_type, {u"", 1}, std::vector<uint8_t>{7, 7});
    library = tools::WithPeResource(library, icon_type, named, std::vector<uint8_t>(33, 9));

    const std::vector<uint8_t> packed =
        tools::WithPeResource(library, kProjectType, kProjectName, std::vector<uint8_t>{4, 5});
    EXPECT_EQ(tools::FindPeResource(packed, version_type, {u"", 1}), (std::vector<uint8_t>{7, 7}));
    EXPECT_EQ(tools::FindPeResource(packed, icon_type, {u"SKIN", 0}), std::vector<uint8_t>(33, 9))
        << "names are found whatever their case";
    EXPECT_EQ(tools::FindPeResource(packed, kProjectType, kProjectName), (std::vector<uint8_t>{4, 5}));
    EXPECT_FALSE(tools::FindPeResource(packed, kProjectType, {u"", 166}).has_value());
}

TEST_P(PeResources, AChecksumIsKeptTrue) {
    MinimalImage image(GetParam());
    Put32(image.bytes, MinimalImage::kOptionalAt + 64, 1);  // a library that carries a checksum
    const std::vector<uint8_t> packed = tools::WithPeResource(image.bytes, kProjectType, kProjectName, std::vector<uint8_t>{1});
    // The checksum's own field sums to the checksum when it is right: compute with it zeroed.
    std::vector<uint8_t> zeroed = packed;
    Put32(zeroed, MinimalImage::kOptionalAt + 64, 0);
    uint64_t sum = 0;
    for (std::size_t at = 0; at < zeroed.size(); at += 2) {
        sum += zeroed[at] | uint32_t(zeroed[at + 1]) << 8;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    EXPECT_EQ(Get32(packed, MinimalImage::kOptionalAt + 64), uint32_t(sum + zeroed.size()));
}

INSTANTIATE_TEST_SUITE_P(Layouts, PeResources, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? std::string("Pe32Plus") : std::string("Pe32"); });

TEST(PeResources, MalformedLibrariesAreRefusedWithAReason) {
    const MinimalImage image(false);
    const std::size_t section = MinimalImage::kOptionalAt + 224;
    struct Case {
        const char* what;
        void (*spoil)(std::vector<uint8_t>&, std::size_t section);
    };
    const Case cases[] = {
        {"PE header beyond the file", [](auto& b, std::size_t) { Put32(b, 0x3C, 0x7FFFFFF0); }},
        {"no PE signature", [](auto& b, std::size_t) { b[MinimalImage::kPeAt] = 'X'; }},
        {"unknown optional header", [](auto& b, std::size_t) { Put16(b, MinimalImage::kOptionalAt, 0x107); }},
        {"too many directories", [](auto& b, std::size_t) { Put32(b, MinimalImage::kOptionalAt + 92, 1000); }},
        {"section data beyond the file", [](auto& b, std::size_t s) { Put32(b, s + 20, 0xFFFFFF00); }},
        {"zero file alignment", [](auto& b, std::size_t) { Put32(b, MinimalImage::kOptionalAt + 36, 0); }},
        {"resources outside every section", [](auto& b, std::size_t) {
             Put32(b, MinimalImage::kOptionalAt + 96 + 16, 0x9000);
             Put32(b, MinimalImage::kOptionalAt + 96 + 20, 16);
         }},
        {"no room for a section header", [](auto& b, std::size_t) { Put32(b, MinimalImage::kOptionalAt + 60, 0x180); }},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> spoilt = image.bytes;
        c.spoil(spoilt, section);
        EXPECT_THROW(tools::WithPeResource(spoilt, kProjectType, kProjectName, std::vector<uint8_t>{1}), std::runtime_error)
            << c.what;
    }
}

TEST(PeResources, ADirectoryThatPointsBackAtItselfIsRefused) {
    const MinimalImage image(false);
    std::vector<uint8_t> packed = tools::WithPeResource(image.bytes, kProjectType, kProjectName, std::vector<uint8_t>{1});
    const std::size_t root = 0x400;  // the resource section's file data
    Put32(packed, root + 16 + 4, 0x80000000u);  // the type entry's directory is the root again
    EXPECT_THROW(tools::FindPeResource(packed, kProjectType, kProjectName), std::runtime_error);
}

TEST(PeResources, EveryCutShortLibraryIsRefusedOrRead) {
    const MinimalImage image(true);
    const std::vector<uint8_t> packed =
        tools::WithPeResource(image.bytes, kProjectType, kProjectName, std::vector<uint8_t>(40, 3));
    for (std::size_t length = 0; length < packed.size(); length += 7) {
        const std::span<const uint8_t> cut(packed.data(), length);
        try {
            tools::FindPeResource(cut, kProjectType, kProjectName);
        } catch (const std::runtime_error&) {
        }
    }
}

TEST(PackLibrary, TheLibraryKindChoosesWhereTheProjectGoes) {
    const std::vector<uint8_t> stored = {9, 8, 7};
    const MinimalImage windows(false);
    const std::vector<uint8_t> linux_library = {0x7F, 'E', 'L', 'F', 2, 1, 1};

    const std::vector<uint8_t> packed_windows = tools::LibraryWithProject(windows.bytes, stored);
    EXPECT_EQ(tools::FindPeResource(packed_windows, kProjectType, kProjectName), stored);
    EXPECT_EQ(tools::ProjectInLibrary(packed_windows), stored);

    const std::vector<uint8_t> packed_linux = tools::LibraryWithProject(linux_library, stored);
    EXPECT_EQ(platform::ProjectInTrailer(packed_linux), stored);
    EXPECT_EQ(tools::ProjectInLibrary(packed_linux), stored);

    EXPECT_THROW(tools::LibraryWithProject(std::vector<uint8_t>{'#', '!', '/'}, stored), std::runtime_error);
}

}  // namespace
