#include <gtest/gtest.h>

#include <filesystem>

#include "platform/embedded_project.h"

namespace {

std::string TempFile(const char* name) { return (std::filesystem::temp_directory_path() / name).string(); }

TEST(EmbeddedProject, ALibraryCarriesOneProjectAndAPackedCopyReplacesIt) {
    const std::vector<uint8_t> library = {0x7F, 'E', 'L', 'F', 1, 2, 3};
    const std::vector<uint8_t> first = {9, 8, 7};
    const std::vector<uint8_t> second = {1, 2, 3, 4, 5};
    const std::string path = TempFile("ws_embedded_test.so");

    ASSERT_TRUE(platform::WriteWholeFile(path, library));
    EXPECT_FALSE(platform::ReadEmbeddedProject(path).has_value());

    const std::vector<uint8_t> packed = platform::WithEmbeddedProject(library, first);
    ASSERT_TRUE(platform::WriteWholeFile(path, platform::WithEmbeddedProject(packed, second)));
    EXPECT_EQ(platform::ReadEmbeddedProject(path), second);
    EXPECT_EQ(platform::ReadWholeFile(path)->size(), library.size() + second.size() + 12)
        << "the old project is gone, not stacked";
    std::filesystem::remove(path);
}

TEST(EmbeddedProject, AMarkWithALengthLongerThanTheFileIsNoProject) {
    std::vector<uint8_t> bytes = platform::WithEmbeddedProject(std::vector<uint8_t>{1, 2}, std::vector<uint8_t>{3});
    bytes[bytes.size() - 12] = 0xFF;  // length byte
    const std::string path = TempFile("ws_embedded_bad.so");
    ASSERT_TRUE(platform::WriteWholeFile(path, bytes));
    EXPECT_FALSE(platform::ReadEmbeddedProject(path).has_value());
    EXPECT_FALSE(platform::ReadEmbeddedProject(TempFile("ws_no_such_file.so")).has_value());
    std::filesystem::remove(path);
}

}  // namespace
