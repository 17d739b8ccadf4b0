#include "project/sequencer_records.h"

#include <string>

WS_IMPLEMENT_CLASS(CPattSeq, CControl, 1, false);
WS_IMPLEMENT_CLASS(CStepSeq2, CPattSeq, 1, false);
WS_IMPLEMENT_CLASS(CDrumSeq, CPattSeq, 1, false);
WS_IMPLEMENT_CLASS(CStepSeq, CUG, 1, false);

namespace {

// Version rules of the sequencer records.
constexpr int32_t kLastWithOldHeader = 17;
constexpr std::size_t kOldHeaderBytes = 16;
constexpr int32_t kFirstWithCurrentPattern = 25;
constexpr int32_t kFirstWithSlide = 23;
constexpr int32_t kWithExtraStepValue = 14;

uint32_t ReadBoundedCount(archive_reader& archive, uint32_t most, const char* what) {
    const uint32_t count = archive.ReadUInt32();
    if (count > most) archive.Fail(std::to_string(count) + " " + what + ", at most " + std::to_string(most));
    return count;
}

sequencer_song ReadSong(archive_reader& archive) {
    sequencer_song song;
    song.fill(-1);
    const uint32_t entries = ReadBoundedCount(archive, kMostSongEntries, "song entries");
    for (uint32_t i = 0; i < entries; ++i) song[i] = archive.ReadInt32();
    return song;
}

// A step count, then that many steps read by `read_step`.
template <class Step, class ReadStep>
std::vector<Step> ReadPattern(archive_reader& archive, ReadStep read_step) {
    const uint32_t count = ReadBoundedCount(archive, kMostSteps, "steps");
    std::vector<Step> steps(count);
    for (Step& step : steps) step = read_step();
    return steps;
}

// The first step sequencer stored the fourth value before the modulation, and no slide.
enum class step_layout { step_sequencer_2, first_step_sequencer };

sequencer_step ReadStep(archive_reader& archive, step_layout layout) {
    const bool first_sequencer = layout == step_layout::first_step_sequencer;
    sequencer_step step;
    step.note = archive.ReadInt32();
    step.velocity = archive.ReadInt32();
    (first_sequencer ? step.fourth : step.modulation) = archive.ReadInt32();
    (first_sequencer ? step.modulation : step.fourth) = archive.ReadInt32();
    if (!first_sequencer && archive.version >= kFirstWithSlide) step.slide = archive.ReadInt32() != 0;
    if (archive.version == kWithExtraStepValue) archive.ReadInt32();
    return step;
}

}  // namespace

sequencer_song NewSong() {
    sequencer_song song;
    song.fill(-1);
    song[0] = 1;
    return song;
}

// A sequencer keeps no per-program values: its patterns are its data.
CPattSeq::CPattSeq() : CControl({DT_DOUBLE, 0}) {}

void CPattSeq::Serialize(archive_reader& archive) {
    CControl::Serialize(archive);
    if (archive.version <= kLastWithOldHeader) archive.Skip(kOldHeaderBytes);
    archive.ReadInt32();  // not used
    tempo = archive.ReadFloat();
    song_mode = archive.ReadInt32() != 0;
    song = ReadSong(archive);
    if (archive.version >= kFirstWithCurrentPattern) {
        current_pattern = archive.ReadInt32();
        if (current_pattern < -1 || current_pattern >= kPatternCount)
            archive.Fail("current pattern " + std::to_string(current_pattern));
    }
}

void CStepSeq2::Serialize(archive_reader& archive) {
    CPattSeq::Serialize(archive);
    for (auto& pattern : patterns) pattern = ReadPattern<sequencer_step>(archive, [&archive] { return ReadStep(archive, step_layout::step_sequencer_2); });
}

void CDrumSeq::Serialize(archive_reader& archive) {
    CPattSeq::Serialize(archive);
    for (auto& pattern : patterns) pattern = ReadPattern<uint32_t>(archive, [&archive] { return archive.ReadUInt32(); });
}

void CStepSeq::Serialize(archive_reader& archive) {
    CUG::Serialize(archive);
    panel_rect = archive.ReadRect();
    patterns.resize(ReadBoundedCount(archive, kPatternCount, "patterns"));
    tempo = archive.ReadFloat();
    for (auto& pattern : patterns)
        pattern = ReadPattern<sequencer_step>(archive, [&archive] { return ReadStep(archive, step_layout::first_step_sequencer); });
    switch_on = archive.ReadInt32() != 0;
    song = ReadSong(archive);
}
