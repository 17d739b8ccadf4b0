#include "plugin/app_vst.h"

#include <algorithm>
#include <cstdio>

#include "engine/ug_container.h"
#include "platform/platform.h"
#include "plugin/ws_vst.h"
#include "project/module_registry.h"

namespace {

// Every unit generator runs after those that feed it: a sink sorts 0, each
// source at least 4 above everything it feeds.
void AssignSortOrders(const ug_container& container) {
    const auto& ugs = container.UnitGenerators();
    for (const auto& ug : ugs) ug->sort_order = 0;
    for (std::size_t pass = 0; pass < ugs.size(); ++pass) {
        for (const auto& ug : ugs) {
            for (const auto& plug : ug->Plugs()) {
                if (plug->direction != DR_OUT) continue;
                for (const plug_connection* connection : plug->connections)
                    ug->sort_order = std::max(ug->sort_order, connection->to->owner->sort_order + 4);
            }
        }
    }
}

ug_base* AddModule(ug_container& container, const char* unique_id) {
    ug_base* ug = container.Add(ModuleRegistry::Instance().CreateUnitGenerator(unique_id));
    ug->CreatePlugsFromInterface();
    return ug;
}

}  // namespace

CWirestackAppVST::CWirestackAppVST() = default;

CWirestackAppVST::~CWirestackAppVST() { StopAudio(); }

bool CWirestackAppVST::InitInstance(WsVst* plugin) {
    plugin_ = plugin;
    creating_thread_ = platform::CurrentThreadId();
    return true;
}

std::string CWirestackAppVST::ProgramName(int program) const {
    if (program < 0 || program >= ProgramCount()) return {};
    const std::string& name = program_names_[static_cast<std::size_t>(program)];
    if (!name.empty()) return name;
    char fallback[32];
    std::snprintf(fallback, sizeof fallback, "Patch %3d", program + 1);
    return fallback;
}

void CWirestackAppVST::SetProgramName(int program, const std::string& name) {
    if (program >= 0 && program < ProgramCount()) program_names_[static_cast<std::size_t>(program)] = name;
}

void CWirestackAppVST::CopyProgram(int from, int to) {
    if (to < 0 || to >= ProgramCount()) return;
    char name[64];
    std::snprintf(name, sizeof name, "(Copy %d) %s", 1, ProgramName(from).c_str());
    program_names_[static_cast<std::size_t>(to)] = name;
}

std::unique_ptr<ug_container> CWirestackAppVST::BuildGraph() {
    auto top = std::make_unique<ug_container>();
    top->audio_master = audio_master_.get();
    ug_base* input = AddModule(*top, "VST Input");
    ug_base* tone = AddModule(*top, "1 KHz Tone");
    ug_base* output = AddModule(*top, "VST Output");
    for (int channel = 1; channel < audio_inputs_; ++channel) input->AddPlug(DR_OUT, DT_AUDIO);
    for (int channel = 1; channel < AudioOutputCount(); ++channel) output->AddPlug(DR_IN, DT_AUDIO);
    for (ug_base* ug : {input, tone, output}) ug->SetupPlugs();

    Connect(input->GetPlug(0), output->GetPlug(0));
    for (int channel = 0; channel < AudioOutputCount(); ++channel) {
        UPlug* destination = output->GetPlug(1 + channel);
        Connect(tone->GetPlug(0), destination);
        if (channel < audio_inputs_) Connect(input->GetPlug(1 + channel), destination);
    }
    AssignSortOrders(*top);
    top->sort_order = INT32_MAX;
    return top;
}

void CWirestackAppVST::StartAudio(int host_block_size) {
    StopAudio();
    audio_master_ = std::make_unique<WsAudioMaster>(this, host_block_size, sample_rate_);
    top_ = BuildGraph();
    audio_master_->Start(top_.get());
}

void CWirestackAppVST::StopAudio() {
    if (!audio_master_) return;
    audio_master_->Stop();
    top_->Close();
    top_.reset();
    audio_master_.reset();
}

const vst::VstTimeInfo* CWirestackAppVST::HostTimeInfo(int32_t wanted_flags) {
    return reinterpret_cast<const vst::VstTimeInfo*>(plugin_->CallHost(vst::audioMasterGetTime, 0, wanted_flags));
}

void CWirestackAppVST::ShowMessageFromAudio(const std::string& text, int style) { platform::ShowMessage(text, style); }
