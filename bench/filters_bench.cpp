// What a filter's tail costs once it has faded towards denormal numbers:
// every filter fed an impulse once a second and silence in between, timed
// with the processor's flush-to-zero and denormals-are-zero modes off and on.
// Where a filter guards its state the two cost the same; the one-pole
// recursion without its guard shows what the guard saves.
#include <benchmark/benchmark.h>

#include "bench/bench_client.h"
#include <xmmintrin.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "engine/audio_master.h"
#include "engine/ug_container.h"
#include "project/module_registry.h"

namespace {

constexpr int kHostBlock = 64;
constexpr float kRate = 44100.0f;
constexpr int kSecond = 44100;

// Sets or clears flush-to-zero (bit 15) and denormals-are-zero (bit 6) for
// its lifetime and puts the previous mode back.
class flush_mode {
public:
    explicit flush_mode(bool flush) : saved_(_mm_getcsr()) {
        _mm_setcsr(flush ? saved_ | kFlushBits : saved_ & ~kFlushBits);
    }
    ~flush_mode() { _mm_setcsr(saved_); }
    flush_mode(const flush_mode&) = delete;
    flush_mode& operator=(const flush_mode&) = delete;

private:
    static constexpr unsigned kFlushBits = (1u << 15) | (1u << 6);
    unsigned saved_;
};

// A running source of one impulse a second: the tail that follows has the
// whole second to fade, while Signal runs, so the filter never settles.
class ug_impulse_train : public ug_module<ug_impulse_train> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override {
        AddInterface(list, {.sample_ptr = &out_, .direction = DR_OUT, .name = "Out", .data_type = DT_AUDIO});
    }
    void Open() override {
        ug_base::Open();
        SetProcess(&ug_impulse_train::Run);
        GetPlug(0)->TransmitStatus(sample_clock, ST_RUN);
    }
    void Run(int start, int count) {
        for (int i = 0; i < count; ++i) out_[start + i] = (sample_clock + uint32_t(i)) % kSecond == 0 ? 0.5f : 0.0f;
    }

private:
    float* out_ = nullptr;
};


struct tail_case {
    const char* unique_id;
    const char* resonance_volts;  // null: the listed default
    const char* label;
};

// Every filter at a low cutoff (2 V, 110 Hz), whose tails are long, and the
// equaliser boosted 6 dB (without a boost it has no tail). The ladder guards
// its inner stages only while Signal stands still, so with no resonance
// feeding its guarded output back, a running silent Signal leaves them to
// sink into denormals.
const tail_case kCases[] = {
    {"SV Filter", nullptr, "SV Filter"},
    {"1 Pole LP", nullptr, "1 Pole LP"},
    {"1 Pole HP", nullptr, "1 Pole HP"},
    {"All Pass", nullptr, "All Pass"},
    {"Moog Filter", nullptr, "Moog Filter"},
    {"Moog Filter", "0", "Moog Filter, Resonance 0 V"},
    {"Parametric EQ", nullptr, "Parametric EQ, +6 dB"},
};

// The inputs other than Signal at their listed defaults, as graph
// construction gives them, with the case's own values.
struct tail_graph : bench_engine {

    explicit tail_graph(const tail_case& c) : bench_engine(kHostBlock, kRate) {
        ug_base* filter = Add(c.unique_id, 4);
        ug_base* impulses = Add(std::make_unique<ug_impulse_train>(), 8);
        Connect(impulses->GetPlug(0), filter->GetPlug(0));
        std::vector<InterfaceObject> descriptions;
        filter->ListInterface(descriptions);
        for (std::size_t i = 1; i < descriptions.size(); ++i) {
            const std::string& name = descriptions[i].name;
            std::string volts = descriptions[i].default_value;
            if (name == "Pitch") volts = "2";
            if (name == "Boost/Cut") volts = "0.6";
            if (name == "Resonance" && c.resonance_volts != nullptr) volts = c.resonance_volts;
            if (filter->GetPlug(int(i))->IsInput() && !volts.empty()) filter->ApplyDefault(filter->GetPlug(int(i)), volts);
        }
        // Whatever feeds the filter runs before it.
        for (const auto& input : filter->Plugs())
            for (plug_connection* connection : input->connections)
                if (input->IsInput()) connection->from->owner->sort_order = std::max(connection->from->owner->sort_order, 8);
        master->Start(top.get());
    }
};

void BM_FilterTail(benchmark::State& state) {
    const tail_case& c = kCases[state.range(0)];
    const flush_mode mode(state.range(1) != 0);
    tail_graph graph(c);
    for (auto _ : state) graph.master->Process(kSecond);
    state.SetItemsProcessed(state.iterations() * kSecond);
    state.SetLabel(std::string(c.label) + (state.range(1) != 0 ? ", FTZ+DAZ" : ", no flush"));
}

// The one-pole low-pass of "1 Pole LP" at the same cutoff, with and without
// its guard: left alone its tail sticks in denormal numbers for the rest of
// the second.
template <bool kGuard>
void BM_OnePoleRecursion(benchmark::State& state) {
    const flush_mode mode(state.range(0) != 0);
    const float a = std::exp(-6.2831855f * 110.0f / kRate);
    std::vector<float> out(kSecond);
    for (auto _ : state) {
        float y = 0.0f;
        float x = 0.5f;
        for (float& sample : out) {
            y = x + a * (y - x);
            if constexpr (kGuard) y = (y + 1e-18f) - 1e-18f;
            sample = y;
            x = 0.0f;
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSecond);
    state.SetLabel(state.range(0) != 0 ? "FTZ+DAZ" : "no flush");
}

BENCHMARK(BM_FilterTail)->ArgsProduct({{0, 1, 2, 3, 4, 5, 6}, {0, 1}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OnePoleRecursion<false>)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OnePoleRecursion<true>)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
