#include "engine/plug.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "engine/ug_base.h"
#include "engine/ug_container.h"

const char* GetStatString(int32_t status) {
    switch (status) {
        case ST_STOP: return "ST_STOP";
        case ST_STATIC: return "ST_STATIC";
        case ST_RUN: return "ST_RUN";
        default: return "GetStatString ERROR";
    }
}

const char* GetDirectionString(int32_t direction) {
    switch (direction) {
        case DR_IN: return "DR_IN";
        case DR_OUT: return "DR_OUT";
        case DR_CONTAINER_IO: return "DR_CONTAINER_IO";
        case DR_PARAMETER: return "DR_PARAMETER";
        default: return "unknowen";
    }
}

void AddInterface(std::vector<InterfaceObject>& list, InterfaceObject description) {
    if (description.direction == DR_IN && description.data_type == DT_AUDIO &&
        (description.flags & (IO_POLYPHONIC_ACTIVE | IO_NOT_POLYPHONIC)) == 0)
        description.flags |= IO_POLYPHONIC_ACTIVE;
    list.push_back(std::move(description));
}

bool MakesAudioPlug(const InterfaceObject& description) {
    if ((description.flags & IO_NO_AUDIO_PLUG) != 0) return false;
    return (description.flags & IO_PANEL_ONLY) == 0 || (description.flags & IO_PATCH_PARAMETER_HIGH) != 0;
}

bool MidiPassesFilter(int32_t message, int16_t channel_filter) {
    const int status = message & 0xff;
    return channel_filter == -1 || channel_filter == (status & 0x0f) || (status & 0xf0) == 0xf0;
}

// ---- UPlug -----------------------------------------------------------------

UPlug::UPlug(ug_base* owner_ug, int32_t plug_direction, int32_t type)
    : owner(owner_ug), direction(plug_direction), data_type(type) {}

UPlug::UPlug(ug_base* owner_ug, const InterfaceObject& description)
    : owner(owner_ug),
      variable(description.variable),
      sample_ptr(description.sample_ptr),
      direction(description.direction),
      data_type(description.data_type) {
    if ((description.flags & IO_NOT_POLYPHONIC) == 0) flags |= PF_POLYPHONIC_SOURCE;
    if ((description.flags & IO_MULTI_INPUT) != 0) flags |= PF_MULTI_INPUT;
    if ((description.flags & IO_PATCH_PARAMETER) != 0) flags |= PF_PATCH_PARAMETER;
}

UPlug::~UPlug() {
    // The owner is going away: its input array (a member of the module, gone
    // already) need not hear of the connections that go with it.
    if (IsMultiInput()) variable = nullptr;
    while (!connections.empty()) DestroyConnection(connections.back());
}

void UPlug::CreateStorage(int block_size) {
    if (data_type == DT_AUDIO) {
        if (direction == DR_OUT) {
            owned_block_ = std::make_unique<USampBlock>(block_size);
            flags |= PF_OWNS_STORAGE;
            slot_.block = owned_block_.get();
            variable = &slot_.block;
        } else if (!IsMultiInput()) {
            variable = &slot_.block;
        }
        return;
    }
    if (variable != nullptr) return;
    switch (data_type) {
        case DT_TEXT:
            owned_text_ = std::make_unique<std::string>();
            flags |= PF_OWNS_STORAGE;
            variable = owned_text_.get();
            break;
        case DT_MIDI:
            variable = IsInput() ? static_cast<void*>(&midi_in_) : static_cast<void*>(&slot_.midi_out);
            break;
        case DT_DOUBLE:
            flags |= PF_OWNS_STORAGE;
            variable = &slot_.double_value;
            break;
        default:
            variable = &slot_;
            break;
    }
}

USampBlock* UPlug::Block() const {
    if (data_type != DT_AUDIO || variable == nullptr || IsMultiInput()) return nullptr;
    return *static_cast<USampBlock* const*>(variable);
}

void UPlug::SetValueFromText(const std::string& text) {
    if (variable == nullptr) return;
    switch (data_type) {
        case DT_ENUM: *static_cast<int16_t*>(variable) = static_cast<int16_t>(std::strtol(text.c_str(), nullptr, 10)); break;
        case DT_BOOL: *static_cast<uint8_t*>(variable) = std::strtol(text.c_str(), nullptr, 10) != 0 ? 1 : 0; break;
        case DT_INT: *static_cast<int32_t*>(variable) = static_cast<int32_t>(std::strtol(text.c_str(), nullptr, 10)); break;
        case DT_TEXT: *static_cast<std::string*>(variable) = text; break;
        case DT_DOUBLE: *static_cast<double*>(variable) = std::strtod(text.c_str(), nullptr); break;
        case DT_FLOAT: *static_cast<float*>(variable) = std::strtof(text.c_str(), nullptr); break;
        case DT_AUDIO:
            if (USampBlock* block = Block()) block->SetAll(std::strtof(text.c_str(), nullptr) * 0.1f);
            break;
        default: break;
    }
}

int32_t UPlug::CarriedValue() const {
    if (variable == nullptr) return 0;
    switch (data_type) {
        case DT_ENUM: return *static_cast<const int16_t*>(variable);
        case DT_BOOL: return *static_cast<const uint8_t*>(variable);
        case DT_FLOAT:
        case DT_INT: {
            int32_t bits;
            std::memcpy(&bits, variable, sizeof bits);
            return bits;
        }
        default: return 0;
    }
}

void UPlug::StoreCarriedValue(int32_t value) {
    if (variable == nullptr) return;
    switch (data_type) {
        case DT_ENUM: *static_cast<int16_t*>(variable) = static_cast<int16_t>(value); break;
        case DT_BOOL: *static_cast<uint8_t*>(variable) = value != 0 ? 1 : 0; break;
        case DT_FLOAT:
        case DT_INT: std::memcpy(variable, &value, sizeof value); break;
        default: break;
    }
}

void UPlug::CopyValueFrom(const UPlug& source) {
    if (variable == nullptr || source.variable == nullptr) return;
    switch (data_type) {
        case DT_TEXT: *static_cast<std::string*>(variable) = *static_cast<const std::string*>(source.variable); break;
        case DT_DOUBLE: *static_cast<double*>(variable) = *static_cast<const double*>(source.variable); break;
        case DT_ENUM:
        case DT_BOOL:
        case DT_FLOAT:
        case DT_INT: StoreCarriedValue(source.CarriedValue()); break;
        default: break;
    }
}

void UPlug::TransmitStatus(uint32_t time, state_type new_status) {
    if (new_status == status && new_status != ST_STATIC) return;
    if (data_type == DT_AUDIO && new_status == ST_STATIC && time == last_static_time && status < ST_RUN) return;
    status = new_status;
    for (plug_connection* connection : connections) connection->to->owner->QueueStatusChange(time, connection, new_status);
    if (new_status == ST_STATIC) {
        last_static_time = time;
        status = ST_STOP;
    } else {
        last_static_time = 0;
    }
}

void UPlug::TransmitMidi(uint32_t time, int32_t message) {
    for (plug_connection* connection : connections) {
        UPlug* input = connection->to;
        const auto* input_var = static_cast<const midi_input_var*>(input->variable);
        if (input_var == nullptr || MidiPassesFilter(message, input_var->channel_filter))
            input->owner->QueueMidi(time, message, input);
    }
}

UPlug* UPlug::Resolve() {
    UPlug* plug = this;
    while (plug->forward != nullptr) plug = plug->forward;
    return plug;
}

void UPlug::RemoveConnection(plug_connection* connection) {
    connections.erase(std::remove(connections.begin(), connections.end(), connection), connections.end());
}

// ---- connections -----------------------------------------------------------

namespace {

// The adder's multi-input plug takes every source of a single input that got a second wire.
void InsertHiddenAdder(UPlug* from, UPlug* to) {
    if (to->owner->container == nullptr) throw std::invalid_argument("second wire into a plug outside any container");
    UPlug* old_source = to->connections.front()->from;
    DestroyConnection(to->connections.front());
    ug_base* adder = to->owner->container->CreateHiddenAdder(to->data_type);
    UPlug* adder_out = adder->GetPlug(0);
    UPlug* adder_in = adder->GetPlug(1);
    Connect(from, adder_in);
    Connect(old_source, adder_in);
    Connect(adder_out, to);
    to->forward = adder_in;
}

void CopyAtConnect(UPlug* from, UPlug* to) {
    switch (to->data_type) {
        case DT_MIDI:
            static_cast<midi_input_var*>(to->variable)->plug = to;
            *static_cast<UPlug**>(from->variable) = from;
            break;
        case DT_AUDIO: *static_cast<USampBlock**>(to->variable) = from->Block(); break;
        case DT_INT: break;  // the value arrives with the first status change
        default: to->CopyValueFrom(*from); break;
    }
}

}  // namespace

void Connect(UPlug* from, UPlug* to) {
    from = from->Resolve();
    to = to->Resolve();
    if (!to->connections.empty() && !to->IsMultiInput()) {
        InsertHiddenAdder(from, to);
        return;
    }
    auto* connection = new plug_connection{from, to};
    from->AddConnection(connection);
    to->AddConnection(connection);
    if (to->IsMultiInput() && to->data_type != DT_MIDI) {
        if (auto* inputs = static_cast<input_array*>(to->variable)) inputs->ConnectionAdded(connection);
    } else if (from->HasVariable() && to->HasVariable()) {
        CopyAtConnect(from, to);
    }
    if (to->data_type != DT_MIDI && to->direction != DR_PARAMETER) from->status = std::max(from->status, ST_STATIC);
}

void DestroyConnection(plug_connection* connection) {
    UPlug* to = connection->to;
    connection->from->RemoveConnection(connection);
    to->RemoveConnection(connection);
    if (to->IsMultiInput() && to->data_type != DT_MIDI) {
        if (auto* inputs = static_cast<input_array*>(to->variable)) inputs->ConnectionRemoved(connection);
    }
    if (to->IsInput() && to->owner->audio_master != nullptr) to->owner->RemoveStatusEvents(connection);
    delete connection;
}
