// The pattern sequencers' documents: tempo, song, patterns and their steps,
// as their records store them.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "project/controls.h"

constexpr int kPatternCount = 32;
constexpr uint32_t kMostSteps = 32;
constexpr uint32_t kMostSongEntries = 100;

struct sequencer_step {
    int32_t note = -1;  // -1 is a rest
    int32_t velocity = 0;
    int32_t modulation = 0;
    int32_t fourth = 0;  // kept as stored, not used
    bool slide = false;
};

// The song: pattern numbers in playing order; a negative entry ends it.
using sequencer_song = std::array<int32_t, kMostSongEntries>;

// Pattern 1, then the end.
sequencer_song NewSong();

class CPattSeq : public CControl {
    WS_DECLARE_CLASS(CPattSeq)
public:
    CPattSeq();
    void Serialize(archive_reader& archive) override;

    float tempo = 120.0f;  // beats per minute
    bool song_mode = false;
    sequencer_song song = NewSong();
    int32_t current_pattern = 0;  // -1 for none
};

class CStepSeq2 : public CPattSeq {
    WS_DECLARE_CLASS(CStepSeq2)
public:
    void Serialize(archive_reader& archive) override;
    std::array<std::vector<sequencer_step>, kPatternCount> patterns;
};

// Step words: bit 0 the accent, bit r that drum row r plays.
class CDrumSeq : public CPattSeq {
    WS_DECLARE_CLASS(CDrumSeq)
public:
    void Serialize(archive_reader& archive) override;
    std::array<std::vector<uint32_t>, kPatternCount> patterns;
};

// The first step sequencer, a plain module with its own panel rectangle.
class CStepSeq : public CUG {
    WS_DECLARE_CLASS(CStepSeq)
public:
    void Serialize(archive_reader& archive) override;

    ws_rect panel_rect{0, 0, 10, 10};
    float tempo = 120.0f;
    std::vector<std::vector<sequencer_step>> patterns;
    bool switch_on = false;  // stored and kept; nothing reads it
    sequencer_song song = NewSong();
};
