#include "plugin/vst_plugin_base.h"

namespace {

vst_plugin_base* PluginOf(vst::AEffect* effect) { return static_cast<vst_plugin_base*>(effect->object); }

intptr_t WS_VST_CALL DispatcherEntry(vst::AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                     float opt) {
    vst_plugin_base* plugin = PluginOf(effect);
    const intptr_t result = plugin->Dispatch(opcode, index, value, ptr, opt);
    // effClose is the host's last word: the plug-in deletes itself.
    if (opcode == vst::effClose) delete plugin;
    return result;
}

void WS_VST_CALL ProcessEntry(vst::AEffect* effect, float** inputs, float** outputs, int32_t sample_frames) {
    PluginOf(effect)->ProcessAccumulating(inputs, outputs, sample_frames);
}

void WS_VST_CALL ProcessReplacingEntry(vst::AEffect* effect, float** inputs, float** outputs, int32_t sample_frames) {
    PluginOf(effect)->ProcessReplacing(inputs, outputs, sample_frames);
}

void WS_VST_CALL SetParameterEntry(vst::AEffect* effect, int32_t index, float value) {
    PluginOf(effect)->SetParameter(index, value);
}

float WS_VST_CALL GetParameterEntry(vst::AEffect* effect, int32_t index) {
    return PluginOf(effect)->GetParameter(index);
}

}  // namespace

vst_plugin_base::vst_plugin_base(vst::HostCallback host) : host_(host) {
    effect_.magic = vst::kEffectMagic;
    effect_.dispatcher = DispatcherEntry;
    effect_.process = ProcessEntry;
    effect_.setParameter = SetParameterEntry;
    effect_.getParameter = GetParameterEntry;
    effect_.processReplacing = ProcessReplacingEntry;
    effect_.numPrograms = 16;
    effect_.ioRatio = 1.0f;
    effect_.object = this;
    effect_.version = 1;
}

intptr_t vst_plugin_base::CallHost(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    if (host_ == nullptr) return 0;
    // The version query is the one call made before the record is handed out.
    return host_(opcode == vst::audioMasterVersion ? nullptr : &effect_, opcode, index, value, ptr, opt);
}
