// What a host learns about a plug-in by asking it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tools/vst_host.h"

namespace tools {

struct ParameterInfo {
    int32_t index = 0;
    std::string name;
    std::string label;
    std::string display;
    float value = 0;
    bool automatable = false;
};

struct OutputInfo {
    int32_t index = 0;
    std::string label;
    std::string short_label;
    int32_t flags = 0;
};

struct PluginInfo {
    std::string effect_name;
    std::string vendor;
    std::string product;
    int32_t unique_id = 0;
    intptr_t vst_version = 0;
    int32_t num_inputs = 0;
    int32_t num_outputs = 0;
    int32_t num_programs = 0;
    int32_t num_params = 0;
    int32_t flags = 0;
    intptr_t category = 0;
    std::vector<std::pair<std::string, intptr_t>> can_do;  // question, answer
    std::vector<std::string> programs;
    intptr_t current_program = 0;
    std::vector<ParameterInfo> parameters;
    std::vector<OutputInfo> outputs;

    bool IsSynth() const { return (flags & vst::effFlagsIsSynth) != 0; }
};

PluginInfo QueryPluginInfo(const VstHost& host);

// The four characters of a unique id, the first from the top byte.
std::string UniqueIdText(int32_t id);

// The index of the parameter the plug-in calls `name`, or -1.
int32_t FindParameter(const VstHost& host, const std::string& name);

}  // namespace tools
