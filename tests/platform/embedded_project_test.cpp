#include <gtest/gtest.h>

#include <filesystem>

#include "platform/embedded_project.h"

namespace {

TEST(EmbeddedProject, ALibraryCarriesOneTrailerAndAPackedCopyReplacesIt) {
    const std::vector<uint8_t> library = {0x7F, 'E', 'L', 'F', 1, 2, 3};
    const std::vector<uint8_t> first = {9, 8, 7};
    const std::vector<uint8_t> second = {1, 2, 3, 4, 5};

    EXPECT_FALSE(platform::ProjectInTrailer(library).has_value());
    const std::vector<uint8_t> packed = platform::WithEmbeddedProject(library, first);
    const std::vector<uint8_t> repacked = platform::WithEmbeddedProject(packed, second);
    EXPECT_EQ(platform::ProjectInTrailer(repacked), second);
    EXPECT_EQ(repacked.size(), library.size() + second.size() + 12) << "the old project is gone, not stacked";
}

TEST(EmbeddedProject, AMarkWithALengthLongerThanTheFileIsNoProject) {
    std::vector<uint8_t> bytes = platform::WithEmbeddedProject(std::vector<uint8_t>{1, 2}, std::vector<uint8_t>{3});
    bytes[bytes.size() - 12] = 0xFF;  // length byte
    EXPECT_FALSE(platform::ProjectInTrailer(bytes).has_value());
}

TEST(EmbeddedProject, WholeFilesAreWrittenAndReadBack) {
    const std::string path = (std::filesystem::temp_directory_path() / "ws_embedded_test.bin").string();
    const std::vector<uint8_t> bytes = {0, 1, 0xFF, '\n', '\r', 26};  // nothing is translated
    ASSERT_TRUE(platform::WriteWholeFile(path, bytes));
    EXPECT_EQ(platform::ReadWholeFile(path), bytes);
    std::filesystem::remove(path);
    EXPECT_FALSE(platform::ReadWholeFile(path).has_value());
    EXPECT_FALSE(platform::ReadEmbeddedProject(path).has_value());
}

}  // namespace
