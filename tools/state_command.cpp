#include "tools/commands.h"
#include "tools/host_state.h"
#include "tools/state_file.h"
#include "tools/vst_host.h"

namespace tools {

StateSaveResult RunStateSave(const StateSaveOptions& options, const std::string& library_path) {
    VstHost host(library_path);
    ApplySettings(host, options.program, options.parameters);
    const HostState state = CaptureState(host);
    WriteStateFile(options.output, state);
    return {options.output, state.program, state.chunk.size()};
}

}  // namespace tools
