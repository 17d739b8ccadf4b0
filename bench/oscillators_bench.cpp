// Samples per second of saw oscillators: with a static pitch (one increment a
// block) and with a running pitch (an increment from every pitch sample and a
// table check at every run).
#include <benchmark/benchmark.h>

#include "bench/bench_client.h"

#include <memory>
#include <string>
#include <vector>

#include "engine/audio_master.h"
#include "engine/ug_container.h"
#include "project/module_registry.h"

namespace {

constexpr int kHostBlock = 512;
constexpr int kOscillators = 8;


// A running pitch that glides up and down a semitone around 5 V, so that the
// oscillators' increments change every sample; cheap enough not to count.
class ug_glide : public ug_module<ug_glide> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override {
        AddInterface(list, {.sample_ptr = &out_, .direction = DR_OUT, .name = "Out", .data_type = DT_AUDIO});
    }
    void Open() override {
        ug_base::Open();
        SetProcess(&ug_glide::Run);
        GetPlug(0)->TransmitStatus(sample_clock, ST_RUN);
    }
    void Run(int start, int count) {
        for (int i = start; i < start + count; ++i) {
            pitch_ += step_;
            if (pitch_ > 0.5f + kSemitone || pitch_ < 0.5f - kSemitone) step_ = -step_;
            out_[i] = pitch_;
        }
    }

private:
    static constexpr float kSemitone = 1.0f / 120.0f;
    float* out_ = nullptr;
    float pitch_ = 0.5f;
    float step_ = kSemitone / 4410.0f;
};

struct saw_graph : bench_engine {

    explicit saw_graph(bool running_pitch) : bench_engine(kHostBlock) {
        UPlug* glide = running_pitch ? Add(std::make_unique<ug_glide>(), 8)->GetPlug(0) : nullptr;
        for (int i = 0; i < kOscillators; ++i) {
            ug_base* saw = Add(ModuleRegistry::Instance().CreateUnitGenerator("Oscillator"), 4);
            if (glide != nullptr) Connect(glide, saw->GetPlug(0));
            ApplyListedDefaults(*saw);
        }
        master->Start(top.get());
        master->Process(kHostBlock);  // past the first table fade
    }
    // Every input nothing feeds takes its listed default (Saw, Smooth Peaks on...).
    static void ApplyListedDefaults(ug_base& ug) {
        std::vector<InterfaceObject> list;
        ug.ListInterface(list);
        for (std::size_t i = 0; i < list.size(); ++i) {
            UPlug* plug = ug.GetPlug(static_cast<int>(i));
            if (plug->IsInput() && plug->connections.empty()) ug.ApplyDefault(plug, list[i].default_value);
        }
    }
};

void RunSaws(benchmark::State& state, bool running_pitch) {
    saw_graph graph(running_pitch);
    for (auto _ : state) graph.master->Process(kHostBlock);
    state.SetItemsProcessed(state.iterations() * kHostBlock * kOscillators);
    state.SetLabel("items = oscillator samples");
}

void BM_SawStaticPitch(benchmark::State& state) { RunSaws(state, false); }
void BM_SawRunningPitch(benchmark::State& state) { RunSaws(state, true); }

BENCHMARK(BM_SawStaticPitch);
BENCHMARK(BM_SawRunningPitch);

}  // namespace
