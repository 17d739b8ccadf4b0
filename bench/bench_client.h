// The application side an engine needs in a benchmark (no host, no messages),
// and an engine built by hand on it.
#pragma once

#include <memory>
#include <string>

#include "engine/audio_master.h"
#include "engine/ug_container.h"
#include "project/module_registry.h"

class bench_client : public audio_master_client {
public:
    const vst::VstTimeInfo* HostTimeInfo(int32_t) override { return nullptr; }
};

// An audio master and a top container to add unit generators to.
struct bench_engine {
    explicit bench_engine(int host_block, float sample_rate = 44100.0f)
        : master(std::make_unique<WsAudioMaster>(&client, host_block, sample_rate)) {
        top->audio_master = master.get();
        top->sort_order = 1 << 20;
    }
    ~bench_engine() {
        top.reset();
        master.reset();
    }
    bench_engine(const bench_engine&) = delete;
    bench_engine& operator=(const bench_engine&) = delete;

    ug_base* Add(std::unique_ptr<ug_base> made, int sort_order) {
        ug_base* ug = top->Add(std::move(made));
        ug->CreatePlugsFromInterface();
        ug->SetupPlugs();
        ug->sort_order = sort_order;
        return ug;
    }
    ug_base* Add(const char* unique_id, int sort_order) {
        return Add(ModuleRegistry::Instance().CreateUnitGenerator(unique_id), sort_order);
    }

    bench_client client;
    std::unique_ptr<WsAudioMaster> master;
    std::unique_ptr<ug_container> top = std::make_unique<ug_container>();
};
