// The plug-in's I/O modules: "VST Input" brings the host's audio and MIDI into
// the graph, "VST Output" takes the graph's audio and MIDI back to the host.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/ug_base.h"

class WsVst;

class ug_vst_in : public ug_module<ug_vst_in> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;
    void Close() override;
    void HandleEvent(ug_event* event) override;

    // Points the audio plugs at the host's buffers for the next host call.
    void SetHostBuffers(float** inputs, int host_count);
    // Queues a host MIDI message to leave "MIDI Out" at the given sample.
    void QueueHostMidi(uint32_t time, int32_t message);

private:
    static void Heartbeat(ug_base* target);
    void Run(int start, int count);

    std::vector<UPlug*> audio_plugs_;
    std::vector<float*> host_buffers_;
};

// Outgoing MIDI as the host gets it: time, then the packed message.
struct midi_record {
    uint32_t time;
    int32_t reserved;
    int32_t message;
};

class ug_vst_out : public ug_module<ug_vst_out> {
public:
    ug_vst_out();
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;
    void Close() override;
    void HandleEvent(ug_event* event) override;

    void SetHostBuffers(float** outputs, int host_count);
    std::vector<midi_record>& MidiQueue() { return midi_queue_; }

private:
    // Large enough for any block a host sends; further messages are dropped
    // rather than growing the queue on the audio thread.
    static constexpr std::size_t kMidiQueueCapacity = 4096;

    void ChooseRoutine(int start, int count);
    void Write(int start, int count);
    void Accumulate(int start, int count);

    std::vector<const float*> sources_;
    std::vector<float*> host_buffers_;
    std::vector<midi_record> midi_queue_;
};

// The plug-in object that owns the graph these modules run in.
WsVst* PluginOf(const ug_base& ug);
