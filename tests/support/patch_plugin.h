// A plug-in library carrying a patch text, for tests that host it like a host.
#pragma once

#include <memory>
#include <string>

#include "project/project_document.h"
#include "support/packed_plugin.h"
#include "tools/patch_text.h"
#include "tools/project_files.h"
#include "tools/project_writer.h"

// Compiles the patch text file and packs it into a copy of the plug-in.
inline std::unique_ptr<packed_plugin> PackPatchFile(const std::string& patch_path) {
    const std::unique_ptr<project_document> document = tools::CompilePatchText(tools::ReadFileText(patch_path));
    return std::make_unique<packed_plugin>(tools::WriteProjectArchive(*document));
}
