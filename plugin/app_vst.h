// The application object of the plug-in: finds the library's own project and
// reads it into a document, adds the plug-in's I/O modules, and builds and
// deletes the audio engine when the host resumes and suspends the plug-in.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/audio_master.h"
#include "project/project_document.h"

class WsVst;
class CContainer;
class ug_container;
class patch_parameter_link;

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

    // Finds the library and reads its project; false when there is none to play.
    bool InitInstance(WsVst* plugin);
    WsVst* Plugin() const { return plugin_; }
    uint64_t CreatingThread() const { return creating_thread_; }
    const std::string& LibraryPath() const { return library_path_; }

    project_document* Document() const { return document_.get(); }
    // The container the plug-in exposes, or none.
    CContainer* TopContainer() const { return document_ ? document_->TopContainer() : nullptr; }

    // Joins the top container's audio and MIDI plugs to "VST Input" and "VST Output".
    void WirePluginIO();

    void SetSampleRate(float rate) { sample_rate_ = rate; }
    // Builds the graph and starts it; a graph the engine refuses is reported
    // and leaves the engine stopped.
    void StartAudio(int host_block_size);
    void StopAudio();
    bool IsAudioRunning() const { return audio_master_ != nullptr; }
    WsAudioMaster* AudioMaster() const { return audio_master_.get(); }

    // The panel thread's idle step: delivers the audio side's messages, then
    // gives each object on the idle list its turn.
    void Idle();
    // Panel objects that messages from the audio side are addressed to.
    void AddPanelTarget(int32_t handle, ui_msg_target* target) { panel_targets_[handle] = target; }
    void RemovePanelTarget(int32_t handle);
    // Puts an object on the idle list; from a thread other than the panel's the
    // request travels through the audio-to-panel queue as "idle".
    void AskForIdle(int32_t handle);

    // audio_master_client
    const vst::VstTimeInfo* HostTimeInfo(int32_t wanted_flags) override;

private:
    bool LoadProject();
    void LinkPatchParameters(CContainer& container);
    // The modules answer their unit generators' messages while the graph runs.
    void RegisterModuleTargets(const CContainer& container, bool add);
    void DeliverPanelMessage(const queued_message& message);
    void AddToIdleList(int32_t handle);

    WsVst* plugin_ = nullptr;
    uint64_t creating_thread_ = 0;
    std::string library_path_;
    std::string plugin_name_;
    float sample_rate_ = 44100.0f;
    int host_block_size_ = 1024;

    std::unique_ptr<project_document> document_;
    std::unique_ptr<WsAudioMaster> audio_master_;
    std::unique_ptr<ug_container> top_unit_generator_;

    std::map<int32_t, ui_msg_target*> panel_targets_;
    std::vector<ui_msg_target*> idle_list_;
    // After the targets and the document: links leave both before they go.
    std::vector<std::unique_ptr<patch_parameter_link>> parameter_links_;
};
