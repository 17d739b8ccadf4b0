// The plug-in object the host drives: dispatcher opcodes, the audio calls and
// host parameters, translated into calls on the application and the engine.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "plugin/app_vst.h"
#include "plugin/vst_parameter.h"
#include "plugin/vst_plugin_base.h"
#include "project/patch_manager.h"

class ug_vst_in;
class ug_vst_out;

class WsVst : public vst_plugin_base, public patch_parameter_listener {
public:
    WsVst(vst::HostCallback host, bool& failed);
    ~WsVst() override;

    intptr_t Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) override;
    void ProcessReplacing(float** inputs, float** outputs, int32_t sample_frames) override;
    void ProcessAccumulating(float** inputs, float** outputs, int32_t sample_frames) override;
    void SetParameter(int32_t index, float value) override;
    float GetParameter(int32_t index) override;

    // The I/O modules register themselves while the graph runs.
    void SetInputModule(ug_vst_in* module) { input_module_ = module; }
    void SetOutputModule(ug_vst_out* module) { output_module_ = module; }
    bool IsReplacing() const { return replacing_.load(); }

    // A program selected from inside (the panel, "Patch Select") reaches the host.
    void OnProgramSelected(int32_t program) override;

private:
    void Suspend();
    void Resume();
    void WaitForAudioCall();
    void SetSampleRate(float rate);
    void SetProgram(int program);
    void SetProgramName(const std::string& name);
    void CopyProgram(int destination);
    std::string ProgramName(int program) const;
    intptr_t GetChunk(void** data, bool single_program);
    intptr_t SetChunk(const void* data, intptr_t size, bool single_program);
    uint32_t Options() const;
    intptr_t CanDo(const char* text) const;
    intptr_t GetOutputProperties(int index, vst::VstPinProperties* properties) const;
    vst_parameter* Parameter(int index) const;
    void CopyParameterText(int index, char* destination, std::string (vst_parameter::*get)() const) const;
    void Process(float** inputs, float** outputs, int32_t sample_frames);
    void QueueHostMidi();
    void CollectOutgoingMidi(int32_t sample_frames);

    ug_vst_in* input_module_ = nullptr;
    ug_vst_out* output_module_ = nullptr;
    CWirestackAppVST app_;
    CContainer* top_ = nullptr;
    vst::VstEvents* pending_events_ = nullptr;
    std::atomic<bool> resumed_{false};
    std::atomic<bool> in_process_{false};
    std::atomic<bool> replacing_{true};
    std::vector<std::unique_ptr<vst_parameter>> parameters_;
    CPatchManager* programs_ = nullptr;
    // The last chunk handed to the host, valid until the next one.
    std::vector<uint8_t> chunk_;

    // Outgoing MIDI for the host: the events and a VstEvents block pointing at them.
    std::vector<vst::VstMidiEvent> outgoing_midi_;
    std::vector<std::byte> outgoing_block_;
    std::size_t midi_read_position_ = 0;
};
