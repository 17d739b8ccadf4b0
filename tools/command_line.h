// The `wirestack` command line, read into plain option records.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "tools/note_text.h"

namespace tools {

struct HelpRequest {};

struct InfoOptions {
    std::string source;  // empty: the plug-in built beside the tool
    bool json = false;
    bool tree = false;  // a project archive's document tree
};

struct ParameterSetting {
    std::string parameter;  // an index or a name, resolved against the plug-in
    float value = 0;        // normalised, 0 to 1
};

struct RenderOptions {
    std::string source;  // empty: the plug-in built beside the tool
    std::string output = "wirestack.wav";
    std::optional<double> seconds;  // default: the performance's end + 1 s, or 2 s
    int sample_rate = 44100;
    int block_size = 512;
    // What is played: at most one of the three.
    std::vector<Note> notes;
    std::optional<std::string> notes_file;  // an empty name: no notes
    std::optional<std::string> midi_file;
    std::optional<std::string> state_file;  // restored before the program and parameters
    std::optional<int> program;
    std::vector<ParameterSetting> parameters;

    bool PlaysSomething() const { return !notes.empty() || notes_file || midi_file; }
};

// `state save`: what a host keeps of the plug-in after the settings are made.
struct StateSaveOptions {
    std::string source;  // empty: the plug-in built beside the tool
    std::string output;
    std::optional<int> program;
    std::vector<ParameterSetting> parameters;
};

struct CompileOptions {
    std::string source;  // the patch text
    std::string output;  // empty: the patch text's path with the extension ".ws1"
};

struct DecompileOptions {
    std::string source;  // the project archive
    std::string output;  // empty: standard output
};

struct PackOptions {
    std::string source;  // the project archive
    std::string output;  // the plug-in library to write
};

using Command = std::variant<HelpRequest, InfoOptions, RenderOptions, StateSaveOptions, CompileOptions,
                             DecompileOptions, PackOptions>;

// The arguments after the program name. Throws std::invalid_argument naming the
// offending text.
Command ParseCommandLine(const std::vector<std::string>& arguments);

std::string UsageText();

}  // namespace tools
