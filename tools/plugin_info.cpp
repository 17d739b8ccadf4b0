#include "tools/plugin_info.h"

#include <array>

namespace tools {

namespace {

// Parameter texts are short; a roomy zeroed buffer survives a plug-in that writes past its limit.
constexpr size_t kParameterTextSize = 64;
constexpr std::array kCanDoQuestions = {"receiveVstMidiEvent", "sendVstMidiEvent", "sendVstTimeInfo"};

std::string ParameterName(const VstHost& host, int32_t index) {
    return host.Text(vst::effGetParamName, index, kParameterTextSize);
}

ParameterInfo QueryParameter(const VstHost& host, int32_t index) {
    ParameterInfo parameter;
    parameter.index = index;
    parameter.name = ParameterName(host, index);
    parameter.label = host.Text(vst::effGetParamLabel, index, kParameterTextSize);
    parameter.display = host.Text(vst::effGetParamDisplay, index, kParameterTextSize);
    parameter.value = host.Parameter(index);
    parameter.automatable = host.Dispatch(vst::effCanBeAutomated, index) != 0;
    return parameter;
}

OutputInfo QueryOutput(const VstHost& host, int32_t index) {
    vst::VstPinProperties pin{};
    host.Dispatch(vst::effGetOutputProperties, index, 0, &pin);
    return {index, BufferText(pin.label, sizeof pin.label), BufferText(pin.shortLabel, sizeof pin.shortLabel),
            pin.flags};
}

}  // namespace

PluginInfo QueryPluginInfo(const VstHost& host) {
    const vst::AEffect& effect = host.Effect();
    PluginInfo info;
    info.effect_name = host.Text(vst::effGetEffectName);
    info.vendor = host.Text(vst::effGetVendorString);
    info.product = host.Text(vst::effGetProductString);
    info.unique_id = effect.uniqueID;
    info.vst_version = host.Dispatch(vst::effGetVstVersion);
    info.num_inputs = effect.numInputs;
    info.num_outputs = effect.numOutputs;
    info.num_programs = effect.numPrograms;
    info.num_params = effect.numParams;
    info.flags = effect.flags;
    info.category = host.Dispatch(vst::effGetPlugCategory);
    for (const char* question : kCanDoQuestions)
        info.can_do.emplace_back(question, host.Dispatch(vst::effCanDo, 0, 0, const_cast<char*>(question)));
    for (int32_t index = 0; index < effect.numPrograms; ++index)
        info.programs.push_back(host.Text(vst::effGetProgramNameIndexed, index));
    info.current_program = host.Dispatch(vst::effGetProgram);
    for (int32_t index = 0; index < effect.numParams; ++index) info.parameters.push_back(QueryParameter(host, index));
    for (int32_t index = 0; index < effect.numOutputs; ++index) info.outputs.push_back(QueryOutput(host, index));
    return info;
}

std::string UniqueIdText(int32_t id) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) text.push_back(char((uint32_t(id) >> shift) & 0xFF));
    return text;
}

int32_t FindParameter(const VstHost& host, const std::string& name) {
    for (int32_t index = 0; index < host.Effect().numParams; ++index)
        if (ParameterName(host, index) == name) return index;
    return -1;
}

}  // namespace tools
