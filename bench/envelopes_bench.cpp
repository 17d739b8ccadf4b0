// Cost per sample of an ADSR in each stage: counted stages add one step per
// sample, a running rate input costs a power function per sample, a held
// envelope sleeps. The release tail costs what the start of the release
// costs: the level falls in equal steps and lands on an exact 0, so it never
// passes through denormal values.
#include <benchmark/benchmark.h>

#include "bench/bench_client.h"

#include <algorithm>
#include <memory>
#include <string>

#include "engine/audio_master.h"
#include "engine/ug_container.h"
#include "modules/envelopes.h"

namespace {

constexpr int kHostBlock = 512;
constexpr float kSampleRate = 44100.0f;


// A constant the benchmark sets, announced as static or running.
class bench_source : public ug_module<bench_source> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override {
        AddInterface(list, {.sample_ptr = &out_, .direction = DR_OUT, .name = "Out", .data_type = DT_AUDIO});
    }
    void Open() override {
        ug_base::Open();
        Announce();
    }
    // From the present sample on.
    void Set(float volts) {
        value_ = volts * 0.1f;
        Announce();
    }
    void Announce() {
        Wake();
        ResetStaticCountdown();
        SetProcess(&bench_source::Fill);
        GetPlug(0)->TransmitStatus(sample_clock, running ? ST_RUN : ST_STATIC);
    }
    void Fill(int start, int count) {
        std::fill(out_ + start, out_ + start + count, value_);
        if (!running) CountStaticSamples(count);
    }

    bool running = false;

private:
    float* out_ = nullptr;
    float value_ = 0.0f;
};

// Attack, Decay, Sustain and Release in volts; a rate of 30 V lasts for hours.
struct adsr_settings {
    float attack;
    float decay;
    float release;
    bool running_rates = false;
    bool running_gate = false;
};

struct adsr_graph : bench_engine {
    bench_source* gate = nullptr;

    explicit adsr_graph(const adsr_settings& settings) : bench_engine(kHostBlock, kSampleRate) {
        ug_base* adsr = Add(std::make_unique<ug_adsr>(), 20);
        gate = Feed(adsr, 0, 0.0f, settings.running_gate);
        const float rates[] = {settings.attack, settings.decay, 0.0f, settings.release};
        for (int plug = 1; plug <= 4; ++plug) {
            if (plug == 3)
                adsr->ApplyDefault(adsr->GetPlug(plug), "7");
            else
                Feed(adsr, plug, rates[plug - 1], settings.running_rates);
        }
        adsr->ApplyDefault(adsr->GetPlug(5), "10");
        master->Start(top.get());
    }
    bench_source* Feed(ug_base* adsr, int plug, float volts, bool running) {
        auto* source = static_cast<bench_source*>(Add(std::make_unique<bench_source>(), 30));
        source->running = running;
        source->Set(volts);
        Connect(source->GetPlug(0), adsr->GetPlug(plug));
        return source;
    }
    void Run(int samples) {
        for (int done = 0; done < samples; done += kHostBlock) master->Process(kHostBlock);
    }
};

enum stage { attack, decay, sustain, release };

// The envelope is driven into one stage that outlasts the benchmark, then timed there.
void TimeStage(benchmark::State& state, adsr_settings settings, stage timed) {
    if (timed != attack) settings.attack = 0.0f;
    if (timed == sustain || timed == release) settings.decay = 0.0f;
    adsr_graph graph(settings);
    graph.gate->Set(5.0f);
    if (timed != attack) graph.Run(kHostBlock * 4);  // through a 9.8 ms attack
    if (timed == sustain || timed == release) graph.Run(kHostBlock * 4);  // and a 3 ms decay
    if (timed == release) graph.gate->Set(0.0f);
    for (auto _ : state) graph.master->Process(kHostBlock);
    state.SetItemsProcessed(state.iterations() * kHostBlock);
}

void BM_AdsrStage(benchmark::State& state) {
    const auto timed = static_cast<stage>(state.range(0));
    const char* names[] = {"attack", "decay", "sustain (asleep)", "release"};
    state.SetLabel(names[timed]);
    TimeStage(state, {.attack = 30.0f, .decay = 30.0f, .release = 30.0f}, timed);
}

// Rates from running sources: every sample converts its rate.
void BM_AdsrStageRunningRate(benchmark::State& state) {
    const auto timed = static_cast<stage>(state.range(0));
    state.SetLabel(timed == attack ? "attack" : "release");
    TimeStage(state, {.attack = 30.0f, .decay = 30.0f, .release = 30.0f, .running_rates = true}, timed);
}

// A running gate is scanned for edges sample by sample, even while holding.
void BM_AdsrRunningGate(benchmark::State& state) {
    const auto timed = static_cast<stage>(state.range(0));
    state.SetLabel(timed == decay ? "decay" : "sustain");
    TimeStage(state, {.attack = 30.0f, .decay = 30.0f, .release = 30.0f, .running_gate = true}, timed);
}

// A 10 V release from 10 V lasts 10.08 s (444 500 samples); the first and the
// last 40 960 samples of it are timed.
void BM_ReleaseTail(benchmark::State& state) {
    constexpr int kTimed = 40960;
    constexpr int kRelease = 444500;
    const bool tail = state.range(0) == 1;
    state.SetLabel(tail ? "last 0.93 s, below 1 V" : "first 0.93 s");
    for (auto _ : state) {
        state.PauseTiming();
        auto graph = std::make_unique<adsr_graph>(adsr_settings{.attack = 0.0f, .decay = 30.0f, .release = 10.0f});
        graph->gate->Set(5.0f);
        graph->Run(kHostBlock * 4);  // the attack: the decay starts at 10 V and hardly moves
        graph->gate->Set(0.0f);
        if (tail) graph->Run(kRelease - kTimed - kHostBlock);
        state.ResumeTiming();
        graph->Run(kTimed);
        state.PauseTiming();
        graph.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kTimed);
}

BENCHMARK(BM_AdsrStage)->DenseRange(attack, release);
BENCHMARK(BM_AdsrStageRunningRate)->Arg(attack)->Arg(release);
BENCHMARK(BM_AdsrRunningGate)->Arg(decay)->Arg(sustain);
BENCHMARK(BM_ReleaseTail)->Arg(0)->Arg(1);

}  // namespace
