// Modules that route or latch a signal: the switches, sample and hold, and
// the voltage-to-list converter.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "modules/level_mixing.h"
#include "project/enum_list.h"

// "Switch (1->Many)" (and the old "Z-Filter obsolete"): Input goes to the
// output that Choice names; the others carry 0. Its outputs are the plugs
// graph construction adds for each wired "Spare Output".
class ug_switch : public ug_module<ug_switch> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;
    void OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) override;

private:
    enum plug_index { kChoice, kInput, kFirstOutput };
    void Choose(uint32_t time);
    void Update(uint32_t time);
    void ZeroReleasedOutputs(int start, int count);
    void RouteRunning(int start, int count);
    void RouteStatic(int start, int count);

    int16_t choice_ = 0;
    float* input_ = nullptr;
    std::vector<float*> outputs_;
    // Samples of 0 still to write on outputs that were chosen before.
    std::vector<int> zero_countdowns_;
    int chosen_ = -1;
    float static_input_ = 0.0f;
};

// "Switch (Many->1)": the input that Choice names goes to Output. Its inputs
// are the plugs graph construction adds for each wired "Spare Input".
class ug_switch2 : public ug_module<ug_switch2> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;
    void OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) override;

private:
    enum plug_index { kChoice, kOutput, kFirstInput };
    void Update(uint32_t time);
    void Run(int start, int count);
    void Static(int start, int count);

    int16_t choice_ = 0;
    float* output_ = nullptr;
    std::vector<const float*> inputs_;
    const float* chosen_ = nullptr;
    float static_value_ = 0.0f;
};

// "Sample and Hold": takes Audio at each rise of Hold above 0 and keeps it.
class ug_sample_hold : public ug_module<ug_sample_hold> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;
    void OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) override;

private:
    enum plug_index { kAudio, kHold, kOutput };
    void Sample(float audio, float hold);
    void Run(int start, int count);
    void Static(int start, int count);

    float* audio_ = nullptr;
    float* hold_ = nullptr;
    float* output_ = nullptr;
    bool waiting_for_rise_ = true;
    float held_ = 0.0f;
};

// "Voltage To List": picks an entry of the list its output feeds, 0 V the
// first and 10 V the last, with hysteresis so that a noisy voltage on a
// boundary does not flicker between two entries.
class ug_voltage_to_enum : public ug_module<ug_voltage_to_enum> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;
    void OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) override;
    // The list text of "List Out", given by graph construction from the
    // document module before the module opens.
    void SetListText(const std::string& text) { list_text_ = text; }

private:
    enum plug_index { kSignal, kListOut };
    void Scan(float x, uint32_t time);
    void Run(int start, int count);

    float* signal_ = nullptr;
    int16_t list_out_ = 0;
    std::string list_text_;
    it_enum_list list_{""};
    int entry_count_ = 0;
    int index_ = -1;  // none chosen yet
    float band_low_ = 0.0f;
    float band_high_ = 0.0f;
};
