#include "plugin/host_parameters.h"

#include <algorithm>

#include "engine/audio_master.h"
#include "engine/message_stream.h"
#include "plugin/ws_vst.h"
#include "project/controls.h"
#include "project/doc_objects.h"
#include "project/doc_plugs.h"
#include "project/programs.h"

// ---- host_parameter ------------------------------------------------------------

void host_parameter::attachToPlugin(WsVst* plugin, int index) {
    plugin_ = plugin;
    index_ = index;
}

void host_parameter::AutomateIfMoved(float normalised) {
    if (normalised == last_sent_ || plugin_ == nullptr) return;
    last_sent_ = normalised;
    plugin_->CallHost(vst::audioMasterAutomate, index_, 0, nullptr, normalised);
}

// ---- param_info_new ------------------------------------------------------------

param_info_new::param_info_new(CPatchManager& manager, const patch_parameter_record& parameter)
    : manager_(manager), id_(parameter.id), message_handle_(parameter.message_handle), metadata_(MetadataOf(parameter)) {
    Track(NormalisedValue(parameter.ValueFor(manager.CurrentProgram()), metadata_));
    manager_.AddListener(this);
}

param_info_new::~param_info_new() { manager_.RemoveListener(this); }

const patch_parameter_record* param_info_new::Parameter() const { return manager_.FindParameter(id_); }

void param_info_new::setNormalised(float value) {
    patch_parameter_record* parameter = manager_.FindParameter(id_);
    if (parameter == nullptr) return;
    const std::optional<patch_value> chosen = ValueAtNormalised(parameter->values.at(0), value, metadata_);
    if (chosen) manager_.SetValue(*parameter, -1, *chosen, value_source::host);
}

void param_info_new::postNormalised(float value, WsAudioMaster* audio_master) {
    Track(value);
    message_out(audio_master->AutomationQueue(), message_handle_, MessageCode("ppca")).WriteFloat(value).Send();
}

std::string param_info_new::getName() const {
    const patch_parameter_record* parameter = Parameter();
    return parameter != nullptr ? parameter->name : std::string();
}

std::string param_info_new::getDisplay() const {
    const patch_parameter_record* parameter = Parameter();
    return parameter != nullptr ? DisplayText(parameter->ValueFor(manager_.CurrentProgram()), metadata_) : std::string();
}

void param_info_new::OnPatchValueChanged(const patch_parameter_record& parameter, value_source source) {
    if (parameter.id != id_) return;
    const float normalised = NormalisedValue(parameter.ValueFor(manager_.CurrentProgram()), metadata_);
    Track(normalised);
    if (source == value_source::program) return;
    const bool reports_output = parameter.plug != nullptr && parameter.plug->Direction() == DR_OUT;
    const bool from_host = source == value_source::host || source == value_source::host_via_audio;
    if (reports_output || !from_host) AutomateIfMoved(normalised);
}

// ---- param_info ------------------------------------------------------------------

param_info::param_info(CControl& control) : control_(control) {
    Track(control_.getNormalised());
    control_.AddObserver(this);
}

param_info::~param_info() { control_.RemoveObserver(this); }

void param_info::setNormalised(float value) {
    setting_from_host_ = true;
    control_.setNormalised(value);
    setting_from_host_ = false;
}

// The control's unit generator takes the value on the audio thread and the
// panel learns it back through its refresh request.
void param_info::postNormalised(float value, WsAudioMaster* audio_master) {
    Track(value);
    message_out(audio_master->AutomationQueue(), control_.MessageHandle(), MessageCode("ppca")).WriteFloat(value).Send();
}

std::string param_info::getName() const { return control_.getName(); }
std::string param_info::getLabel() const { return control_.getUnits(); }
std::string param_info::getDisplay() const { return control_.getValueText(); }
bool param_info::isAutomatable() const { return control_.isAutomatable(); }
bool param_info::isOutput() const { return control_.isOutput(); }

void param_info::OnDocNotify(int code, CObject* subject, CObject* about) {
    if (code != NOTIFY_VALUE_CHANGED) return;
    const float normalised = control_.getNormalised();
    Track(normalised);
    const bool from_audio = about != nullptr;
    if (isOutput() || (isAutomatable() && !setting_from_host_ && !from_audio)) AutomateIfMoved(normalised);
}

// ---- the table ---------------------------------------------------------------------

std::vector<std::unique_ptr<vst_parameter>> BuildHostParameters(const CContainer& top, WsVst& plugin) {
    std::vector<std::unique_ptr<host_parameter>> collected;
    if (CPatchManager* manager = top.PatchManager()) {
        for (const patch_parameter_record& parameter : manager->Parameters())
            if (!parameter.is_private) collected.push_back(std::make_unique<param_info_new>(*manager, parameter));
    }
    for (CControl* control : ParameterControls(top)) collected.push_back(std::make_unique<param_info>(*control));
    std::ranges::stable_sort(collected, [](const auto& a, const auto& b) { return InHostOrder(*a, *b); });
    std::vector<std::unique_ptr<vst_parameter>> table;
    for (auto& parameter : collected) {
        parameter->attachToPlugin(&plugin, static_cast<int>(table.size()));
        table.push_back(std::move(parameter));
    }
    return table;
}
