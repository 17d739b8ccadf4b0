#include "tools/midi_file.h"

#include <gtest/gtest.h>

#include "midi_file_builder.h"

namespace tools_test {
namespace {

using tools::MidiFileError;
using tools::MidiMessage;
using tools::ReadMidiFile;

constexpr double kRate = 44100;
constexpr uint16_t kTicksPerQuarter = 480;

Bytes Track(const std::vector<Bytes>& events) {
    Bytes track;
    for (const Bytes& event : events) Append(track, event);
    return track;
}

std::vector<MidiMessage> Messages(const Bytes& file) { return ReadMidiFile(file, kRate).messages; }

TEST(MidiFile, TicksBecomeFramesAtTheDefaultTempo) {
    // 120 beats a minute: a quarter note is half a second.
    Bytes file = File(0, kTicksPerQuarter,
                      {Track({At(kTicksPerQuarter, {0x90, 69, 100}), At(kTicksPerQuarter, {0x80, 69, 64}),
                              At(kTicksPerQuarter, kEndOfTrack)})});
    tools::MidiPerformance performance = ReadMidiFile(file, kRate);
    EXPECT_EQ(performance.messages,
              (std::vector<MidiMessage>{{22050, {0x90, 69, 100}}, {44100, {0x80, 69, 64}}}));
    EXPECT_DOUBLE_EQ(performance.end_seconds, 1.5);
}

TEST(MidiFile, TempoChangesInTheFirstTrackTimeEveryTrack) {
    // Half a second a quarter for the first quarter, then a quarter second.
    Bytes conductor = Track({At(0, Tempo(500000)), At(kTicksPerQuarter, Tempo(250000)), At(0, kEndOfTrack)});
    Bytes notes = Track({At(2 * kTicksPerQuarter, {0x91, 60, 90}), At(2 * kTicksPerQuarter, kEndOfTrack)});
    tools::MidiPerformance performance = ReadMidiFile(File(1, kTicksPerQuarter, {conductor, notes}), kRate);
    // 0.5 s, then one quarter at 0.25 s.
    EXPECT_EQ(performance.messages, (std::vector<MidiMessage>{{33075, {0x91, 60, 90}}}));
    EXPECT_DOUBLE_EQ(performance.end_seconds, 1.25);
}

TEST(MidiFile, TimeCodeDivisionCountsMilliseconds) {
    // 25 frames a second of 40 ticks: the division the recorder module writes.
    Bytes file = File(0, 0xE728, {Track({At(0, Tempo(250000)), At(1500, {0x90, 64, 1}), At(0, kEndOfTrack)})});
    EXPECT_EQ(Messages(file), (std::vector<MidiMessage>{{66150, {0x90, 64, 1}}}));
}

TEST(MidiFile, RunningStatusAndEveryChannelMessageKind) {
    Bytes file = File(0, kTicksPerQuarter,
                      {Track({At(0, {0x90, 60, 100}), At(0, {62, 100}),  // running status
                              At(0, {0xF0, 0x03, 0x7E, 0x01, 0xF7}),     // system exclusive, skipped
                              At(0, {0xFF, 0x01, 0x02, 'h', 'i'}),        // text, skipped
                              At(0, {64, 0}),                             // running status survives them
                              At(0, {0xB2, 7, 90}), At(0, {0xC3, 81}), At(0, {0xD4, 33}), At(0, {0xE5, 0x00, 0x60}),
                              At(0, {0xA6, 60, 5}), At(0, {0xC3, 5}), At(0, {6}), At(0, kEndOfTrack)})});
    EXPECT_EQ(Messages(file), (std::vector<MidiMessage>{{0, {0x90, 60, 100}},
                                                        {0, {0x90, 62, 100}},
                                                        {0, {0x90, 64, 0}},
                                                        {0, {0xB2, 7, 90}},
                                                        {0, {0xC3, 81, 0}},
                                                        {0, {0xD4, 33, 0}},
                                                        {0, {0xE5, 0x00, 0x60}},
                                                        {0, {0xA6, 60, 5}},
                                                        {0, {0xC3, 5, 0}},
                                                        {0, {0xC3, 6, 0}}}));
}

TEST(MidiFile, SkipsUnknownChunksAndReadsPastTheEndOfTrack) {
    Bytes file = Header(1, 2, kTicksPerQuarter);
    Append(file, Chunk("XFIH", {1, 2, 3}));
    Append(file, Chunk("MTrk", Track({At(10, {0x90, 1, 1}), At(0, kEndOfTrack), At(0, {0x90, 2, 2})})));
    Append(file, Chunk("MTrk", Track({At(20, {0x90, 3, 3})})));  // no end-of-track: the chunk's end is
    Append(file, {1, 2, 3});                                       // bytes after the last track are not read
    auto messages = Messages(file);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].bytes[1], 1);
    EXPECT_EQ(messages[1].bytes[1], 3);
}

TEST(MidiFile, MalformedFilesAreRefusedNamingTheProblem) {
    struct Bad {
        const char* what;
        Bytes file;
        const char* named;
    };
    Bytes long_chunk = Header(0, 1, kTicksPerQuarter);
    Append(long_chunk, {'M', 'T', 'r', 'k', 0x00, 0x00, 0x01, 0x00, 0x00, 0x90, 60, 100});
    Bytes huge_chunk = Header(0, 1, kTicksPerQuarter);
    Append(huge_chunk, {'M', 'T', 'r', 'k', 0xFF, 0xFF, 0xFF, 0xFF});
    const Bad cases[] = {
        {"empty", {}, "not a Standard MIDI File"},
        {"a WAVE file", {'R', 'I', 'F', 'F', 0, 0, 0, 0}, "not a Standard MIDI File"},
        {"short header", Chunk("MThd", {0, 0, 0, 1}), "less than 6"},
        {"header past the end", {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0}, "the header at byte 8 needs 6 bytes"},
        {"format 2", Header(2, 1, kTicksPerQuarter), "format 2"},
        {"no tracks", Header(0, 0, kTicksPerQuarter), "no tracks"},
        {"division 0", File(0, 0, {kEndOfTrack}), "division is 0"},
        {"time code of 26 frames", File(0, 0xE628, {kEndOfTrack}), "26 frames"},
        {"time code of 0 ticks", File(0, 0xE700, {kEndOfTrack}), "0 ticks per frame"},
        {"missing track", Header(1, 2, kTicksPerQuarter), "announces 2 tracks but the file has 0"},
        {"track longer than the file", long_chunk, "is 256 bytes long but only 4 bytes are left"},
        {"track of 4 GB", huge_chunk, "4294967295 bytes long"},
        {"cut chunk header", [] { Bytes f = Header(0, 1, 96); Append(f, {'M', 'T'}); return f; }(), "chunk's name"},
        {"cut delta time", File(0, 96, {{0x81}}), "delta time"},
        {"delta time of 5 bytes", File(0, 96, {{0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 1, 1}}), "longer than 4 bytes"},
        {"data without status", File(0, 96, {{0x00, 0x40, 0x40}}), "no status byte"},
        {"cut note", File(0, 96, {{0x00, 0x90, 60}}), "channel message"},
        {"data byte with top bit", File(0, 96, {{0x00, 0x90, 60, 0x80}}), "top bit set"},
        {"meta past the track", File(0, 96, {{0x00, 0xFF, 0x01, 0x10, 'a'}}), "a meta event at byte"},
        {"sysex past the track", File(0, 96, {{0x00, 0xF0, 0x7F, 1}}), "a system-exclusive message"},
        {"tempo of 2 bytes", File(0, 96, {{0x00, 0xFF, 0x51, 0x02, 1, 2}}), "not 3"},
        {"system real-time status", File(0, 96, {{0x00, 0xF8}}), "status byte 0xF8"},
    };
    for (const Bad& bad : cases) {
        try {
            ReadMidiFile(bad.file, kRate);
            ADD_FAILURE() << "accepted " << bad.what;
        } catch (const MidiFileError& error) {
            EXPECT_NE(std::string(error.what()).find(bad.named), std::string::npos) << bad.what << ": " << error.what();
        }
    }
}

// Cut anywhere, a file is read or refused, never read beyond its end (the
// sanitizer build checks the reads).
TEST(MidiFile, EveryCutOfAFileIsReadOrRefused) {
    Bytes file = File(1, kTicksPerQuarter,
                      {Track({At(0, Tempo(400000)), At(0, {0xF0, 0x02, 0x01, 0xF7}), At(0, kEndOfTrack)}),
                       Track({At(200, {0x90, 60, 100}), At(0x0FFFFFFF, {0x80, 60, 0}), At(1, {0xE0, 1, 2}),
                              At(0, kEndOfTrack)})});
    size_t refused = 0;
    for (size_t size = 0; size < file.size(); ++size) {
        try {
            ReadMidiFile(std::span(file.data(), size), kRate);
        } catch (const MidiFileError&) {
            ++refused;
        }
    }
    EXPECT_EQ(refused, file.size());  // every cut falls inside a chunk the header promised
    EXPECT_EQ(Messages(file).size(), 3u);
}

}  // namespace
}  // namespace tools_test
