#include "plugin/app_vst.h"

#include <algorithm>
#include <cstdio>

#include "engine/graph_builder.h"
#include "engine/message_stream.h"
#include "engine/ug_container.h"
#include "platform/embedded_project.h"
#include "platform/platform.h"
#include "plugin/library_paths.h"
#include "plugin/patch_parameter_link.h"
#include "plugin/project_scramble.h"
#include "plugin/ws_vst.h"
#include "project/doc_objects.h"
#include "project/doc_plugs.h"
#include "project/module_registry.h"
#include "project/patch_manager.h"
#include "project/wiring.h"

CWirestackAppVST::CWirestackAppVST() = default;

CWirestackAppVST::~CWirestackAppVST() {
    StopAudio();
    parameter_links_.clear();
}

bool CWirestackAppVST::InitInstance(WsVst* plugin) {
    plugin_ = plugin;
    library_path_ = platform::OwnLibraryPath();
    ModuleRegistry::Instance().SetDataFolder(LibraryDataFolder(library_path_));
    plugin_name_ = "Lumabeam";
    creating_thread_ = platform::CurrentThreadId();
    if (library_path_.empty()) return false;
    document_ = std::make_unique<project_document>();
    document_->stop_audio = [this] {
        const bool was_running = IsAudioRunning();
        StopAudio();
        return was_running;
    };
    document_->start_audio = [this] { StartAudio(host_block_size_); };
    if (!LoadProject() || document_->root == nullptr) return false;
    LinkPatchParameters(*document_->root);
    return true;
}

void CWirestackAppVST::LinkPatchParameters(CContainer& container) {
    if (CPatchManager* manager = container.PatchManager())
        parameter_links_.push_back(std::make_unique<patch_parameter_link>(*this, *manager));
    for (const auto& child : container.Children())
        if (auto* sub = dynamic_cast<CContainer*>(child.get())) LinkPatchParameters(*sub);
}

// The project stored in the library, else the ".dat" file beside it.
bool CWirestackAppVST::LoadProject() {
    std::optional<std::vector<uint8_t>> bytes = platform::ReadEmbeddedProject(library_path_);
    if (bytes) {
        UnscrambleProject(*bytes);
    } else {
        const std::string data_file = ProjectDataFilePath(library_path_);
        bytes = platform::ReadWholeFile(data_file);
        if (!bytes) {
            char message[1024];
            std::snprintf(message, sizeof message, "%s: Can't find plugin data file. (%s)",
                          LibraryBaseName(library_path_).c_str(), data_file.c_str());
            platform::ShowMessage(message, platform::kMessageIconWarning);
            return false;
        }
    }
    try {
        return ReadProject(*bytes, *document_, true) == project_read_result::ok;
    } catch (const archive_error& error) {
        platform::ShowMessage(LibraryBaseName(library_path_) + ": " + error.what(), platform::kMessageIconWarning);
        return false;
    }
}

namespace {

CUG* AddIOModule(CContainer& root, const char* unique_id) {
    std::unique_ptr<CDocOb> created = ModuleRegistry::Instance().CreateDocObject(unique_id);
    auto* module = static_cast<CUG*>(root.AddChild(std::move(created)));
    module->CreatePlugsFromType();
    module->Initialise(false);
    return module;
}

// The plug a top-container plug is joined to, or none.
CPlug2* IOPartner(const CPlug2& plug, CUG& input, CUG& output) {
    const bool is_input = plug.Direction() == DR_IN;
    if (plug.DataType() == DT_AUDIO) {
        CUG& module = is_input ? input : output;
        return module.Plugs().empty() ? nullptr : module.Plugs().back().get();
    }
    if (plug.DataType() == DT_MIDI) return is_input ? input.FindPlugByName("MIDI Out") : output.FindPlugByName("MIDI In");
    return nullptr;
}

}  // namespace

void CWirestackAppVST::WirePluginIO() {
    CContainer* top = TopContainer();
    if (top == nullptr) return;
    CUG* output = AddIOModule(*document_->root, "VST Output");
    CUG* input = AddIOModule(*document_->root, "VST Input");
    // Wiring gives a module a new spare, so the plug list is read afresh each time.
    for (std::size_t i = 0; i < top->Plugs().size(); ++i) {
        CPlug2* plug = top->Plugs()[i].get();
        if (plug->IsSpare()) continue;
        if (CPlug2* partner = IOPartner(*plug, *input, *output)) Connect(plug, partner);
    }
}

void CWirestackAppVST::StartAudio(int host_block_size) {
    StopAudio();
    host_block_size_ = host_block_size;
    audio_master_ = std::make_unique<WsAudioMaster>(this, host_block_size, sample_rate_);
    try {
        top_unit_generator_ = BuildGraph(*document_->root, *audio_master_);
    } catch (const WsException& error) {
        platform::ShowMessage(error.what(), platform::kMessageOk);
        audio_master_.reset();
        return;
    }
    RegisterModuleTargets(*document_->root, true);
    audio_master_->Start(top_unit_generator_.get());
}

void CWirestackAppVST::RegisterModuleTargets(const CContainer& container, bool add) {
    for (const auto& child : container.Children()) {
        auto* module = dynamic_cast<CUG*>(child.get());
        if (module == nullptr) continue;
        if (add)
            AddPanelTarget(module->MessageHandle(), module);
        else
            RemovePanelTarget(module->MessageHandle());
        if (auto* sub = dynamic_cast<const CContainer*>(module)) RegisterModuleTargets(*sub, add);
    }
}

void CWirestackAppVST::StopAudio() {
    if (!audio_master_) return;
    audio_master_->Stop();
    RegisterModuleTargets(*document_->root, false);
    if (top_unit_generator_) top_unit_generator_->Close();
    ClearUnitGeneratorLinks(*document_->root);
    top_unit_generator_.reset();
    audio_master_.reset();
}

const vst::VstTimeInfo* CWirestackAppVST::HostTimeInfo(int32_t wanted_flags) {
    return reinterpret_cast<const vst::VstTimeInfo*>(plugin_->CallHost(vst::audioMasterGetTime, 0, wanted_flags));
}

void CWirestackAppVST::Idle() {
    to_panel.Pump([this](const queued_message& message) { DeliverPanelMessage(message); });
    std::erase_if(idle_list_, [](ui_msg_target* target) { return !target->OnIdle(); });
}

void CWirestackAppVST::DeliverPanelMessage(const queued_message& message) {
    message_stream stream(message.payload);
    if (message.target == MessageHandle()) {
        if (message.code == MessageCode("mbox")) {
            const std::string text = stream.ReadText();
            platform::ShowMessage(text, static_cast<int>(stream.Read32()));
        } else if (message.code == MessageCode("idle")) {
            AddToIdleList(stream.ReadInt32());
        }
        return;
    }
    const auto found = panel_targets_.find(message.target);
    if (found != panel_targets_.end()) found->second->OnPanelMessage(message.code, stream);
}

void CWirestackAppVST::RemovePanelTarget(int32_t handle) {
    const auto found = panel_targets_.find(handle);
    if (found == panel_targets_.end()) return;
    std::erase(idle_list_, found->second);
    panel_targets_.erase(found);
}

void CWirestackAppVST::AskForIdle(int32_t handle) {
    if (platform::CurrentThreadId() == creating_thread_) {
        AddToIdleList(handle);
        return;
    }
    message_out(to_panel, MessageHandle(), MessageCode("idle")).Write32(static_cast<uint32_t>(handle)).Send();
}

void CWirestackAppVST::AddToIdleList(int32_t handle) {
    const auto found = panel_targets_.find(handle);
    if (found == panel_targets_.end() || std::ranges::find(idle_list_, found->second) != idle_list_.end()) return;
    idle_list_.push_back(found->second);
}
