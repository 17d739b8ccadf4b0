#include "plugin/vst_io.h"

#include <algorithm>

#include "engine/audio_master.h"
#include "plugin/app_vst.h"
#include "plugin/ws_vst.h"
#include "project/module_registry.h"

namespace {
ug_registration<ug_vst_in> register_input("VST Input");
// One audio plug per host channel in use: a spare stands ready for the next.
constexpr uint32_t kAutoDuplicate = 0x8;
ug_registration<ug_vst_out> register_output("VST Output");

std::vector<UPlug*> AudioPlugs(const ug_base& ug) {
    std::vector<UPlug*> plugs;
    for (const auto& plug : ug.Plugs())
        if (plug->data_type == DT_AUDIO) plugs.push_back(plug.get());
    return plugs;
}

// Each module keeps its own copy of the host's pointers, one per audio plug,
// never more than the host gave; plugs beyond the host's count get none.
void CopyHostPointers(std::vector<float*>& mine, float** host, int host_count) {
    for (std::size_t i = 0; i < mine.size(); ++i)
        mine[i] = host != nullptr && static_cast<int>(i) < host_count ? host[i] : nullptr;
}
}  // namespace

WsVst* PluginOf(const ug_base& ug) {
    return static_cast<CWirestackAppVST*>(ug.audio_master->Client())->Plugin();
}

// ---- VST Input -------------------------------------------------------------

void ug_vst_in::ListInterface(std::vector<InterfaceObject>& list) {
    AddInterface(list, {.direction = DR_OUT, .name = "MIDI Out", .default_value = "0", .data_type = DT_MIDI});
    AddInterface(list, {.direction = DR_OUT, .name = "Audio", .flags = kAutoDuplicate, .data_type = DT_AUDIO});
}

void ug_vst_in::Open() {
    ug_base::Open();
    PluginOf(*this)->SetInputModule(this);
    SetProcess(&ug_vst_in::Run);
    audio_plugs_ = AudioPlugs(*this);
    host_buffers_.assign(audio_plugs_.size(), nullptr);
    for (UPlug* plug : audio_plugs_) plug->TransmitStatus(sample_clock, ST_RUN);
    Heartbeat(this);
}

void ug_vst_in::Close() {
    PluginOf(*this)->SetInputModule(nullptr);
    ug_base::Close();
}

// Tells the audio master, every quarter second of audio, that the host is calling.
void ug_vst_in::Heartbeat(ug_base* target) {
    target->audio_master->SetAudioFlowing(true);
    const auto period = static_cast<uint32_t>(static_cast<int>(target->SampleRate()) / 4);
    target->QueueFunction(target->sample_clock + std::max<uint32_t>(period, 1), &ug_vst_in::Heartbeat);
}

void ug_vst_in::SetHostBuffers(float** inputs, int host_count) { CopyHostPointers(host_buffers_, inputs, host_count); }

void ug_vst_in::QueueHostMidi(uint32_t time, int32_t message) {
    AddEvent(NewEvent(time, UET_MIDI, message, GetPlug(0)));
}

void ug_vst_in::HandleEvent(ug_event* event) {
    if (event->kind == UET_MIDI)
        GetPlug(0)->TransmitMidi(event->time, event->parm1);
    else
        ug_base::HandleEvent(event);
}

void ug_vst_in::Run(int start, int count) {
    for (std::size_t i = 0; i < audio_plugs_.size(); ++i) {
        float* destination = audio_plugs_[i]->Block()->Data() + start;
        float*& source = host_buffers_[i];
        if (source == nullptr) {
            std::fill(destination, destination + count, 0.0f);
            continue;
        }
        std::copy(source, source + count, destination);
        source += count;
    }
}

// ---- VST Output ------------------------------------------------------------

ug_vst_out::ug_vst_out() { midi_queue_.reserve(kMidiQueueCapacity); }

void ug_vst_out::ListInterface(std::vector<InterfaceObject>& list) {
    AddInterface(list, {.direction = DR_IN, .name = "MIDI In", .default_value = "0", .data_type = DT_MIDI});
    AddInterface(list, {.direction = DR_IN, .name = "Audio", .flags = kAutoDuplicate, .data_type = DT_AUDIO});
}

void ug_vst_out::Open() {
    ug_base::Open();
    PluginOf(*this)->SetOutputModule(this);
    sources_.clear();
    for (UPlug* plug : AudioPlugs(*this)) {
        const USampBlock* block = plug->Block();
        sources_.push_back(block != nullptr ? block->Data() : audio_master->SilentBlock().Data());
    }
    host_buffers_.assign(sources_.size(), nullptr);
    SetProcess(&ug_vst_out::ChooseRoutine);
}

void ug_vst_out::Close() {
    PluginOf(*this)->SetOutputModule(nullptr);
    ug_base::Close();
}

void ug_vst_out::SetHostBuffers(float** outputs, int host_count) { CopyHostPointers(host_buffers_, outputs, host_count); }

void ug_vst_out::HandleEvent(ug_event* event) {
    if (event->kind != UET_MIDI) {
        ug_base::HandleEvent(event);
        return;
    }
    if (midi_queue_.size() < kMidiQueueCapacity) midi_queue_.push_back({event->time, 0, event->parm1});
}

// A host that calls the accumulating entry gets added output until the next restart.
void ug_vst_out::ChooseRoutine(int start, int count) {
    if (PluginOf(*this)->IsReplacing())
        SetProcess(&ug_vst_out::Write);
    else
        SetProcess(&ug_vst_out::Accumulate);
    (this->*Process())(start, count);
}

void ug_vst_out::Write(int start, int count) {
    for (std::size_t i = 0; i < sources_.size(); ++i) {
        float*& destination = host_buffers_[i];
        if (destination == nullptr) continue;
        std::copy(sources_[i] + start, sources_[i] + start + count, destination);
        destination += count;
    }
}

void ug_vst_out::Accumulate(int start, int count) {
    for (std::size_t i = 0; i < sources_.size(); ++i) {
        float*& destination = host_buffers_[i];
        if (destination == nullptr) continue;
        const float* source = sources_[i] + start;
        for (int s = 0; s < count; ++s) destination[s] += source[s];
        destination += count;
    }
}
