// Writes a whole project: the header with its settings, embedded files and
// skins, then the root container with everything in it.
#pragma once

#include <cstdint>
#include <vector>

class project_document;

namespace tools {

// Throws archive_write_error for a document the archive cannot hold.
std::vector<uint8_t> WriteProjectArchive(const project_document& document);

}  // namespace tools
