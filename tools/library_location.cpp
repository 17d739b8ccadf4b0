#include <filesystem>

#include "platform/platform.h"
#include "tools/commands.h"

namespace tools {

std::string LibraryBesideExecutable(const std::string& file_name) {
    return (std::filesystem::path(platform::ExecutablePath()).parent_path() / file_name).string();
}

}  // namespace tools
