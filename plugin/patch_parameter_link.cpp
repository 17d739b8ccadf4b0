#include "plugin/patch_parameter_link.h"

#include "engine/audio_master.h"
#include "engine/message_stream.h"
#include "plugin/app_vst.h"
#include "project/patch_values.h"

namespace {

// The flag the audio side reports a change with.
constexpr uint8_t kChangedByHost = 1;
// What panel-side changes are applied with on the audio side.
constexpr uint8_t kChangedOnPanel = 0;

}  // namespace

patch_parameter_link::patch_parameter_link(CWirestackAppVST& app, CPatchManager& manager) : app_(app), manager_(manager) {
    for (const patch_parameter_record& parameter : manager.Parameters()) {
        auto target = std::make_unique<parameter_target>(manager, parameter.id);
        app_.AddPanelTarget(parameter.message_handle, target.get());
        targets_.emplace_back(parameter.message_handle, std::move(target));
    }
    manager_.AddListener(this);
}

patch_parameter_link::~patch_parameter_link() {
    manager_.RemoveListener(this);
    for (const auto& [handle, target] : targets_) app_.RemovePanelTarget(handle);
}

void patch_parameter_link::OnPatchValueChanged(const patch_parameter_record& parameter, value_source source) {
    WsAudioMaster* audio_master = app_.AudioMaster();
    const bool from_audio = source == value_source::audio || source == value_source::host_via_audio;
    if (from_audio || audio_master == nullptr) return;
    message_out message(audio_master->PanelQueue(), parameter.message_handle, MessageCode("ppc\0"));
    message.Write8(kChangedOnPanel);
    WriteMessageValue(message, parameter.ValueFor(manager_.CurrentProgram()));
    message.Send();
}

void patch_parameter_link::parameter_target::OnPanelMessage(int32_t code, message_stream& stream) {
    patch_parameter_record* parameter = manager_.FindParameter(id_);
    if (code != MessageCode("ppc\0") || parameter == nullptr) return;
    const uint8_t flag = stream.Read8();
    const patch_value value = ReadMessageValue(stream, parameter->values.at(0));
    manager_.SetValue(*parameter, -1, value, flag == kChangedByHost ? value_source::host_via_audio : value_source::audio);
}
