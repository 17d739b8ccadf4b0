#include <gtest/gtest.h>

#include "plugin/library_paths.h"
#include "plugin/project_scramble.h"

namespace {

TEST(LibraryPaths, FolderDataFolderAndDataFile) {
    struct path_case {
        const char* library;
        const char* folder;
        const char* data_folder;
        const char* data_file;
    };
    const path_case cases[] = {
        {"/opt/F/Synth.so", "/opt/F/", "/opt/F/Synth/", "/opt/F/Synth.dat"},
        {"/opt/F/Synth.beta.so", "/opt/F/", "/opt/F/Synth.beta/", "/opt/F/Synth.beta.dat"},
        {"/opt/F.d/Synth", "/opt/F.d/", "/opt/F.d/Synth/", "/opt/F.d/Synth.dat"},
        {"C:\\Plugins\\Synth.dll", "C:\\Plugins\\", "C:\\Plugins\\Synth\\", "C:\\Plugins\\Synth.dat"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LibraryFolder(c.library), c.folder) << c.library;
        EXPECT_EQ(LibraryDataFolder(c.library), c.data_folder) << c.library;
        EXPECT_EQ(ProjectDataFilePath(c.library), c.data_file) << c.library;
    }
    EXPECT_EQ(LibraryBaseName("/opt/F/Synth.beta.so"), "Synth.beta");
}

TEST(ProjectScramble, StepsByTheStoredBytesLowestBit) {
    std::vector<uint8_t> project(1000);
    for (std::size_t i = 0; i < project.size(); ++i) project[i] = static_cast<uint8_t>(i * 37 + 11);
    std::vector<uint8_t> stored = project;
    ScrambleProject(stored);
    EXPECT_NE(stored, project);
    // Bytes the cursor steps over are stored as they are.
    std::size_t unchanged = 0;
    for (std::size_t i = 0; i < project.size(); ++i) unchanged += stored[i] == project[i];
    EXPECT_GT(unchanged, 100u);
    UnscrambleProject(stored);
    EXPECT_EQ(stored, project);
}

}  // namespace
