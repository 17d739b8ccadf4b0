// Helpers for measuring modules in a hand-built graph: a test-driven sine or
// constant source, a source of any function of the clock, document defaults,
// and measures of what comes out of a plug.
#pragma once

#include <cmath>
#include <complex>
#include <functional>
#include <map>
#include <numbers>
#include <span>
#include <string>
#include <vector>

#include "support/engine_fixture.h"

// A sine of `frequency` Hz and `amplitude` while running; Hold(value) turns it
// into a constant, announced as static, from the present sample on.
class ug_sine_source : public ug_module<ug_sine_source> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override {
        AddInterface(list, {.sample_ptr = &out_, .direction = DR_OUT, .name = "Out", .data_type = DT_AUDIO});
    }
    void Open() override {
        ug_base::Open();
        SetProcess(&ug_sine_source::Run);
        GetPlug(0)->TransmitStatus(sample_clock, ST_RUN);
    }
    void Hold(float value) {
        held_ = value;
        SetProcess(&ug_sine_source::RunHeld);
        GetPlug(0)->TransmitStatus(sample_clock, ST_STATIC);
    }
    void Run(int start, int count) {
        const double step = 2.0 * std::numbers::pi * frequency / SampleRate();
        for (int i = start; i < start + count; ++i) {
            out_[i] = static_cast<float>(amplitude * std::sin(phase_));
            phase_ = std::fmod(phase_ + step, 2.0 * std::numbers::pi);
        }
    }
    void RunHeld(int start, int count) {
        for (int i = start; i < start + count; ++i) out_[i] = held_;
    }

    double frequency = 440.0;
    double amplitude = 0.1;

private:
    float* out_ = nullptr;
    double phase_ = 0.0;
    float held_ = 0.0f;
};

// Runs the engine block by block for `samples` samples and returns what each
// of `outputs` held, one vector per plug.
inline std::vector<std::vector<float>> Capture(engine_fixture& engine, std::span<UPlug* const> outputs, int samples) {
    const int block = engine.master->BlockSize();
    std::vector<std::vector<float>> captured(outputs.size());
    for (int done = 0; done < samples; done += block) {
        engine.master->Process(block);
        for (std::size_t i = 0; i < outputs.size(); ++i) {
            const float* data = outputs[i]->Block()->Data();
            captured[i].insert(captured[i].end(), data, data + block);
        }
    }
    return captured;
}

inline std::vector<float> Capture(engine_fixture& engine, UPlug* output, int samples) {
    UPlug* const outputs[] = {output};
    return Capture(engine, outputs, samples).front();
}

inline double Rms(std::span<const float> signal) {
    double sum = 0.0;
    for (float sample : signal) sum += double(sample) * sample;
    return std::sqrt(sum / static_cast<double>(signal.size()));
}

// The component of `signal` at `frequency`, Hann-windowed so that a window of
// a non-whole number of cycles leaks next to nothing into it.
inline std::complex<double> Phasor(std::span<const float> signal, double frequency, double sample_rate) {
    const double n = static_cast<double>(signal.size());
    std::complex<double> sum;
    for (std::size_t i = 0; i < signal.size(); ++i) {
        const double window = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / n);
        sum += window * signal[i] * std::polar(1.0, -2.0 * std::numbers::pi * frequency * static_cast<double>(i) / sample_rate);
    }
    return sum;
}

// Plays `samples` one after another from Open, then holds the last one; its
// output runs throughout.
class ug_samples_source : public ug_module<ug_samples_source> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override {
        AddInterface(list, {.sample_ptr = &out_, .direction = DR_OUT, .name = "Out", .data_type = DT_AUDIO});
    }
    void Open() override {
        ug_base::Open();
        SetProcess(&ug_samples_source::Run);
        GetPlug(0)->TransmitStatus(sample_clock, ST_RUN);
    }
    void Run(int start, int count) {
        for (int i = start; i < start + count; ++i, ++next_)
            out_[i] = samples.empty() ? 0.0f : samples[std::min(next_, samples.size() - 1)];
    }

    std::vector<float> samples;

private:
    float* out_ = nullptr;
    std::size_t next_ = 0;
};

// Records the list and float values wired into it, with the sample each arrived at.
class ug_value_recorder : public ug_module<ug_value_recorder> {
public:
    enum plug_index { kList, kFloat };
    struct change {
        uint32_t time;
        int plug;
        float value;
    };

    void ListInterface(std::vector<InterfaceObject>& list) override {
        AddInterface(list, {.direction = DR_IN, .name = "List In", .data_type = DT_ENUM, .variable = &list_value_});
        AddInterface(list, {.direction = DR_IN, .name = "Float In", .data_type = DT_FLOAT, .variable = &float_value_});
    }
    void Open() override {
        ug_base::Open();
        SetProcess(&ug_base::SleepIfIdle);
    }
    void OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) override {
        const int plug = connection->to->index;
        changes.push_back({time, plug, plug == kList ? static_cast<float>(list_value_) : float_value_});
    }

    std::vector<change> changes;

private:
    int16_t list_value_ = 0;
    float float_value_ = 0.0f;
};

// A running source whose sample at clock n is `signal(n)`: sweeps, steps and
// edges placed on exact samples.
class ug_function_source : public ug_module<ug_function_source> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override {
        AddInterface(list, {.sample_ptr = &out_, .direction = DR_OUT, .name = "Out", .data_type = DT_AUDIO});
    }
    void Open() override {
        ug_base::Open();
        SetProcess(&ug_function_source::Run);
        GetPlug(0)->TransmitStatus(sample_clock, ST_RUN);
    }
    void Run(int start, int count) {
        for (int i = 0; i < count; ++i) out_[start + i] = signal(sample_clock + static_cast<uint32_t>(i));
    }

    std::function<float(uint32_t)> signal = [](uint32_t) { return 0.0f; };

private:
    float* out_ = nullptr;
};

// Gives every unconnected input its default, as graph construction does with a
// document module's plugs; `values` replaces the defaults of the plugs it names.
inline void ApplyInputDefaults(ug_base* ug, const std::map<int, std::string>& values = {}) {
    std::vector<InterfaceObject> list;
    ug->ListInterface(list);
    for (int i = 0; i < ug->PlugCount(); ++i) {
        UPlug* plug = ug->GetPlug(i);
        if (!plug->IsInput() || plug->data_type == DT_MIDI || !plug->connections.empty()) continue;
        const auto value = values.find(i);
        ug->ApplyDefault(plug, value != values.end() ? value->second : list[static_cast<std::size_t>(i)].default_value);
    }
}

// Frequency from the rising zero crossings, each placed between its two
// samples by linear interpolation.
inline double CrossingFrequency(std::span<const float> signal, double sample_rate) {
    double first = -1.0;
    double last = -1.0;
    int crossings = 0;
    for (std::size_t i = 1; i < signal.size(); ++i) {
        if (!(signal[i - 1] < 0.0f && signal[i] >= 0.0f)) continue;
        const double at = static_cast<double>(i - 1) + signal[i - 1] / (signal[i - 1] - signal[i]);
        if (crossings++ == 0) first = at;
        last = at;
    }
    return crossings < 2 ? 0.0 : (crossings - 1) * sample_rate / (last - first);
}
