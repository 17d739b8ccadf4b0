#include "tools/commands.h"
#include "tools/info_report.h"
#include "tools/plugin_info.h"
#include "tools/vst_host.h"

namespace tools {

std::string RunInfo(const InfoOptions& options, const std::string& library_path) {
    VstHost host(library_path);
    PluginInfo info = QueryPluginInfo(host);
    return options.json ? InfoJson(info) : InfoText(info);
}

}  // namespace tools
