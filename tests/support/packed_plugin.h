// A copy of the built plug-in library that carries a given project, in a
// folder of its own, removed when the test is done with it.
#pragma once

#include <atomic>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "platform/embedded_project.h"
#include "platform/platform.h"
#include "plugin/project_scramble.h"
#include "tools/pack_library.h"

class packed_plugin {
public:
    // The project's archive bytes, as `ReadProject` reads them.
    // The library's name defaults to "patch" with the built plug-in's extension.
    explicit packed_plugin(std::span<const uint8_t> project, const std::string& library_name = DefaultName()) {
        static std::atomic<int> counter{0};
        folder_ = std::filesystem::temp_directory_path() /
                  ("ws_packed_" + std::to_string(platform::CurrentProcessId()) + "_" + std::to_string(counter++));
        std::filesystem::create_directories(folder_);
        path_ = (folder_ / library_name).string();
        std::vector<uint8_t> stored(project.begin(), project.end());
        ScrambleProject(stored);
        const auto library = platform::ReadWholeFile(WS_PLUGIN_PATH);
        if (library) platform::WriteWholeFile(path_, tools::LibraryWithProject(*library, stored));
    }
    ~packed_plugin() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    packed_plugin(const packed_plugin&) = delete;
    packed_plugin& operator=(const packed_plugin&) = delete;

    const std::string& Path() const { return path_; }
    const std::filesystem::path& Folder() const { return folder_; }

private:
    static std::string DefaultName() { return "patch" + std::filesystem::path(WS_PLUGIN_PATH).extension().string(); }

    std::filesystem::path folder_;
    std::string path_;
};
