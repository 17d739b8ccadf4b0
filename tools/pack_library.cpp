#include "tools/pack_library.h"

#include <stdexcept>

#include "platform/embedded_project.h"
#include "tools/pe_resources.h"

namespace tools {

namespace {

const ResourceKey kProjectType{u"WS1", 0};
const ResourceKey kProjectName{u"", 165};

bool LooksLikeElfLibrary(std::span<const uint8_t> file) {
    return file.size() >= 4 && file[0] == 0x7F && file[1] == 'E' && file[2] == 'L' && file[3] == 'F';
}

}  // namespace

std::vector<uint8_t> LibraryWithProject(std::span<const uint8_t> library, std::span<const uint8_t> stored_project) {
    if (LooksLikePeImage(library)) return WithPeResource(library, kProjectType, kProjectName, stored_project);
    if (LooksLikeElfLibrary(library)) return platform::WithEmbeddedProject(library, stored_project);
    throw std::runtime_error("not a plug-in library: neither a Windows (PE) nor a Linux (ELF) library");
}

std::optional<std::vector<uint8_t>> ProjectInLibrary(std::span<const uint8_t> library) {
    if (LooksLikePeImage(library)) return FindPeResource(library, kProjectType, kProjectName);
    return platform::ProjectInTrailer(library);
}

}  // namespace tools
