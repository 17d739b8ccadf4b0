// Cost of the audio master per host block: a graph whose unit generators all
// run against the same graph asleep, and the cost of handling events.
#include <benchmark/benchmark.h>

#include "bench/bench_client.h"

#include <memory>
#include <vector>

#include "engine/audio_master.h"
#include "engine/ug_container.h"
#include "project/module_registry.h"

namespace {

constexpr int kHostBlock = 512;


struct bench_graph : bench_engine {

    bench_graph() : bench_engine(kHostBlock) {}
    // A chain of `length` adders, fed by a running tone or by a constant.
    void BuildChain(int length, bool running) {
        UPlug* previous = nullptr;
        if (running) previous = Add("1 KHz Tone", 4 * length + 4)->GetPlug(0);
        for (int i = 0; i < length; ++i) {
            ug_base* adder = Add("Float Adder", 4 * (length - i));
            if (previous != nullptr)
                Connect(previous, adder->GetPlug(1));
            else
                adder->ApplyDefault(adder->GetPlug(1), "1");
            previous = adder->GetPlug(0);
        }
        master->Start(top.get());
        master->Process(kHostBlock);  // settle: static modules go to sleep
    }
};

void BM_GraphAwake(benchmark::State& state) {
    bench_graph graph;
    graph.BuildChain(static_cast<int>(state.range(0)), true);
    for (auto _ : state) graph.master->Process(kHostBlock);
    state.SetLabel("per host block of 512");
}

void BM_GraphAsleep(benchmark::State& state) {
    bench_graph graph;
    graph.BuildChain(static_cast<int>(state.range(0)), false);
    for (auto _ : state) graph.master->Process(kHostBlock);
    state.SetLabel("per host block of 512");
}

// MIDI messages queued at spread-out samples of every block and passed on
// through two mergers: the cost of queuing, splitting and handling events.
void BM_EventsPerBlock(benchmark::State& state) {
    bench_graph graph;
    ug_base* first = graph.Add("MIDI Adder2", 8);
    ug_base* second = graph.Add("MIDI Adder2", 4);
    Connect(first->GetPlug(0), second->GetPlug(1));
    graph.master->Start(graph.top.get());
    const int events = static_cast<int>(state.range(0));
    for (auto _ : state) {
        const uint32_t start = graph.master->SampleClock();
        for (int i = 0; i < events; ++i)
            first->QueueMidi(start + static_cast<uint32_t>(i * kHostBlock / events), 0x90 | (i << 8), first->GetPlug(1));
        graph.master->Process(kHostBlock);
    }
    state.SetItemsProcessed(state.iterations() * events);
}

BENCHMARK(BM_GraphAwake)->Arg(16)->Arg(64)->Arg(256);
BENCHMARK(BM_GraphAsleep)->Arg(16)->Arg(64)->Arg(256);
BENCHMARK(BM_EventsPerBlock)->Arg(0)->Arg(16)->Arg(128);

}  // namespace

BENCHMARK_MAIN();
