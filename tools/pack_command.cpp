// `wirestack pack`: a plug-in library that carries a project.
#include <filesystem>
#include <stdexcept>

#include "platform/embedded_project.h"
#include "tools/pack_library.h"
#include "plugin/project_scramble.h"
#include "project/project_document.h"
#include "tools/commands.h"
#include "tools/project_files.h"

namespace tools {

std::string RunPack(const PackOptions& options, const std::string& plugin_library) {
    ReadProjectFile(options.source);  // a project the plug-in could not read is refused now
    std::optional<std::vector<uint8_t>> stored = platform::ReadWholeFile(options.source);
    std::optional<std::vector<uint8_t>> library = platform::ReadWholeFile(plugin_library);
    if (!stored) throw std::runtime_error("cannot read " + options.source);
    if (!library) throw std::runtime_error("cannot read the plug-in library " + plugin_library);
    ScrambleProject(*stored);
    const std::vector<uint8_t> packed = LibraryWithProject(*library, *stored);  // before the output is touched
    if (!platform::WriteWholeFile(options.output, packed))
        throw std::runtime_error("cannot write " + options.output);
    namespace fs = std::filesystem;
    fs::permissions(options.output, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add);
    return options.output;
}

}  // namespace tools
