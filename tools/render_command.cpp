#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>

#include "tools/commands.h"
#include "tools/event_block.h"
#include "tools/host_state.h"
#include "tools/midi_file.h"
#include "tools/midi_schedule.h"
#include "tools/project_files.h"
#include "tools/vst_host.h"
#include "tools/wav_writer.h"

namespace tools {

namespace {

constexpr double kSecondsAfterNotes = 1;  // room for release tails
constexpr double kSecondsWithoutNotes = 2;

double RenderSeconds(const RenderOptions& options, const std::vector<MidiMessage>& schedule, double end_seconds) {
    if (options.seconds) return *options.seconds;
    return schedule.empty() ? kSecondsWithoutNotes : end_seconds + kSecondsAfterNotes;
}

std::vector<Note> ReadNotesFile(const std::string& path) {
    try {
        return ParseNoteList(ReadFileText(path));
    } catch (const std::invalid_argument& error) {
        throw std::runtime_error(path + ": " + error.what());
    }
}

uint64_t FrameCount(double seconds, int sample_rate) {
    double frames = std::round(seconds * sample_rate);
    if (frames > double(std::numeric_limits<uint32_t>::max()))
        throw std::invalid_argument("a render of " + std::to_string(seconds) + " seconds is too long for a WAVE file");
    return uint64_t(frames);
}

// The messages to play, and when the performance ends, in seconds.
std::pair<std::vector<MidiMessage>, double> Performance(const RenderOptions& options) {
    if (options.midi_file) {
        MidiPerformance performance = ReadMidiFileAt(*options.midi_file, options.sample_rate);
        return {std::move(performance.messages), performance.end_seconds};
    }
    // An empty name is a list of no notes: a harness fills the name in for every workload.
    const std::vector<Note> notes = options.notes_file && !options.notes_file->empty()
                                        ? ReadNotesFile(*options.notes_file)
                                        : options.notes;
    return {ScheduleNotes(notes, options.sample_rate), NotesEnd(notes)};
}

void RenderBlocks(VstHost& host, const RenderOptions& options, const std::vector<MidiMessage>& schedule,
                  uint64_t frames, WavWriter& writer) {
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
    const auto [schedule, end_seconds] = Performance(options);
    const double seconds = RenderSeconds(options, schedule, end_seconds);
    const uint64_t frames = FrameCount(seconds, options.sample_rate);
    VstHost host(library_path);
    if (host.Effect().numOutputs <= 0) throw HostError("the plug-in has no outputs to render");
    if (options.state_file) RestoreState(host, ReadStateFile(*options.state_file));
    ApplySettings(host, options.program, options.parameters);
    int channels = host.Effect().numOutputs;
    // Resumed first, so a plug-in that cannot run leaves no half-made file behind.
    host.Resume(options.sample_rate, options.block_size);
    WavWriter writer(options.output, channels, options.sample_rate, frames);
    RenderBlocks(host, options, schedule, frames, writer);
    writer.Finish();
    return {options.output, channels, double(frames) / options.sample_rate, options.sample_rate,
            host.OutgoingMidiEvents()};
}

}  // namespace tools
