#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>

#include "tools/commands.h"
#include "tools/event_block.h"
#include "tools/midi_schedule.h"
#include "tools/number_text.h"
#include "tools/plugin_info.h"
#include "tools/vst_host.h"
#include "tools/wav_writer.h"

namespace tools {

namespace {

constexpr double kSecondsAfterNotes = 1;  // room for release tails
constexpr double kSecondsWithoutNotes = 2;

double RenderSeconds(const RenderOptions& options) {
    if (options.seconds) return *options.seconds;
    return options.notes.empty() ? kSecondsWithoutNotes : NotesEnd(options.notes) + kSecondsAfterNotes;
}

uint64_t FrameCount(double seconds, int sample_rate) {
    double frames = std::round(seconds * sample_rate);
    if (frames > double(std::numeric_limits<uint32_t>::max()))
        throw std::invalid_argument("a render of " + std::to_string(seconds) + " seconds is too long for a WAVE file");
    return uint64_t(frames);
}

void RequireBelow(long long index, int32_t count, const std::string& what, const std::string& plural) {
    if (index >= count)
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

void SetUp(VstHost& host, const RenderOptions& options) {
    if (host.Effect().numOutputs <= 0) throw HostError("the plug-in has no outputs to render");
    if (options.program) {
        RequireBelow(*options.program, host.Effect().numPrograms, "program " + std::to_string(*options.program),
                     "programs");
        host.Dispatch(vst::effSetProgram, 0, *options.program);
    }
    for (const ParameterSetting& setting : options.parameters)
        host.SetParameter(ResolveParameter(host, setting.parameter), setting.value);
}

void RenderBlocks(VstHost& host, const RenderOptions& options, uint64_t frames, WavWriter& writer) {
    std::vector<MidiMessage> schedule = ScheduleNotes(options.notes, options.sample_rate);
    EventBlock events;
    for (uint64_t position = 0; position < frames;) {
        int block = int(std::min<uint64_t>(uint64_t(options.block_size), frames - position));
        events.Fill(schedule, int64_t(position), block);
        writer.Write(host.Process(events.Empty() ? nullptr : events.Events(), block), size_t(block));
        position += uint64_t(block);
    }
}

}  // namespace

RenderResult RunRender(const RenderOptions& options, const std::string& library_path) {
    VstHost host(library_path);
    SetUp(host, options);
    double seconds = RenderSeconds(options);
    uint64_t frames = FrameCount(seconds, options.sample_rate);
    int channels = host.Effect().numOutputs;
    // Resumed first, so a plug-in that cannot run leaves no half-made file behind.
    host.Resume(options.sample_rate, options.block_size);
    WavWriter writer(options.output, channels, options.sample_rate, frames);
    RenderBlocks(host, options, frames, writer);
    writer.Finish();
    return {options.output, channels, double(frames) / options.sample_rate, options.sample_rate,
            host.OutgoingMidiEvents()};
}

}  // namespace tools
