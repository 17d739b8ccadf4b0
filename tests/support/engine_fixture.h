// A small engine for tests: an audio master, a top container and probe modules
// that record what the engine does to them.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/audio_master.h"
#include "engine/message_stream.h"
#include "engine/ug_container.h"

// Answers the audio master's questions with fixed values and records messages.
class test_client : public audio_master_client {
public:
    const vst::VstTimeInfo* HostTimeInfo(int32_t wanted_flags) override {
        last_wanted_flags = wanted_flags;
        return has_time_info ? &time_info : nullptr;
    }
    // The message boxes the audio side asked for so far.
    std::vector<std::string> Messages() {
        to_panel.Pump([this](const queued_message& message) {
            message_stream stream(message.payload);
            if (message.code == MessageCode("mbox")) messages.push_back(stream.ReadText());
        });
        return messages;
    }

    bool has_time_info = false;
    vst::VstTimeInfo time_info{};
    int32_t last_wanted_flags = 0;
    std::vector<std::string> messages;
};

// Doubles its audio input; follows the status of its inputs as every module
// does, and records calls, status changes and events.
class ug_probe : public ug_module<ug_probe> {
public:
    struct call {
        int start;
        int count;
    };
    struct handled {
        uint32_t time;
        int32_t kind;
        int32_t parm1;
        int input_index;  // for status changes
        float input_value;  // "Level" as seen when the status change is handled
    };

    void ListInterface(std::vector<InterfaceObject>& list) override {
        AddInterface(list, {.sample_ptr = &in_, .direction = DR_IN, .name = "In", .default_value = "0",
                            .data_type = DT_AUDIO});
        AddInterface(list, {.sample_ptr = &out_, .direction = DR_OUT, .name = "Out", .data_type = DT_AUDIO});
        AddInterface(list, {.direction = DR_IN, .name = "MIDI In", .data_type = DT_MIDI});
        AddInterface(list, {.direction = DR_IN, .name = "Level", .default_value = "0", .data_type = DT_FLOAT,
                            .variable = &level});
        AddInterface(list, {.direction = DR_IN, .name = "Name", .data_type = DT_TEXT, .variable = &name});
    }
    void Open() override {
        ug_base::Open();
        SetProcess(&ug_probe::Run);
    }
    void HandleEvent(ug_event* event) override {
        int index = -1;
        if (event->kind == UET_STAT_CHANGE) index = static_cast<plug_connection*>(event->ptr)->to->index;
        history.push_back({event->time, event->kind, event->parm1, index, level});
        ug_base::HandleEvent(event);
    }
    void OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) override {
        input_status[connection->to->index] = connection->to->status;
        if (connection->to->index != 0) return;
        if (status == ST_RUN) {
            SetProcess(&ug_probe::Run);
        } else {
            SetProcess(&ug_probe::Static);
            ResetStaticCountdown();
        }
        GetPlug(1)->TransmitStatus(time, status == ST_RUN ? ST_RUN : ST_STATIC);
    }

    void Run(int start, int count) {
        calls.push_back({start, count});
        for (int i = start; i < start + count; ++i) out_[i] = 2.0f * in_[i];
    }
    void Static(int start, int count) {
        calls.push_back({start, count});
        const float value = 2.0f * in_[start];
        for (int i = start; i < start + count; ++i) out_[i] = value;
        CountStaticSamples(count);
    }

    float* in_ = nullptr;
    float* out_ = nullptr;
    float level = 0.0f;
    std::string name;
    std::vector<call> calls;
    std::vector<handled> history;
    state_type input_status[5] = {};
};

// A running audio source of a fixed value, with MIDI and float outputs the
// test drives by hand.
class ug_source : public ug_module<ug_source> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override {
        AddInterface(list, {.sample_ptr = &out_, .direction = DR_OUT, .name = "Out", .data_type = DT_AUDIO});
        AddInterface(list, {.direction = DR_OUT, .name = "MIDI Out", .data_type = DT_MIDI});
        AddInterface(list, {.direction = DR_OUT, .name = "Level", .data_type = DT_FLOAT, .variable = &level});
    }
    void Open() override {
        ug_base::Open();
        SetProcess(&ug_source::Run);
        GetPlug(0)->TransmitStatus(sample_clock, ST_RUN);
    }
    void Run(int start, int count) {
        for (int i = start; i < start + count; ++i) out_[i] = value;
    }
    float* out_ = nullptr;
    float value = 0.0f;
    float level = 0.0f;
};

class engine_fixture {
public:
    explicit engine_fixture(int host_block_size = 64, float sample_rate = 44100.0f)
        : master(std::make_unique<WsAudioMaster>(&client, host_block_size, sample_rate)),
          top(std::make_unique<ug_container>()) {
        top->audio_master = master.get();
        top->sort_order = 1 << 20;
    }
    ~engine_fixture() {
        top.reset();
        master.reset();
    }

    template <class Module>
    Module* Add(int sort_order) {
        auto* ug = static_cast<Module*>(top->Add(std::make_unique<Module>()));
        ug->CreatePlugsFromInterface();
        ug->SetupPlugs();
        ug->sort_order = sort_order;
        return ug;
    }
    void Start() { master->Start(top.get()); }
    bool OnRunList(const ug_base* ug) const {
        for (const ug_base* it = master->RunListHead(); it != nullptr; it = it->run_next)
            if (it == ug) return true;
        return false;
    }

    test_client client;
    std::unique_ptr<WsAudioMaster> master;
    std::unique_ptr<ug_container> top;
};
