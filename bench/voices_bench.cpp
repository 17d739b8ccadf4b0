// Cost of a polyphonic patch per host block: sixteen voices held, the same
// voices after their notes were released and they went to sleep, and the
// patch before any note was played. Sleeping voices should cost next to
// nothing, so the last two should be close.
#include <benchmark/benchmark.h>

#include "bench/bench_client.h"

#include <memory>
#include <string>

#include "engine/audio_master.h"
#include "engine/graph_builder.h"
#include "engine/ug_container.h"
#include "project/doc_objects.h"
#include "project/project_document.h"
#include "tools/patch_text.h"

namespace {

constexpr int kHostBlock = 512;
constexpr float kRate = 44100.0f;
constexpr int kVoices = 16;
constexpr int kFirstNote = 48;

// "Keys" stands in for the host's MIDI; "Sink" takes the voices' output
// outside the container, as the plug-in's output would.
constexpr const char* kPolyPatch = R"({
  "modules": [
    {
      "type": "Container",
      "title": "Synth",
      "plugs": {"Polyphony": "16"},
      "modules": [
        {"type": "Midi to CV", "title": "Notes"},
        {"type": "Oscillator", "title": "Osc", "plugs": {"Waveform": "1"}},
        {"type": "ADSR", "title": "Env", "plugs": {"Attack": "2", "Decay": "5", "Sustain": "6", "Release": "3"}},
        {"type": "VCA", "title": "Amp"}
      ],
      "wires": [
        {"from": "IO Mod/MIDI In", "to": "Notes/MIDI In"},
        {"from": "Notes/Pitch", "to": "Osc/Pitch"},
        {"from": "Notes/Gate", "to": "Env/Gate"},
        {"from": "Osc/Audio Out", "to": "Amp/Signal"},
        {"from": "Env/Signal Out", "to": "Amp/Volume"},
        {"from": "Amp/Output", "to": "IO Mod/Left"}
      ]
    },
    {"type": "MIDI Adder2", "title": "Keys"},
    {"type": "VCA", "title": "Sink"}
  ],
  "wires": [
    {"from": "Keys/Out", "to": "Synth/MIDI In"},
    {"from": "Synth/Left", "to": "Sink/Signal"}
  ]
})";

CUG& ModuleTitled(const CContainer& container, const std::string& title) {
    for (const auto& child : container.Children())
        if (auto* module = dynamic_cast<CUG*>(child.get()); module != nullptr && module->Title() == title) return *module;
    throw std::invalid_argument("no module " + title);
}

class poly_engine {
public:
    poly_engine()
        : document_(tools::CompilePatchText(kPolyPatch)),
          master_(std::make_unique<WsAudioMaster>(&client_, kHostBlock, kRate)),
          top_(BuildGraph(*document_->root, *master_)),
          keys_(ModuleTitled(*document_->root, "Keys").unit_generator),
          voices_(*static_cast<ug_container*>(ModuleTitled(*document_->root, "Synth").unit_generator)) {
        master_->Start(top_.get());
        Run(4);  // settle: voices that never played go to sleep
    }
    ~poly_engine() {
        top_->Close();
        ClearUnitGeneratorLinks(*document_->root);
        top_.reset();
        master_.reset();
    }

    void Run(int blocks) {
        for (int block = 0; block < blocks; ++block) master_->Process(kHostBlock);
    }
    // One note per voice, all at the start of the next block.
    void PlayAll(int status, int velocity) {
        for (int note = kFirstNote; note < kFirstNote + kVoices; ++note)
            keys_->QueueMidi(master_->SampleClock(), status | (note << 8) | (velocity << 16), keys_->GetPlug(1));
    }
    int Count(bool (*wanted)(const Voice&)) {
        int count = 0;
        for (int index = 0; index < voices_.VoiceCount(); ++index) count += wanted(voices_.GetVoice(index)) ? 1 : 0;
        return count;
    }
    int Held() {
        return Count([](const Voice& voice) { return voice.IsHeld() && !voice.suspended; });
    }
    int Asleep() {
        return Count([](const Voice& voice) { return voice.suspended; });
    }
    int VoiceCount() const { return voices_.VoiceCount(); }

private:
    bench_client client_;
    std::unique_ptr<project_document> document_;
    std::unique_ptr<WsAudioMaster> master_;
    std::unique_ptr<ug_container> top_;
    ug_base* keys_;
    ug_container& voices_;
};

void Measure(benchmark::State& state, poly_engine& engine) {
    for (auto _ : state) engine.Run(1);
    state.SetLabel("per host block of 512");
}

void BM_VoicesHeld(benchmark::State& state) {
    poly_engine engine;
    engine.PlayAll(0x90, 100);
    engine.Run(static_cast<int>(kRate) / kHostBlock);  // past attack and decay, into the sustain
    if (engine.Held() != kVoices) return state.SkipWithError("not every voice holds a note");
    Measure(state, engine);
}

void BM_VoicesSuspended(benchmark::State& state) {
    poly_engine engine;
    engine.PlayAll(0x90, 100);
    engine.Run(8);
    engine.PlayAll(0x80, 0);
    // Release, then the voice monitors' wait, each voice going to sleep when silent.
    for (int block = 0; block < 20 * static_cast<int>(kRate) / kHostBlock && engine.Asleep() < kVoices; ++block)
        engine.Run(1);
    if (engine.Asleep() != kVoices) return state.SkipWithError("released voices did not go to sleep");
    engine.Run(4);
    Measure(state, engine);
}

void BM_VoicesNeverPlayed(benchmark::State& state) {
    poly_engine engine;
    if (engine.VoiceCount() != kVoices || engine.Asleep() != kVoices)
        return state.SkipWithError("the voices are not all made and asleep");
    Measure(state, engine);
}

BENCHMARK(BM_VoicesHeld);
BENCHMARK(BM_VoicesSuspended);
BENCHMARK(BM_VoicesNeverPlayed);

}  // namespace
