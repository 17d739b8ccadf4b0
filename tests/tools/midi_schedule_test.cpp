#include "tools/midi_schedule.h"

#include <gtest/gtest.h>

#include "tools/event_block.h"

namespace tools {
namespace {

constexpr uint8_t kOn = 0x90;
constexpr uint8_t kOff = 0x80;

TEST(MidiSchedule, PlacesNotesAtTheirSampleOnChannelOne) {
    std::vector<MidiMessage> expected = {
        {22050, {kOn, 69, 100}}, {33075, {kOn, 72, 7}}, {66150, {kOff, 69, 64}}, {77175, {kOff, 72, 64}}};
    EXPECT_EQ(ScheduleNotes(ParseNotes("72@0.75+1:7,69@0.5+1"), 44100), expected);
}

TEST(MidiSchedule, ReleasesBeforeStrikingAgainAtTheSameSample) {
    std::vector<MidiMessage> expected = {
        {0, {kOn, 60, 100}}, {48000, {kOff, 60, 64}}, {48000, {kOn, 60, 100}}, {96000, {kOff, 60, 64}}};
    EXPECT_EQ(ScheduleNotes(ParseNotes("60@1+1,60@0+1"), 48000), expected);
}

TEST(MidiSchedule, EveryNoteLastsAtLeastOneSample) {
    std::vector<MidiMessage> expected = {{10, {kOn, 60, 100}}, {11, {kOff, 60, 64}}};
    EXPECT_EQ(ScheduleNotes(ParseNotes("60@0.01+0.00001"), 1000), expected);
}

std::vector<std::pair<int32_t, uint8_t>> DeltasAndKeys(vst::VstEvents* events) {
    std::vector<std::pair<int32_t, uint8_t>> found;
    vst::VstEvent* const* slots = events->events;
    for (int32_t i = 0; i < events->numEvents; ++i) {
        auto* midi = reinterpret_cast<vst::VstMidiEvent*>(slots[i]);
        EXPECT_EQ(midi->type, vst::kVstMidiType);
        EXPECT_EQ(midi->byteSize, 24);
        found.emplace_back(midi->deltaFrames, uint8_t(midi->midiData[1]));
    }
    return found;
}

TEST(EventBlock, HandsEachBlockTheMessagesInsideIt) {
    std::vector<MidiMessage> schedule;
    for (int64_t frame : {0, 511, 512, 600, 700, 1000, 1023, 1024})
        schedule.push_back({frame, {kOn, uint8_t(frame % 128), 100}});
    EventBlock block;

    block.Fill(schedule, 0, 512);
    EXPECT_EQ(DeltasAndKeys(block.Events()), (std::vector<std::pair<int32_t, uint8_t>>{{0, 0}, {511, 511 % 128}}));
    block.Fill(schedule, 512, 512);
    EXPECT_EQ(DeltasAndKeys(block.Events()),
              (std::vector<std::pair<int32_t, uint8_t>>{
                  {0, 512 % 128}, {88, 600 % 128}, {188, 700 % 128}, {488, 1000 % 128}, {511, 1023 % 128}}));
    block.Fill(schedule, 1025, 100);
    EXPECT_TRUE(block.Empty());
    EXPECT_EQ(block.Events()->numEvents, 0);
}

}  // namespace
}  // namespace tools
