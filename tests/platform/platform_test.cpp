#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "platform/platform.h"

namespace {

TEST(Platform, OwnLibraryPathNamesAnExistingFile) {
    const std::string path = platform::OwnLibraryPath();
    ASSERT_FALSE(path.empty());
    EXPECT_TRUE(std::filesystem::exists(path)) << path;
}

TEST(Platform, MessagesGoToTheInstalledSinkUntilItIsRemoved) {
    std::vector<std::pair<std::string, int>> shown;
    platform::MessageSink previous =
        platform::SetMessageSink([&](const std::string& text, int style) { shown.emplace_back(text, style); });
    platform::ShowMessage("Sound Engine not responding. Please Save and Exit", platform::kMessageIconWarning);
    platform::SetMessageSink(std::move(previous));
    platform::ShowMessage("to standard error");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].second, platform::kMessageIconWarning);
}

TEST(Platform, ThreadIdsTellThreadsApart) {
    const uint64_t here = platform::CurrentThreadId();
    uint64_t there = here;
    std::thread([&] { there = platform::CurrentThreadId(); }).join();
    EXPECT_NE(here, there);
    EXPECT_EQ(here, platform::CurrentThreadId());
}

TEST(Platform, MissingLibraryReportsWhy) {
    platform::DynamicLibrary library("/nonexistent/plugin.so");
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_FALSE(library.Error().empty());
    EXPECT_EQ(library.Symbol("main"), nullptr);
}

}  // namespace
