// Cost of a VCA per host block: a running signal times a static volume (one
// gain for the block) against a running volume (a table read per sample).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "engine/audio_master.h"
#include "engine/ug_container.h"
#include "project/module_registry.h"

namespace {

constexpr int kHostBlock = 512;

class bench_client : public audio_master_client {
public:
    const vst::VstTimeInfo* HostTimeInfo(int32_t) override { return nullptr; }
    void ShowMessageFromAudio(const std::string&, int) override {}
};

// A test tone into a VCA's Signal; Volume from a second tone or a constant.
struct vca_graph {
    bench_client client;
    std::unique_ptr<WsAudioMaster> master = std::make_unique<WsAudioMaster>(&client, kHostBlock, 44100.0f);
    std::unique_ptr<ug_container> top = std::make_unique<ug_container>();

    vca_graph(bool running_volume, const char* curve) {
        top->audio_master = master.get();
        top->sort_order = 1 << 20;
        ug_base* vca = Add("VCA", 0);
        Connect(Add("1 KHz Tone", 8)->GetPlug(0), vca->GetPlug(0));
        if (running_volume)
            Connect(Add("1 KHz Tone", 8)->GetPlug(0), vca->GetPlug(1));
        else
            vca->ApplyDefault(vca->GetPlug(1), "7");
        vca->ApplyDefault(vca->GetPlug(3), curve);
        master->Start(top.get());
        master->Process(kHostBlock);
    }
    ~vca_graph() {
        top.reset();
        master.reset();
    }
    ug_base* Add(const char* unique_id, int sort_order) {
        ug_base* ug = top->Add(ModuleRegistry::Instance().CreateUnitGenerator(unique_id));
        ug->CreatePlugsFromInterface();
        ug->SetupPlugs();
        ug->sort_order = sort_order;
        return ug;
    }
};

// range(0): 0 static volume, 1 running volume; range(1): the Response Curve value.
void BM_Vca(benchmark::State& state) {
    vca_graph graph(state.range(0) != 0, std::to_string(state.range(1)).c_str());
    for (auto _ : state) graph.master->Process(kHostBlock);
    state.SetLabel(std::string(state.range(0) != 0 ? "running" : "static") + " volume, per host block of 512");
}

}  // namespace

BENCHMARK(BM_Vca)->ArgsProduct({{0, 1}, {1, 2, 3}});
