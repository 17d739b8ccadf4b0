// A host for tests: loads the plug-in library through its entry point the way
// a host does, and lets a test drive every call and see every callback.
#pragma once

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/vst2.h"

class plugin_host {
public:
    // Loads the library; `host_version` is the answer to the version query.
    explicit plugin_host(intptr_t host_version = 2300, const char* path = WS_PLUGIN_PATH)
        : library_(path), version_(host_version) {
        auto entry = reinterpret_cast<vst::AEffect* (*)(vst::HostCallback)>(library_.Symbol("main"));
        if (entry == nullptr) return;
        constructing_ = this;
        effect_ = entry(&Callback);
        constructing_ = nullptr;
        if (effect_ != nullptr) effect_->user = this;
    }
    ~plugin_host() {
        if (effect_ != nullptr) Dispatch(vst::effClose);
    }
    plugin_host(const plugin_host&) = delete;
    plugin_host& operator=(const plugin_host&) = delete;

    vst::AEffect* Effect() const { return effect_; }
    intptr_t Dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0) {
        return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
    }
    std::string Text(int32_t opcode, int32_t index = 0) {
        char buffer[256] = {};
        Dispatch(opcode, index, 0, buffer);
        return buffer;
    }
    void Resume(float rate = 44100.0f, int block = 512) {
        Dispatch(vst::effSetSampleRate, 0, 0, nullptr, rate);
        Dispatch(vst::effSetBlockSize, 0, block);
        Dispatch(vst::effMainsChanged, 0, 1);
    }
    void Suspend() { Dispatch(vst::effMainsChanged, 0, 0); }

    // Buffers of `channels` x `frames` samples, all set to `value`.
    struct buffers {
        buffers(int channels, int frames, float value)
            : data(static_cast<std::size_t>(channels), std::vector<float>(static_cast<std::size_t>(frames), value)) {
            for (auto& channel : data) pointers.push_back(channel.data());
        }
        std::vector<std::vector<float>> data;
        std::vector<float*> pointers;
    };

    // Runs one block with the given host MIDI events (bytes, delta frames).
    struct midi_in {
        uint8_t status, data1, data2;
        int32_t delta;
    };
    void Process(buffers& in, buffers& out, int frames, const std::vector<midi_in>& midi = {}, bool replacing = true) {
        std::vector<vst::VstMidiEvent> events(midi.size());
        std::vector<std::byte> block(offsetof(vst::VstEvents, events) + (midi.size() + 2) * sizeof(vst::VstEvent*));
        auto* list = reinterpret_cast<vst::VstEvents*>(block.data());
        list->numEvents = static_cast<int32_t>(midi.size());
        vst::VstEvent** pointers = list->events;
        for (std::size_t i = 0; i < midi.size(); ++i) {
            events[i].type = vst::kVstMidiType;
            events[i].byteSize = 24;
            events[i].deltaFrames = midi[i].delta;
            events[i].midiData[0] = static_cast<char>(midi[i].status);
            events[i].midiData[1] = static_cast<char>(midi[i].data1);
            events[i].midiData[2] = static_cast<char>(midi[i].data2);
            pointers[i] = reinterpret_cast<vst::VstEvent*>(&events[i]);
        }
        if (!midi.empty()) Dispatch(vst::effProcessEvents, 0, 0, list);
        auto call = replacing ? effect_->processReplacing : effect_->process;
        call(effect_, in.pointers.data(), out.pointers.data(), frames);
    }

    // What the plug-in sent back.
    std::vector<vst::VstMidiEvent> received_midi;
    std::vector<int32_t> received_midi_block_sizes;  // events per audioMasterProcessEvents call
    std::map<int32_t, int> callback_counts;
    struct automation {
        int32_t index;
        float value;
    };
    std::vector<automation> automated;

private:
    static intptr_t WS_VST_CALL Callback(vst::AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                         void* ptr, float opt) {
        plugin_host* host = effect != nullptr && effect->user != nullptr ? static_cast<plugin_host*>(effect->user)
                                                                         : constructing_;
        return host != nullptr ? host->Answer(opcode, index, ptr, opt) : 0;
    }
    intptr_t Answer(int32_t opcode, int32_t index, void* ptr, float opt) {
        ++callback_counts[opcode];
        switch (opcode) {
            case vst::audioMasterVersion: return version_;
            case vst::audioMasterAutomate: automated.push_back({index, opt}); return 1;
            case vst::audioMasterProcessEvents: {
                const auto* list = static_cast<const vst::VstEvents*>(ptr);
                received_midi_block_sizes.push_back(list->numEvents);
                vst::VstEvent* const* events = list->events;
                for (int32_t i = 0; i < list->numEvents; ++i) {
                    vst::VstMidiEvent event;
                    std::memcpy(&event, events[i], sizeof event);
                    received_midi.push_back(event);
                }
                return 1;
            }
            default: return 0;
        }
    }

    static inline plugin_host* constructing_ = nullptr;
    platform::DynamicLibrary library_;
    intptr_t version_;
    vst::AEffect* effect_ = nullptr;
};
