// The patch text: a project written as JSON for people to read and write
// (docs/patch-format.md). Compiling builds the document the way an editor
// would, through the registry and the wiring rules; decompiling writes a
// document back as text.
#pragma once

#include <memory>
#include <string>

#include "tools/json_reader.h"
#include "tools/patch_references.h"

class project_document;

namespace tools {

// The "format" of a patch text.
inline constexpr const char* kPatchFormat = "wirestack patch";

// Throws patch_text_error saying which part of the text is at fault.
std::unique_ptr<project_document> CompilePatchText(const std::string& text);
std::unique_ptr<project_document> CompilePatch(const JsonValue& text);

// Throws patch_text_error for a document the text cannot name (modules or
// plugs that no name tells apart).
std::string DecompileToPatchText(const project_document& document);

}  // namespace tools
