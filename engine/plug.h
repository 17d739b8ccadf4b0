// Plugs of unit generators, their descriptions and the connections between them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/sample_block.h"

class ug_base;
class UPlug;

enum plug_direction : int32_t { DR_IN = 0, DR_OUT = 1, DR_CONTAINER_IO = 2, DR_PARAMETER = 3 };

enum plug_data_type : int32_t {
    DT_ENUM = 0,
    DT_TEXT = 1,
    DT_MIDI = 2,
    DT_DOUBLE = 3,
    DT_BOOL = 4,
    DT_AUDIO = 5,
    DT_FLOAT = 6,
    DT_INT = 8,
};

enum state_type : int32_t { ST_STOP = 0, ST_STATIC = 1, ST_RUN = 2 };

const char* GetStatString(int32_t status);
const char* GetDirectionString(int32_t direction);

// Description flags read by the audio side.
enum interface_flags : uint32_t {
    IO_POLYPHONIC_ACTIVE = 0x001,
    IO_NO_AUDIO_PLUG = 0x048,        // either bit: no audio-side plug
    IO_MULTI_INPUT = 0x080,          // the variable is an input array
    IO_NOT_POLYPHONIC = 0x200,       // left out of the polyphonic-input test
    IO_PANEL_ONLY = 0x400,           // no audio-side plug unless IO_PATCH_PARAMETER_HIGH is set
    IO_PATCH_PARAMETER_HIGH = 0x8000,
    IO_PATCH_PARAMETER = 0x18000,    // either bit
};

// Plug flags.
enum uplug_flags : uint32_t {
    PF_POLYPHONIC_SOURCE = 0x02,
    PF_POLYPHONIC = 0x04,
    PF_MULTI_INPUT = 0x10,
    PF_VALUE_CHANGED = 0x20,
    PF_OWNS_STORAGE = 0x40,
    PF_PATCH_PARAMETER = 0x80,
};

// Description of one plug, as a module lists it; the archive names plugs by
// their position in this list.
struct InterfaceObject {
    float** sample_ptr = nullptr;
    int32_t direction = DR_IN;
    std::string help;
    std::string name;
    std::string default_value;
    std::string list_values;
    uint32_t flags = 0;
    int32_t data_type = DT_AUDIO;
    void* variable = nullptr;
};

// Appends a description, applying the rule for polyphonic audio inputs.
void AddInterface(std::vector<InterfaceObject>& list, InterfaceObject description);

// Whether an audio-side plug is made from a description.
bool MakesAudioPlug(const InterfaceObject& description);

struct plug_connection {
    UPlug* from;  // output
    UPlug* to;    // input
};

// The variable of a multi-input plug: told of every connection made and removed.
class input_array {
public:
    virtual ~input_array() = default;
    virtual void ConnectionAdded(plug_connection* connection) = 0;
    virtual void ConnectionRemoved(plug_connection* connection) = 0;
};

// Variable of a MIDI input: the plug itself and a channel filter (-1 = all).
struct midi_input_var {
    UPlug* plug = nullptr;
    int16_t channel_filter = -1;
};

// Whether a MIDI message passes an input's channel filter.
bool MidiPassesFilter(int32_t message, int16_t channel_filter);

class UPlug {
public:
    UPlug(ug_base* owner, int32_t direction, int32_t data_type);
    UPlug(ug_base* owner, const InterfaceObject& description);
    ~UPlug();
    UPlug(const UPlug&) = delete;
    UPlug& operator=(const UPlug&) = delete;

    ug_base* owner;
    void* variable = nullptr;
    float** sample_ptr = nullptr;
    int32_t direction;
    int32_t data_type;
    UPlug* partner = nullptr;
    uint32_t flags = 0;
    UPlug* forward = nullptr;
    std::vector<plug_connection*> connections;
    state_type status = ST_STOP;
    uint32_t last_static_time = UINT32_MAX;
    int index = -1;  // position in the owner's plug array

    bool IsInput() const { return direction == DR_IN || direction == DR_PARAMETER; }
    bool IsMultiInput() const { return (flags & PF_MULTI_INPUT) != 0; }
    bool HasVariable() const { return variable != nullptr; }

    // Gives the plug its storage when the module names no variable of its own.
    void CreateStorage(int block_size);
    USampBlock* Block() const;  // audio output: its block; audio input: the upstream block
    const std::string& Text() const { return *static_cast<std::string*>(variable); }

    void SetValueFromText(const std::string& text);
    // Reads the value a status change carries (enum, bool, float and int plugs).
    int32_t CarriedValue() const;
    // Writes a carried value into this plug's variable.
    void StoreCarriedValue(int32_t value);
    // Copies the value of `source` into this plug's variable by type.
    void CopyValueFrom(const UPlug& source);

    void TransmitStatus(uint32_t time, state_type new_status);
    // Sends a MIDI message to every connected input that accepts it.
    void TransmitMidi(uint32_t time, int32_t message);

    // Follows the forward chain to its end.
    UPlug* Resolve();

    void AddConnection(plug_connection* connection) { connections.push_back(connection); }
    void RemoveConnection(plug_connection* connection);

private:
    union Slot {
        int16_t enum_value;
        uint8_t bool_value;
        float float_value;
        int32_t int_value;
        double double_value;
        USampBlock* block;
        UPlug* midi_out;
    };
    Slot slot_{};
    midi_input_var midi_in_;
    std::unique_ptr<USampBlock> owned_block_;
    std::unique_ptr<std::string> owned_text_;
};

// Makes a connection from an output to an input, inserting a hidden adder when
// a single input gets a second wire.
void Connect(UPlug* from, UPlug* to);
// Destroys a connection and forgets it on both sides.
void DestroyConnection(plug_connection* connection);
