// What the `wirestack` subcommands do, once their options are read.
#pragma once

#include <cstdint>
#include <string>

#include "tools/command_line.h"

namespace tools {

// The report `info` prints: of a plug-in library as JSON or text, of a
// project archive its settings and, with --tree, its document.
std::string RunInfo(const InfoOptions& options, const std::string& source_path);

struct RenderResult {
    std::string path;
    int channels = 0;
    double seconds = 0;
    int sample_rate = 0;
    int64_t outgoing_midi_events = 0;
};

// Hosts the plug-in for the whole length and writes its outputs to options.output.
RenderResult RunRender(const RenderOptions& options, const std::string& library_path);

struct StateSaveResult {
    std::string path;
    int32_t program = 0;
    size_t chunk_bytes = 0;
};

// Loads the plug-in, makes the settings and writes what a host keeps of it to
// options.output.
StateSaveResult RunStateSave(const StateSaveOptions& options, const std::string& library_path);

// Compiles the patch text and writes the project archive; the path written.
std::string RunCompile(const CompileOptions& options);

struct DecompileResult {
    std::string text;
    // Set when compiling the text again would not give back the same project.
    std::string warning;
};

DecompileResult RunDecompile(const DecompileOptions& options);

// Writes a copy of the plug-in library that carries the project (checked by
// reading it first); the path written.
std::string RunPack(const PackOptions& options, const std::string& plugin_library);

// The plug-in library `file_name` in the folder of the running executable.
std::string LibraryBesideExecutable(const std::string& file_name);

}  // namespace tools
