#include "engine/ug_container.h"

#include <algorithm>
#include <climits>
#include <stdexcept>
#include <string>

#include "engine/audio_master.h"
#include "engine/patch_parameters.h"
#include "project/module_registry.h"

namespace {

ug_registration<ug_container> register_container("Container");
ug_registration<ug_io_mod> register_io_module("IO Mod");

constexpr int32_t kHiddenSourceOrder = INT32_MAX / 2;

// Both sides of a container boundary keep one of these ready for the next wire.
void ListBoundarySpare(std::vector<InterfaceObject>& list) {
    AddInterface(list, {.direction = DR_CONTAINER_IO,
                        .help = "Connection to modules outside (at higher level of structure)",
                        .name = "Spare",
                        .default_value = "0",
                        .flags = 0x4C,
                        .data_type = DT_AUDIO});
}

// Every connection of the plug is made again from its other end to the
// plug's forward plug, which takes its place.
void RemovePlug(UPlug& plug) {
    while (!plug.connections.empty()) {
        plug_connection* connection = plug.connections.front();
        const bool outgoing = connection->from == &plug;
        UPlug* other = outgoing ? connection->to : connection->from;
        DestroyConnection(connection);
        if (outgoing)
            Connect(plug.forward, other);
        else
            Connect(other, plug.forward);
    }
}

std::unique_ptr<ug_base> MakeRegistered(const char* unique_id) {
    std::unique_ptr<ug_base> made = ModuleRegistry::Instance().CreateUnitGenerator(unique_id);
    if (!made) throw std::invalid_argument(std::string("module not registered: ") + unique_id);
    return made;
}

}  // namespace

ug_container::ug_container() = default;

ug_container::~ug_container() {
    // Children go in reverse order of creation (voice copies first), before
    // the container's own plugs.
    while (!owned_.empty()) owned_.pop_back();
}

void ug_container::ListInterface(std::vector<InterfaceObject>& list) {
    ListBoundarySpare(list);
    AddInterface(list, {.direction = DR_PARAMETER,
                        .help = "Limits the number of notes you can play at once. (Changes take effect next time "
                                "you re-start the sound)",
                        .name = "Polyphony",
                        .default_value = "6",
                        .list_values = "range 1,200",
                        .data_type = DT_ENUM,
                        .variable = &voice_limit});
}

ug_base* ug_container::Add(std::unique_ptr<ug_base> ug) { return AddToVoice(std::move(ug), *voices_.back()); }

ug_base* ug_container::AddToVoice(std::unique_ptr<ug_base> ug, Voice& voice) {
    ug->container = this;
    if (ug->parameter_container == nullptr) ug->parameter_container = this;
    ug->audio_master = audio_master;
    owned_.push_back(std::move(ug));
    voice.Add(owned_.back().get());
    return owned_.back().get();
}

ug_base* ug_container::CreateHiddenAdder(int32_t data_type) {
    ug_base* adder = Add(MakeRegistered(data_type == DT_MIDI ? "MIDI Adder2" : "Float Adder"));
    adder->CreatePlugsFromInterface();
    adder->SetupPlugs();
    return adder;
}

ug_base* ug_container::HiddenSource(bool patch_parameter) {
    ug_base*& source = patch_parameter ? parameter_setter_ : io_module_;
    if (source != nullptr) return source;
    if (patch_parameter) {
        source = Add(std::make_unique<ug_patch_param_setter>());
        source->CreatePlugsFromInterface();
        source->SetupPlugs();
    } else {
        source = Add(std::make_unique<ug_io_mod>());
        // Messages for the container reach the module that holds its values.
        if (Handle() != -1) audio_master->RegisterTarget(source, Handle());
    }
    // Runs before everything it feeds even where sort orders are set by hand;
    // graph construction orders it with the rest.
    source->sort_order = kHiddenSourceOrder;
    return source;
}

UPlug* ug_container::AddHiddenSource(int32_t data_type, bool patch_parameter) {
    UPlug* plug = HiddenSource(patch_parameter)->AddPlug(DR_OUT, data_type);
    plug->CreateStorage(BlockSize());
    return plug;
}

ug_patch_param_watcher* ug_container::ParameterWatcher() {
    if (parameter_watcher_ != nullptr) return parameter_watcher_;
    parameter_watcher_ = static_cast<ug_patch_param_watcher*>(Add(std::make_unique<ug_patch_param_watcher>()));
    parameter_watcher_->CreatePlugsFromInterface();
    parameter_watcher_->SetupPlugs();
    return parameter_watcher_;
}

void ug_container::SetPatchManager(std::unique_ptr<dsp_patch_manager> manager) { patch_manager_ = std::move(manager); }

std::vector<ug_container*> ug_container::Subcontainers() const {
    std::vector<ug_container*> found;
    for (const auto& voice : voices_)
        for (ug_base* ug : voice->unit_generators)
            if (auto* inner = dynamic_cast<ug_container*>(ug)) found.push_back(inner);
    return found;
}

// ---- patch changes and controller lists ------------------------------------

void ug_container::HandleEvent(ug_event* event) {
    if (event->kind == UET_PROG_CHANGE)
        QueuePatchChange(event->time, event->parm1, parameter_container);
    else
        ug_base::HandleEvent(event);
}

void ug_container::QueuePatchChange(uint32_t time, int patch, const ug_container* parameters) {
    for (auto voice = voices_.rbegin(); voice != voices_.rend(); ++voice) {
        if (!(*voice)->opened) continue;
        for (ug_base* ug : (*voice)->unit_generators)
            if (ug->parameter_container == parameters) ug->AddEvent(ug->NewEvent(time, UET_PROG_CHANGE, patch));
    }
}

void controller_lists::Join(controller_link& link, int controller) {
    Leave(link);
    if (controller < 0 || controller >= kControllerCount) return;
    controller_link** end = &heads_[static_cast<std::size_t>(controller)];
    while (*end != nullptr) end = &(*end)->next;
    *end = &link;
    link.next = nullptr;
    link.controller = static_cast<int16_t>(controller);
}

void controller_lists::Leave(controller_link& link) {
    if (link.controller < 0) return;
    for (controller_link** at = &heads_[static_cast<std::size_t>(link.controller)]; *at != nullptr; at = &(*at)->next) {
        if (*at == &link) {
            *at = link.next;
            break;
        }
    }
    link.next = nullptr;
    link.controller = -1;
}

const controller_link* controller_lists::First(int controller) const {
    if (controller < 0 || controller >= kControllerCount) return nullptr;
    return heads_[static_cast<std::size_t>(controller)];
}

// ---- boundaries --------------------------------------------------------------

void ug_container::DissolveBoundaries() {
    for (ug_container* inner : Subcontainers()) inner->DissolveBoundaries();
    PrepareFirstVoice();
    for (int i = PlugCount() - 1; i >= 0; --i) {
        UPlug* plug = GetPlug(i);
        if (plug->partner != nullptr && !plug->partner->connections.empty()) DissolvePlug(plug);
    }
}

// An output: the inside source takes the container plug's place outside.
// An input: the outside source takes the IO plug's place inside.
void ug_container::DissolvePlug(UPlug* plug) {
    UPlug* partner = plug->partner;
    if (plug->direction == DR_OUT) {
        plug_connection* inside = partner->connections.front();
        plug->forward = inside->from;
        DestroyConnection(inside);
        if (!plug->connections.empty()) RemovePlug(*plug);
    } else if (!plug->connections.empty()) {
        plug_connection* outside = plug->connections.front();
        partner->forward = outside->from;
        DestroyConnection(outside);
        RemovePlug(*partner);
    }
}

// ---- voices ------------------------------------------------------------------

// Runs while this container's own boundary still stands, so marks and voice
// numbers stay inside it.
void ug_container::PrepareFirstVoice() {
    Voice& first = *voices_.front();
    ug_notesource* source = first.note_source;
    if (source == nullptr) return;
    if (!source->AllocatesVoices()) {
        NumberSlotVoices(*source);
        return;
    }
    // Copied per voice: what the note source drives and what feeds polyphonic inputs among it.
    source->MarkPolyphonicDownstream();
    for (ug_base* ug : std::vector<ug_base*>(first.unit_generators))
        if (ug->HasPolyphonicInput()) ug->MarkPolyphonicUpstream();
    AddVoiceMonitor(first);
}

// A drum trigger's slots: the modules each slot drives move into a voice of
// their own, which sleeps and wakes with that slot's notes.
void ug_container::NumberSlotVoices(ug_notesource& source) {
    const int count = source.AssignVoiceNumbers();
    for (int number = 1; number <= count; ++number) {
        auto voice = std::make_unique<Voice>(number);
        voice->note_source = &source;
        voice->slot_voice = true;
        voices_.push_back(std::move(voice));
    }
    Voice& first = *voices_.front();
    for (ug_base* ug : std::vector<ug_base*>(first.unit_generators)) {
        if (ug->note_source < 1 || ug->note_source > count) continue;
        first.Remove(ug);
        GetVoice(ug->note_source).Add(ug);
    }
    for (int number = 1; number <= count; ++number) AddVoiceMonitor(GetVoice(number));
}

void ug_container::AddVoiceMonitor(Voice& voice) {
    auto leaves_voice = [&voice, this](const plug_connection* connection) {
        const ug_base* destination = connection->to->owner;
        if (voice.slot_voice) return !voice.Contains(destination);
        return (destination->flags & UGF_POLYPHONIC) == 0 || destination->container != this;
    };
    std::vector<UPlug*> signals_out;
    for (ug_base* ug : voice.unit_generators) {
        if (!voice.IsPerVoice(ug)) continue;
        for (const auto& plug : ug->Plugs()) {
            if (plug->direction == DR_OUT && plug->data_type == DT_AUDIO &&
                std::ranges::any_of(plug->connections, leaves_voice))
                signals_out.push_back(plug.get());
        }
    }
    if (signals_out.empty()) return;
    ug_base* monitor = AddToVoice(MakeRegistered("VoiceMonitor"), voice);
    monitor->note_source = voice.index;
    monitor->CreatePlugsFromInterface();
    monitor->SetupPlugs();
    for (UPlug* signal : signals_out) Connect(signal, monitor->GetPlug(0));
}

void ug_container::CreateRemainingVoices() {
    for (ug_container* inner : Subcontainers()) inner->CreateRemainingVoices();
    const ug_notesource* source = voices_.front()->note_source;
    if (source == nullptr || !source->AllocatesVoices()) return;
    while (VoiceCount() < voice_limit) CloneFirstVoice();
}

// Copies every unit generator of the first voice that is copied per voice,
// then wires each copy as its original is wired.
void ug_container::CloneFirstVoice() {
    voices_.push_back(std::make_unique<Voice>(VoiceCount()));
    Voice& voice = *voices_.back();
    std::vector<std::pair<ug_base*, ug_base*>> copies;
    for (ug_base* original : voices_.front()->unit_generators) {
        if ((original->flags & UGF_POLYPHONIC) == 0) continue;
        std::unique_ptr<ug_base> copy = original->Clone();
        copy->note_source = voice.index;
        copies.emplace_back(original, AddToVoice(std::move(copy), voice));
    }
    for (auto [original, copy] : copies) copy->ConnectClonePlugs(original, voice);
}

// ---- running -----------------------------------------------------------------

void ug_container::Open() {
    ug_base::Open();
    SetProcess(&ug_base::SleepIfIdle);
    for (auto& voice : voices_) OpenVoice(*voice);
}

void ug_container::OpenVoice(Voice& voice) {
    for (ug_base* ug : voice.unit_generators) {
        ug->audio_master = audio_master;
        ug->note_source = voice.index;
        ug->Open();
    }
    voice.opened = true;
    voice.suspended = false;
}

void ug_container::Close() {
    for (auto& voice : voices_)
        for (ug_base* ug : voice->unit_generators) ug->Close();
    ug_base::Close();
}

// ---- hidden outputs ----------------------------------------------------------

void ug_hidden_outputs::Open() {
    ug_base::Open();
    SetProcess(&ug_base::SleepIfIdle);
    // Values given before the engine started are announced now (OnNotify code 1).
    AddEvent(NewEvent(sample_clock, UET_UI_NOTIFY, 1));
}

void ug_io_mod::ListInterface(std::vector<InterfaceObject>& list) { ListBoundarySpare(list); }
