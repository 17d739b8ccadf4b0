#include <stdexcept>

#include "project/project_document.h"
#include "tools/commands.h"
#include "tools/info_report.h"
#include "tools/plugin_info.h"
#include "tools/project_files.h"
#include "tools/project_info.h"
#include "tools/vst_host.h"

namespace tools {

namespace {

std::string ProjectInfo(const InfoOptions& options, const std::string& path) {
    if (options.json) throw std::invalid_argument("--json shows plug-ins; wirestack decompile writes a project as JSON");
    const auto document = ReadProjectFile(path);
    std::string text = ProjectSummaryText(*document);
    if (options.tree) {
        text += '\n';
        text += ProjectTreeText(*document);
    }
    return text;
}

}  // namespace

std::string RunInfo(const InfoOptions& options, const std::string& source_path) {
    if (IsProjectArchive(source_path)) return ProjectInfo(options, source_path);
    if (options.tree) throw std::invalid_argument("--tree shows project archives; " + source_path + " is a plug-in library");
    VstHost host(source_path);
    PluginInfo info = QueryPluginInfo(host);
    return options.json ? InfoJson(info) : InfoText(info);
}

}  // namespace tools
