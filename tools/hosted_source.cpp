#include "tools/hosted_source.h"

#include "platform/platform.h"
#include "project/project_document.h"
#include "tools/commands.h"
#include "tools/patch_text.h"
#include "tools/project_files.h"
#include "tools/project_writer.h"

namespace tools {

namespace {

std::filesystem::path NewTemporaryFolder() {
    const auto folder = std::filesystem::temp_directory_path() / ("wirestack-" + std::to_string(platform::CurrentProcessId()));
    std::filesystem::create_directories(folder);
    return folder;
}

}  // namespace

HostedSource::HostedSource(const std::string& given, const std::string& plugin_library) {
    if (!given.empty() && !IsProjectArchive(given)) {
        library_path_ = given;
        return;
    }
    temporary_folder_ = NewTemporaryFolder();
    std::string archive_path = given;
    if (given.empty()) {
        archive_path = (temporary_folder_ / "demo.ws1").string();
        WriteFile(archive_path, WriteProjectArchive(*CompilePatchText(DemoPatchText())));
    }
    // The copy keeps the library's extension, which a Windows loader looks at.
    const auto extension = std::filesystem::path(plugin_library).extension().string();
    library_path_ = (temporary_folder_ / ("wirestack-patch" + extension)).string();
    RunPack({archive_path, library_path_}, plugin_library);
}

HostedSource::~HostedSource() {
    std::error_code ignored;
    if (!temporary_folder_.empty()) std::filesystem::remove_all(temporary_folder_, ignored);
}

}  // namespace tools
