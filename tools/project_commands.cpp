#include <filesystem>

#include "project/project_document.h"
#include "tools/commands.h"
#include "tools/patch_text.h"
#include "tools/project_files.h"
#include "tools/project_writer.h"

namespace tools {

namespace {

std::string ArchivePathFor(const std::string& patch_path) {
    return std::filesystem::path(patch_path).replace_extension(".ws1").string();
}

// The text carries the patch, not everything a project can hold (skins,
// embedded files, panel layout, sequencer patterns, hosted plug-in state):
// the text is compiled again to tell whether anything was left out.
std::string RecompileWarning(const project_document& document, const std::string& text, const std::string& source) {
    try {
        if (WriteProjectArchive(*CompilePatchText(text)) == WriteProjectArchive(document)) return {};
        return "the patch text does not hold everything of " + source + "; compiling it gives a different project";
    } catch (const patch_text_error& error) {
        return "the patch text of " + source + " does not compile: " + error.what();
    }
}

}  // namespace

std::string RunCompile(const CompileOptions& options) {
    const auto document = CompilePatchText(ReadFileText(options.source));
    const std::string output = options.output.empty() ? ArchivePathFor(options.source) : options.output;
    WriteFile(output, WriteProjectArchive(*document));
    return output;
}

DecompileResult RunDecompile(const DecompileOptions& options) {
    const auto document = ReadProjectFile(options.source);
    DecompileResult result;
    result.text = DecompileToPatchText(*document);
    result.warning = RecompileWarning(*document, result.text, options.source);
    if (!options.output.empty()) WriteFile(options.output, result.text);
    return result;
}

}  // namespace tools
