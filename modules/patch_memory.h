// Patch-memory modules: a value held by the container's patch memory (a patch
// parameter bound to the "Value" plug) passed straight to the module's output.
// The value plug and the output share one member, so nothing is copied; the
// module only announces each change and sleeps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/ug_base.h"

template <class Value, class Module>
class ug_patch_memory : public ug_module<Module> {
public:
    // The value plug and the output: rows of the registry name no members.
    void PlugCreated(int index, UPlug* plug) override {
        if (plug->variable == nullptr) plug->variable = &value_;
    }
    void Open() override {
        ug_base::Open();
        this->SetProcess(&ug_base::SleepIfIdle);
    }
    // The input already holds the new value; the output only announces it.
    void OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) override {
        for (const auto& plug : this->Plugs())
            if (plug->direction == DR_OUT) plug->TransmitStatus(this->sample_clock, ST_STATIC);
    }

protected:
    Value value_{};
};

// "PatchMemFloatIn".
class ug_param_float_in2 : public ug_patch_memory<float, ug_param_float_in2> {};

// "PatchMemListIn2".
class ug_param_enum_in2 : public ug_patch_memory<int16_t, ug_param_enum_in2> {};

// "Patch Mem - Text in": registered with its own plug list.
class ug_param_text_in : public ug_patch_memory<std::string, ug_param_text_in> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override;
};
