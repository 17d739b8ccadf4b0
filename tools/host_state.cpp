#include "tools/host_state.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "tools/number_text.h"
#include "tools/plugin_info.h"

namespace tools {

namespace {

constexpr int32_t kBankChunk = 0;  // effGetChunk / effSetChunk index: 0 bank, 1 one program

void RequireBelow(long long index, int32_t count, const std::string& what, const std::string& plural) {
    if (index < 0 || index >= count)
        throw std::invalid_argument(what + " is out of range (the plug-in has " + std::to_string(count) + " " +
                                    plural + ")");
}

int32_t ResolveParameter(const VstHost& host, const std::string& parameter) {
    bool is_index = parameter.find_first_not_of("0123456789") == std::string::npos;
    if (is_index) {
        long long index = ParseInteger(parameter, "parameter index", 0, INT32_MAX);
        RequireBelow(index, host.Effect().numParams, "parameter index \"" + parameter + "\"", "parameters");
        return int32_t(index);
    }
    int32_t index = FindParameter(host, parameter);
    if (index < 0) throw std::invalid_argument("the plug-in has no parameter named \"" + parameter + "\"");
    return index;
}

void SelectProgram(VstHost& host, int program) {
    RequireBelow(program, host.Effect().numPrograms, "program " + std::to_string(program), "programs");
    host.Dispatch(vst::effSetProgram, 0, program);
}

}  // namespace

void ApplySettings(VstHost& host, const std::optional<int>& program, const std::vector<ParameterSetting>& parameters) {
    if (program) SelectProgram(host, *program);
    for (const ParameterSetting& setting : parameters)
        host.SetParameter(ResolveParameter(host, setting.parameter), setting.value);
}

HostState CaptureState(const VstHost& host) {
    HostState state;
    state.program = int32_t(host.Dispatch(vst::effGetProgram));
    void* data = nullptr;
    const intptr_t size = host.Dispatch(vst::effGetChunk, kBankChunk, 0, &data);
    if (size <= 0 || data == nullptr)
        throw HostError("the plug-in offered no chunk (effGetChunk returned " + std::to_string(size) +
                        "): there is no state to save");
    if (uintmax_t(size) > kLargestStateChunk)
        throw HostError("the plug-in offered a chunk of " + std::to_string(size) + " bytes, more than " +
                        std::to_string(kLargestStateChunk) + " a state file keeps");
    // The plug-in owns the memory only until its next call.
    state.chunk.resize(size_t(size));
    std::memcpy(state.chunk.data(), data, state.chunk.size());
    return state;
}

void RestoreState(VstHost& host, const HostState& state) {
    if (state.program < 0 || state.program >= host.Effect().numPrograms)
        throw StateFileError("the state's program " + std::to_string(state.program) + " is out of range (the plug-in has " +
                             std::to_string(host.Effect().numPrograms) + " programs)");
    host.Dispatch(vst::effSetChunk, kBankChunk, intptr_t(state.chunk.size()), const_cast<uint8_t*>(state.chunk.data()));
    host.Dispatch(vst::effSetProgram, 0, state.program);
}

}  // namespace tools
