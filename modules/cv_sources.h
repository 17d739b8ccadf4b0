// Modules that make control voltages from events and values: random steps,
// the monostable, float-to-volts and fixed values. Their outputs change at
// single samples, so they write one block after each change and sleep.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/smart_output.h"
#include "modules/level_mixing.h"

// A module with one audio output that a smart_output drives: it opens with
// the output attached and sleeps whenever the output has nothing to write.
template <class Module>
class ug_stepped_output : public ug_module<Module> {
public:
    void Resume() override {
        ug_base::Resume();
        output_.Resume();
    }

protected:
    explicit ug_stepped_output(smart_output::curve kind) : output_(kind, 1) {}
    void OpenWithOutput(int output_plug) {
        ug_base::Open();
        output_.Attach(this->GetPlug(output_plug));
        this->SetProcess(&ug_stepped_output::WriteOutput);
    }
    void WriteOutput(int start, int count) {
        if (!output_.Process(start, count)) this->SleepIfIdle(start, count);
    }

    smart_output output_;
};

// "random": a new value between 0 and 10 V each time an input changes
// while Trigger in is on.
class ug_random : public ug_stepped_output<ug_random> {
public:
    ug_random() : ug_stepped_output(smart_output::linear) {}
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;
    void OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) override;

private:
    uint8_t trigger_ = 0;
};

// "Monostable": a 5 V pulse of Pulse Length seconds (1.0 = 1 s) at each rise
// of the input through a Schmitt trigger; rises during a pulse are ignored.
class ug_monostable : public ug_stepped_output<ug_monostable> {
public:
    ug_monostable() : ug_stepped_output(smart_output::step) {}
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;
    void OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) override;

private:
    enum plug_index { kSignal, kPulseLength, kOutput };
    // True when the input crosses the upper threshold from below.
    bool Rises(float x);
    void StartPulse(uint32_t time, float pulse_length);
    void EndPulseIfDue(uint32_t time);
    void Run(int start, int count);

    float* signal_ = nullptr;
    float* pulse_length_ = nullptr;
    bool input_high_ = false;
    bool in_pulse_ = false;
    uint32_t pulse_end_ = 0;
};

// "FloatToVolts": a float value as a voltage, ramped to its new value so
// that a jump does not click.
class ug_float_to_volts : public ug_stepped_output<ug_float_to_volts> {
public:
    ug_float_to_volts() : ug_stepped_output(smart_output::linear) {}
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void PlugCreated(int index, UPlug* plug) override { BindToInterface(*this, index, plug); }
    void Open() override;
    void OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) override;

private:
    enum plug_index { kSmoothing, kFloatIn, kVoltsOut };
    int RampLength() const;

    int16_t smoothing_ = 2;
    float value_ = 0.0f;
    bool first_value_ = true;
};

// "Fixed Values": outputs that hold the values the document gives them.
// Graph construction fills them before the engine starts; the module never
// runs.
class ug_fixed_values : public ug_module<ug_fixed_values> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;
};
