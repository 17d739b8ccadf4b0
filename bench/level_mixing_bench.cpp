// Cost of the VCA per host block: a running signal times a static volume (one
// gain for the block) against a running volume (a gain per sample, read from
// the curve's table). A chain of VCAs shares one signal tone and one volume
// tone; the chain without VCAs times the tones alone, so the VCAs' own cost
// is the difference.
#include <benchmark/benchmark.h>

#include "bench/bench_client.h"

#include <memory>
#include <string>

#include "engine/audio_master.h"
#include "engine/ug_container.h"
#include "project/module_registry.h"

namespace {

constexpr int kHostBlock = 512;
constexpr int kChainLength = 16;


struct vca_chain : bench_engine {

    vca_chain(int length, bool running_volume, const std::string& curve) : bench_engine(kHostBlock) {
        UPlug* signal = Add("1 KHz Tone", 4 * length + 4)->GetPlug(0);
        UPlug* volume = running_volume ? Add("1 KHz Tone", 4 * length + 4)->GetPlug(0) : nullptr;
        for (int i = 0; i < length; ++i) {
            ug_base* vca = Add("VCA", 4 * (length - i));
            Connect(signal, vca->GetPlug(0));
            if (volume != nullptr)
                Connect(volume, vca->GetPlug(1));
            else
                vca->ApplyDefault(vca->GetPlug(1), "7");
            vca->ApplyDefault(vca->GetPlug(3), curve);
            signal = vca->GetPlug(2);
        }
        master->Start(top.get());
        master->Process(kHostBlock);
    }
};

// range(0): chain length (0 for the tones alone); range(1): 0 static volume,
// 1 running volume; range(2): the Response Curve value.
void BM_VcaChain(benchmark::State& state) {
    vca_chain chain(static_cast<int>(state.range(0)), state.range(1) != 0, std::to_string(state.range(2)));
    for (auto _ : state) chain.master->Process(kHostBlock);
    state.SetLabel(std::string(state.range(1) != 0 ? "running" : "static") + " volume, per host block of 512");
}

}  // namespace

BENCHMARK(BM_VcaChain)->ArgsProduct({{0, kChainLength}, {0, 1}, {1, 2, 3}});
