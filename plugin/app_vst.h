// The application object of the plug-in: holds what the patch says about
// itself, and starts and stops the audio engine around host resume and suspend.
//
// Until projects are loaded from the library, the patch is a fixed graph:
// "VST Input" audio plus a 1 kHz test tone to "VST Output", MIDI passed through.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/audio_master.h"

class WsVst;
class ug_container;

// Bits of the plug-in options word.
enum plugin_options : uint32_t {
    PO_SYNTH = 1,
    PO_STEREO_PAIRS = 2,
    PO_SEND_TIME_INFO = 8,
};

class CWirestackAppVST : public audio_master_client {
public:
    CWirestackAppVST();
    ~CWirestackAppVST() override;

    bool InitInstance(WsVst* plugin);
    WsVst* Plugin() const { return plugin_; }
    uint64_t CreatingThread() const { return creating_thread_; }

    // What the patch says about itself.
    const std::string& EffectName() const { return effect_name_; }
    const std::string& VendorText() const { return vendor_; }
    const std::string& ProductText() const { return product_; }
    const std::string& IdText() const { return id_text_; }
    uint32_t PluginOptions() const { return options_; }
    bool CanMono() const { return can_mono_; }
    int AudioInputCount() const { return audio_inputs_; }
    int AudioOutputCount() const { return static_cast<int>(output_names_.size()); }
    const std::string& AudioOutputName(int index) const { return output_names_[static_cast<std::size_t>(index)]; }
    bool HasMidiInput() const { return true; }
    bool HasMidiOutput() const { return true; }

    // Programs of the top container.
    int ProgramCount() const { return static_cast<int>(program_names_.size()); }
    std::string ProgramName(int program) const;
    void SetProgramName(int program, const std::string& name);
    void CopyProgram(int from, int to);

    void SetSampleRate(float rate) { sample_rate_ = rate; }
    void StartAudio(int host_block_size);
    void StopAudio();
    void Idle() {}
    WsAudioMaster* AudioMaster() const { return audio_master_.get(); }

    // audio_master_client
    const vst::VstTimeInfo* HostTimeInfo(int32_t wanted_flags) override;
    void ShowMessageFromAudio(const std::string& text, int style) override;

private:
    std::unique_ptr<ug_container> BuildGraph();

    WsVst* plugin_ = nullptr;
    uint64_t creating_thread_ = 0;
    float sample_rate_ = 44100.0f;

    std::string effect_name_ = "Wirestack";
    std::string vendor_ = "Wirestack";
    std::string product_;
    std::string id_text_ = "WsTk";
    uint32_t options_ = 0;
    bool can_mono_ = true;
    int audio_inputs_ = 2;
    std::vector<std::string> output_names_{"Left", "Right"};
    std::vector<std::string> program_names_ = std::vector<std::string>(1);

    std::unique_ptr<WsAudioMaster> audio_master_;
    std::unique_ptr<ug_container> top_;
};
