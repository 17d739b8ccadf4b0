// What a host does to a plug-in's state before it plays: restores what it kept
// from an earlier session, selects a program, sets parameters; and what it
// keeps at the end of a session.
#pragma once

#include <optional>
#include <vector>

#include "tools/command_line.h"
#include "tools/state_file.h"
#include "tools/vst_host.h"

namespace tools {

// Selects the program, then sets the parameters in order. Throws
// std::invalid_argument for a program or parameter the plug-in does not have.
void ApplySettings(VstHost& host, const std::optional<int>& program, const std::vector<ParameterSetting>& parameters);

// The current program and the bank chunk. Throws HostError when the plug-in
// offers no chunk.
HostState CaptureState(const VstHost& host);

// The bank chunk, then the program, as a host restores a session.
void RestoreState(VstHost& host, const HostState& state);

}  // namespace tools
