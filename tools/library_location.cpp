#include <filesystem>

#include "tools/commands.h"

namespace tools {

std::string LibraryBesideExecutable(const std::string& file_name) {
    // Linux names the running executable here; a relative argv[0] would depend on the caller's folder.
    std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe");
    return (executable.parent_path() / file_name).string();
}

}  // namespace tools
