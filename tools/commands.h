// What the `wirestack` subcommands do, once their options are read.
#pragma once

#include <cstdint>
#include <string>

#include "tools/command_line.h"

namespace tools {

// The report `info` prints, as JSON or text.
std::string RunInfo(const InfoOptions& options, const std::string& library_path);

struct RenderResult {
    std::string path;
    int channels = 0;
    double seconds = 0;
    int sample_rate = 0;
    int64_t outgoing_midi_events = 0;
};

// Hosts the plug-in for the whole length and writes its outputs to options.output.
RenderResult RunRender(const RenderOptions& options, const std::string& library_path);

// The plug-in library `file_name` in the folder of the running executable.
std::string LibraryBesideExecutable(const std::string& file_name);

}  // namespace tools
