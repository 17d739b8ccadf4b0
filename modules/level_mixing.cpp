#include "modules/level_mixing.h"

#include <algorithm>

#include "project/module_registry.h"

namespace {
ug_registration<ug_adder> register_adder("Float Adder");
}

void ug_adder::ListInterface(std::vector<InterfaceObject>& list) {
    AddInterface(list, {.sample_ptr = &out_, .direction = DR_OUT, .name = "Out", .data_type = DT_AUDIO});
    AddInterface(list, {.direction = DR_IN, .name = "In", .flags = IO_MULTI_INPUT | IO_NOT_POLYPHONIC,
                        .data_type = DT_AUDIO, .variable = inputs_variable_});
}

void ug_adder::sources::ConnectionAdded(plug_connection* connection) {
    entries.push_back({connection, false});
}

void ug_adder::sources::ConnectionRemoved(plug_connection* connection) {
    std::erase_if(entries, [connection](const entry& e) { return e.connection == connection; });
}

void ug_adder::Open() {
    running_.reserve(inputs_.entries.size());
    ug_base::Open();
    Rebuild();
    ProcessOutput(sample_clock);
}

void ug_adder::OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) {
    for (auto& entry : inputs_.entries) {
        if (entry.connection == connection) entry.running = status == ST_RUN;
    }
    Rebuild();
    ProcessOutput(time);
}

void ug_adder::Rebuild() {
    const int position = BlockPosition();
    static_sum_ = 0.0f;
    running_.clear();
    for (const auto& entry : inputs_.entries) {
        const USampBlock* block = entry.connection->from->Block();
        if (entry.running)
            running_.push_back(block->Data());
        else
            static_sum_ += block->Get(position);
    }
}

void ug_adder::ProcessOutput(uint32_t time) {
    UPlug* out = GetPlug(0);
    if (running_.empty()) {
        SetProcess(&ug_adder::StaticSum);
        ResetStaticCountdown();
        out->TransmitStatus(time, ST_STATIC);
    } else {
        SetProcess(&ug_adder::RunSum);
        out->TransmitStatus(time, ST_RUN);
    }
}

void ug_adder::RunSum(int start, int count) {
    float* out = out_ + start;
    const float* first = running_.front() + start;
    if (static_sum_ == 0.0f) {
        std::copy(first, first + count, out);
    } else {
        const float offset = static_sum_;
        for (int i = 0; i < count; ++i) out[i] = offset + first[i];
    }
    for (std::size_t source = 1; source < running_.size(); ++source) {
        const float* in = running_[source] + start;
        for (int i = 0; i < count; ++i) out[i] += in[i];
    }
}

void ug_adder::StaticSum(int start, int count) {
    std::fill(out_ + start, out_ + start + count, static_sum_);
    CountStaticSamples(count);
}
