// The plug-in side of the VST 2 interface: the record the host holds, the
// entry points that lead from it back to the object, and the host callback.
#pragma once

#include <cstdint>

#include "platform/vst2.h"

class vst_plugin_base {
public:
    explicit vst_plugin_base(vst::HostCallback host);
    virtual ~vst_plugin_base() = default;
    vst_plugin_base(const vst_plugin_base&) = delete;
    vst_plugin_base& operator=(const vst_plugin_base&) = delete;

    vst::AEffect* Effect() { return &effect_; }
    intptr_t CallHost(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f);

    virtual intptr_t Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) = 0;
    virtual void ProcessReplacing(float** inputs, float** outputs, int32_t sample_frames) = 0;
    virtual void ProcessAccumulating(float** inputs, float** outputs, int32_t sample_frames) = 0;
    virtual void SetParameter(int32_t index, float value) = 0;
    virtual float GetParameter(int32_t index) = 0;

protected:
    vst::AEffect effect_{};
    vst::HostCallback host_;
    float sample_rate_ = 44100.0f;
    int32_t block_size_ = 1024;
    int32_t current_program_ = 0;
};
