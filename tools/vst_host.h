// A VST 2 host for one plug-in: loads the library, answers the plug-in's calls
// and drives it through the life cycle a host gives it (open, resume, blocks of
// events and audio, suspend, close).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/vst2.h"

namespace tools {

// A one-line reason why the plug-in cannot be hosted.
struct HostError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The text in a fixed-size buffer a plug-in filled, which it may have left unterminated.
std::string BufferText(const char* buffer, size_t size);

class VstHost {
public:
    static constexpr int kVersion = 2300;
    static constexpr double kTempo = 120;

    // Loads the library, calls its entry point and opens the plug-in.
    explicit VstHost(const std::string& library_path);
    // Suspends the plug-in if it runs, closes it, then unloads the library.
    ~VstHost();
    VstHost(const VstHost&) = delete;
    VstHost& operator=(const VstHost&) = delete;

    const vst::AEffect& Effect() const { return *effect_; }
    intptr_t Dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0) const;
    // Asks for a text through a zeroed buffer of `buffer_size` bytes.
    std::string Text(int32_t opcode, int32_t index = 0, size_t buffer_size = 256) const;
    float Parameter(int32_t index) const;
    void SetParameter(int32_t index, float value);

    // Sets rate and block size, then switches the plug-in on.
    void Resume(int sample_rate, int block_size);
    // One block of silent input: the events (if any) then processReplacing. The
    // outputs stay valid until the next call.
    const std::vector<std::vector<float>>& Process(vst::VstEvents* events, int frames);

    // MIDI events the plug-in has sent to the host so far.
    int64_t OutgoingMidiEvents() const { return outgoing_midi_; }

private:
    static intptr_t WS_VST_CALL Callback(vst::AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                         void* ptr, float opt);
    intptr_t Answer(int32_t opcode, void* ptr);
    void CountOutgoing(const vst::VstEvents* events);
    void UpdateTime();

    platform::DynamicLibrary library_;  // first in, last out: the plug-in's code lives here
    vst::AEffect* effect_ = nullptr;
    bool resumed_ = false;
    int sample_rate_ = 44100;
    int block_size_ = 0;
    int64_t position_ = 0;
    vst::VstTimeInfo time_{};
    int64_t outgoing_midi_ = 0;
    std::vector<std::vector<float>> inputs_;
    std::vector<std::vector<float>> outputs_;
    std::vector<float*> input_pointers_;
    std::vector<float*> output_pointers_;
};

}  // namespace tools
