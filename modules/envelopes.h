// Envelope generators: a gate drives a level through a list of segments. One
// engine serves the ADSR, the eight-stage envelope and the drawn multistage
// envelope; it picks a renderer per segment from the inputs that run, so the
// common case (static rate and level) costs one addition per sample.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/ug_base.h"

// One point of the envelope editor's text: seconds from the gate, level
// (1.0 = 10 V), and whether the segment that ends here is the one to hold.
struct envelope_point {
    double time = 0.0;
    double level = 0.0;
    bool sustain = false;
};

// One segment of a drawn envelope.
struct envelope_segment {
    enum segment_kind : int32_t { normal = 0, sustain = 1, last = 2 };
    float level = 0.0f;  // target, 1.0 = 10 V
    float rate = 0.0f;   // level units per second, a magnitude
    int32_t kind = normal;
};

// The editor's text for a new envelope: attack, decay to a held level, release.
inline constexpr const char* kDefaultEnvelopeText = "(0.1,1.0)S(0.4,0.8)(1.0,0.0)";

// Reads the editor's text, "(T,L)" per point with "S" before the held point.
std::vector<envelope_point> ParseEnvelopePoints(const std::string& text);
// The segments that join the points in turn, starting from (0, 0), followed by
// a closing segment to 0 that a list without points falls back on.
std::vector<envelope_segment> EnvelopeSegments(const std::vector<envelope_point>& points);

// The drawn segment list, shared by the document module and every voice copy
// of its unit generator. The panel publishes a new list; the audio side takes
// it when told (notification 7), so neither waits for the other.
class envelope_segment_store {
public:
    using segment_list = std::vector<envelope_segment>;

    explicit envelope_segment_store(const std::string& text = kDefaultEnvelopeText) { Publish(text); }
    void Publish(const std::string& text);
    std::shared_ptr<const segment_list> Current() const { return current_.load(); }

private:
    std::atomic<std::shared_ptr<const segment_list>> current_;
};

// The engine: gate, segment sequencing, sustain, release and the hard release a
// note source asks for when its note is struck again.
class ug_envelope_base : public ug_base {
public:
    void Open() override;
    void OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) override;
    void HandleEvent(ug_event* event) override;

protected:
    // Writes samples from `start` for the current segment; may stop early when
    // the segment ends and answers how many samples it wrote.
    using renderer = int (ug_envelope_base::*)(int start, int count);
    template <class Module>
    void SetRenderer(int (Module::*function)(int start, int count)) {
        renderer_ = static_cast<renderer>(function);
    }

    // Chooses target, step and renderer for the current segment from the
    // present level; step 0 means holding or finished.
    virtual void StartSegment() = 0;
    void NextSegment();
    // Sets the segment tables, the sustain and end segments and the segment to open at.
    virtual void PrepareSegments() = 0;
    // Whether the envelope has run its end segment; a hard release ends there.
    virtual bool IsFinished() const { return current_ >= end_; }
    // A status change of an input other than the gate.
    virtual void OnInputStatus(UPlug* input) = 0;

    // Building blocks of StartSegment.
    void SelectProcess();
    void HoldConstant();
    void FollowOverallLevel();
    // Runs to the target in a counted number of samples at `step` per sample.
    void StartCount(float step);
    void Announce(state_type status);
    bool IsRunning(const UPlug* plug) const { return plug != nullptr && plug->status == ST_RUN; }
    bool OverallLevelRuns() const { return IsRunning(GetPlug(overall_level_index_)); }
    bool IsOverallLevel(const UPlug* input) const { return input->index == overall_level_index_; }
    float InputNow(const float* samples) const { return samples[position_]; }
    // Ends the segment at `position` with the target reached.
    void FinishSegment(int position, float overall_level);

    int RenderFastest(int start, int count);
    int RenderCountOverall(int start, int count);
    int RenderConstant(int start, int count);
    int RenderFollowOverall(int start, int count);
    int RenderIdle(int start, int count) { return count; }

    static constexpr int16_t kNoSustain = 10;

    int16_t sustain_ = kNoSustain;
    int16_t end_ = 0;
    int16_t current_ = 7;
    int32_t samples_left_ = 0;
    float step_ = 0.0f;
    float level_ = 0.0f;
    float output_step_ = 0.0f;
    float output_value_ = 0.0f;
    float overall_level_ = 0.0f;
    float target_ = 0.0f;
    float sample_rate_ = 44100.0f;
    bool released_ = true;
    bool hard_release_ = false;
    // The sample the engine is at: rendering position, or the sample of the
    // event being handled. Inputs are read and status announced there.
    int position_ = 0;

    float* signal_out_ = nullptr;
    float* overall_level_in_ = nullptr;
    float* gate_in_ = nullptr;

private:
    void Render(int start, int count);
    void ScanGate(int start, int count);
    void ApplyGate(bool high);
    void OnGateStatus(state_type status);
    void HardRelease();

    renderer renderer_ = &ug_envelope_base::RenderIdle;
    bool gate_high_ = false;
    int constant_left_ = 0;
    int gate_index_ = -1;
    int overall_level_index_ = -1;
    int signal_out_index_ = -1;
};

// Segments whose rate and level come from input plugs.
class ug_envelope : public ug_envelope_base {
protected:
    struct segment_plugs {
        float* rate = nullptr;   // samples of the rate input
        float* level = nullptr;  // samples of the level input, when there is one
        UPlug* rate_plug = nullptr;
        UPlug* level_plug = nullptr;
        float fixed_level = 0.0f;  // target when there is no level input
    };

    void StartSegment() override;
    void OnInputStatus(UPlug* input) override;

    std::array<segment_plugs, 8> segments_{};

private:
    void Hold(bool level_runs);
    float StepForRate(float rate_sample) const;
    // Moves the level by the step towards the target; true once it gets there.
    bool MoveTowardsTarget();

    int RenderStepwise(int start, int count);
    int RenderHoldFollow(int start, int count);

    bool rate_runs_ = false;
    bool chases_level_ = false;
};

// "ADSR": attack to 10 V, decay to the sustain level, release to 0.
class ug_adsr : public ug_envelope {
public:
    std::unique_ptr<ug_base> CreateInstance() const override { return std::make_unique<ug_adsr>(); }
    void ListInterface(std::vector<InterfaceObject>& list) override;

private:
    void PrepareSegments() override;
};

// "8 Stage Env": eight rate and level pairs, a chosen held and final segment.
class ug_8_stage : public ug_envelope {
public:
    std::unique_ptr<ug_base> CreateInstance() const override { return std::make_unique<ug_8_stage>(); }
    void ListInterface(std::vector<InterfaceObject>& list) override;

private:
    void PrepareSegments() override;
    void OnInputStatus(UPlug* input) override;
    void ReadSegmentChoice();

    int16_t sustain_choice_ = 2;
    int16_t end_choice_ = 4;
};

// "Multistage Env": the segments drawn in the envelope editor.
class ug_envelope_ms : public ug_envelope_base {
public:
    std::unique_ptr<ug_base> CreateInstance() const override { return std::make_unique<ug_envelope_ms>(); }
    std::unique_ptr<ug_base> Clone() override;
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;
    void OnNotify(int32_t code, int32_t value) override;

    // The list this module and its voice copies play, owned with the document module.
    void SetSegmentStore(std::shared_ptr<envelope_segment_store> store) { store_ = std::move(store); }

    static constexpr int32_t kReloadSegments = 7;

private:
    void PrepareSegments() override;
    void StartSegment() override;
    // Opened past its end, the multistage is neither running nor finished.
    bool IsFinished() const override { return current_ == end_; }
    void OnInputStatus(UPlug* input) override { StartSegment(); }
    void LoadSegments();
    void ReloadSegments();

    std::shared_ptr<envelope_segment_store> store_ = std::make_shared<envelope_segment_store>();
    std::shared_ptr<const envelope_segment_store::segment_list> segments_;
    uint8_t ignore_program_change_ = 0;
};
