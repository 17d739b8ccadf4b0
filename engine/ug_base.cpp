#include "engine/ug_base.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <typeinfo>

#include "engine/audio_master.h"
#include "engine/message_stream.h"
#include "engine/ug_container.h"
#include "engine/voices.h"
#include "project/doc_objects.h"

ug_base::~ug_base() {
    if (audio_master != nullptr) {
        if (run_prev != nullptr || audio_master->RunListHead() == this) audio_master->RemoveFromRunList(this);
        audio_master->UnregisterTarget(this);
    }
    // Plugs go last to first; deleting a plug destroys its connections.
    while (!plugs_.empty()) plugs_.pop_back();
    ClearEvents();
}

std::string ug_base::Title() const {
    if (document_module != nullptr) return document_module->Title();
    const char* mangled = typeid(*this).name();
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(mangled, nullptr, nullptr, &status),
                                                    std::free);
    return status == 0 && demangled ? demangled.get() : mangled;
}

// ---- plugs ---------------------------------------------------------------

void ug_base::CreatePlugsFromInterface() {
    std::vector<InterfaceObject> list;
    ListInterface(list);
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (MakesAudioPlug(list[i])) AddPlugFromDescription(list[i], static_cast<int>(i));
    }
}

UPlug* ug_base::AddPlugFromDescription(const InterfaceObject& description, int description_index) {
    return AppendPlug(std::make_unique<UPlug>(this, description), description_index);
}

UPlug* ug_base::AddPlug(int32_t direction, int32_t data_type) {
    return AppendPlug(std::make_unique<UPlug>(this, direction, data_type), -1);
}

UPlug* ug_base::AppendPlug(std::unique_ptr<UPlug> plug, int description_index) {
    plug->index = PlugCount();
    plugs_.push_back(std::move(plug));
    plug_descriptions_.push_back(description_index);
    PlugCreated(plugs_.back()->index, plugs_.back().get());
    return plugs_.back().get();
}

UPlug* ug_base::GetPlug(int index) const {
    if (index < 0 || index >= PlugCount()) throw std::invalid_argument("plug index out of range");
    return plugs_[static_cast<std::size_t>(index)].get();
}

UPlug* ug_base::GetPlugByName(const std::string& name) {
    std::vector<InterfaceObject> list;
    ListInterface(list);
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].name == name) return i < plugs_.size() ? plugs_[i].get() : nullptr;
    }
    return nullptr;
}

void ug_base::SetupPlugs() {
    audio_input_count = audio_output_count = 0;
    for (auto it = plugs_.rbegin(); it != plugs_.rend(); ++it) {
        UPlug& plug = **it;
        if (plug.data_type == DT_AUDIO) {
            if (plug.direction == DR_OUT) ++audio_output_count;
            if (plug.direction == DR_IN) ++audio_input_count;
        }
        plug.CreateStorage(BlockSize());
    }
}

void ug_base::ApplyDefault(UPlug* plug, const std::string& text) {
    if (plug->data_type == DT_MIDI) return;
    if (plug->direction == DR_OUT) {
        plug->SetValueFromText(text);
        plug->flags |= PF_VALUE_CHANGED;
        audio_master->PostNotification(this, 1, 0);
        return;
    }
    if (plug->partner != nullptr && plug->partner->forward != nullptr) {
        plug->partner->forward->owner->ApplyDefault(plug->partner->forward, text);
        return;
    }
    if (!plug->connections.empty()) {
        UPlug* source = plug->connections.front()->from;
        source->SetValueFromText(text);
        source->flags |= PF_VALUE_CHANGED;
        audio_master->PostNotification(source->owner, 1, 0);
        return;
    }
    if (container == nullptr) {
        // The top of the graph: nothing outside it could ever change the value.
        plug->SetValueFromText(text);
        return;
    }
    UPlug* source = container->AddHiddenSource(plug->data_type, (plug->flags & PF_PATCH_PARAMETER) != 0);
    source->SetValueFromText(text);
    Connect(source, plug);
}

// ---- events --------------------------------------------------------------

ug_event* ug_base::NewEvent(uint32_t time, int32_t kind, int32_t parm1, void* ptr, int32_t value) {
    ug_event* event = audio_master->Events().Allocate();
    event->time = time;
    event->kind = kind;
    event->parm1 = parm1;
    event->ptr = ptr;
    event->value = value;
    return event;
}

void ug_base::FreeEvent(ug_event* event) { audio_master->Events().Free(event); }

void ug_base::AddEvent(ug_event* event, bool wake) {
    if (wake && sleeping && (flags & UGF_SUSPENDED) == 0) Wake();
    // A unit generator woken from further down the run list has already moved
    // on to the end of the sub-block; an event dated before its clock would
    // never come due, so it happens at the clock instead.
    if (TimeBefore(event->time, sample_clock)) event->time = sample_clock;

    // Events nearly always arrive in time order, so the search starts at the newest.
    ug_event* position = events.Tail();
    while (position != nullptr && TimeBefore(event->time, position->time)) position = position->prev;

    if (event->kind == UET_STAT_CHANGE)
        InsertStatusChange(event, position);
    else
        events.InsertAfter(position, event);
}

// At one sample, status changes come first, in ascending order of their
// input's index; a newer change for the same connection replaces the older.
void ug_base::InsertStatusChange(ug_event* event, ug_event* position) {
    const auto* connection = static_cast<plug_connection*>(event->ptr);
    const int index = connection->to->index;
    while (position != nullptr) {
        if (TimeBefore(position->time, event->time)) break;
        if (position->kind == UET_STAT_CHANGE) {
            const auto* other = static_cast<plug_connection*>(position->ptr);
            if (other->to->index <= index) {
                if (other == connection) {
                    ug_event* replaced = position;
                    position = position->prev;
                    events.Unlink(replaced);
                    FreeEvent(replaced);
                }
                break;
            }
        }
        position = position->prev;
    }
    events.InsertAfter(position, event);
}

void ug_base::QueueFunction(uint32_t time, ug_function function) {
    AddEvent(NewEvent(time, UET_RUN_UG_FUNCTION, 0, reinterpret_cast<void*>(function)));
}

void ug_base::QueueMidi(uint32_t time, int32_t message, UPlug* plug) {
    AddEvent(NewEvent(time, UET_MIDI, message, plug));
}

void ug_base::QueueStatusChange(uint32_t time, plug_connection* connection, state_type status) {
    const bool suspended = (flags & UGF_SUSPENDED) != 0;
    if (suspended) PruneStatusEvents(connection);
    AddEvent(NewEvent(time, UET_STAT_CHANGE, status, connection, connection->from->CarriedValue()), !suspended);
}

void ug_base::SetClock(uint32_t new_clock) {
    for (ug_event* event = events.Head(); event != nullptr && TimeBefore(event->time, new_clock); event = event->next)
        event->time = new_clock;
    sample_clock = new_clock;
}

void ug_base::RemoveStatusEvents(const plug_connection* connection) {
    for (ug_event* event = events.Head(); event != nullptr;) {
        ug_event* next = event->next;
        if (event->kind == UET_STAT_CHANGE && event->ptr == connection) {
            events.Unlink(event);
            FreeEvent(event);
        }
        event = next;
    }
}

void ug_base::PruneStatusEvents(const plug_connection* connection) {
    const uint32_t block_start = audio_master->BlockStart();
    bool kept_one = false;
    for (ug_event* event = events.Tail(); event != nullptr;) {
        ug_event* previous = event->prev;
        if (event->kind == UET_STAT_CHANGE && event->ptr == connection && TimeBefore(event->time, block_start)) {
            if (kept_one) {
                events.Unlink(event);
                FreeEvent(event);
            }
            kept_one = true;
        }
        event = previous;
    }
}

void ug_base::ClearEvents() {
    while (ug_event* event = events.Head()) {
        events.Unlink(event);
        FreeEvent(event);
    }
}

// ---- processing ----------------------------------------------------------

int ug_base::BlockPosition() const { return static_cast<int>(sample_clock - audio_master->BlockStart()); }
int ug_base::BlockSize() const { return audio_master->BlockSize(); }
float ug_base::SampleRate() const { return audio_master->SampleRate(); }

void ug_base::DoProcess(int sample_count) {
    int position = static_cast<int>(audio_master->SampleClock() - audio_master->BlockStart());
    const uint32_t end_clock = sample_clock + static_cast<uint32_t>(sample_count);

    while (!events.Empty()) {
        const uint32_t event_time = events.Head()->time;
        const uint32_t stop = TimeBefore(event_time, end_clock) ? event_time : end_clock;
        const int chunk = std::max(0, static_cast<int32_t>(stop - sample_clock));
        if (chunk > 0) {
            (this->*process_function_)(position, chunk);
            sample_clock += static_cast<uint32_t>(chunk);
            position += chunk;
            if (sample_clock == end_clock) return;
        }
        DeliverStatusValues();
        while (!events.Empty() && events.Head()->time == sample_clock) {
            ug_event* event = events.Head();
            events.Unlink(event);
            HandleEvent(event);
            FreeEvent(event);
        }
    }
    const int remaining = static_cast<int>(end_clock - sample_clock);
    (this->*process_function_)(position, remaining);
    sample_clock = end_clock;
}

// Lets a module see every input value of an instant before it handles any of
// that instant's status changes.
void ug_base::DeliverStatusValues() {
    for (ug_event* event = events.Head(); event != nullptr && event->time == sample_clock; event = event->next) {
        if (event->kind != UET_STAT_CHANGE) continue;
        const auto* connection = static_cast<plug_connection*>(event->ptr);
        UPlug* input = connection->to;
        if (input->IsMultiInput() || !input->HasVariable()) continue;
        if (input->data_type == DT_TEXT || input->data_type == DT_DOUBLE)
            input->CopyValueFrom(*connection->from);
        else
            input->StoreCarriedValue(event->value);
    }
}

void ug_base::HandleEvent(ug_event* event) {
    switch (event->kind) {
        case UET_STAT_CHANGE: {
            auto* connection = static_cast<plug_connection*>(event->ptr);
            const auto status = static_cast<state_type>(event->parm1);
            connection->to->status = status;
            OnPlugStateChange(event->time, connection, status);
            if (status == ST_STATIC) connection->to->status = ST_STOP;
            break;
        }
        case UET_UI_NOTIFY:
            OnNotify(event->parm1, event->value);
            break;
        case UET_SET_OUTPUT_VALUE: {
            auto* plug = static_cast<UPlug*>(event->ptr);
            if (plug->data_type == DT_TEXT && event->extra)
                *static_cast<std::string*>(plug->variable) = *event->extra;
            else
                plug->StoreCarriedValue(event->value);
            plug->TransmitStatus(event->time, ST_STATIC);
            break;
        }
        case UET_RUN_UG_FUNCTION:
            reinterpret_cast<ug_function>(event->ptr)(this);
            break;
        default:
            break;
    }
}

void ug_base::OnNotify(int32_t code, int32_t value) {
    if (code != 1) return;  // code 6 belongs to the audio master, which ignores it
    for (const auto& plug : plugs_) {
        if (plug->direction == DR_OUT && (plug->flags & PF_VALUE_CHANGED) != 0) {
            plug->TransmitStatus(sample_clock, ST_STATIC);
            plug->flags &= ~PF_VALUE_CHANGED;
        }
    }
}

void ug_base::OnMessage(int32_t code, message_stream* stream) {
    if (sleeping && (flags & UGF_SUSPENDED) == 0) Wake();
}

void ug_base::Wake() {
    if (sleeping) {
        audio_master->InsertToRunList(this);
        sleeping = false;
    }
}

void ug_base::SleepIfIdle(int start, int count) {
    if (CanSleep() && events.Empty() && !sleeping) {
        audio_master->RemoveFromRunList(this);
        sleeping = true;
    }
}

void ug_base::OneSampleThenStatic(int start, int count) {
    (this->*saved_process_function_)(start, 1);
    process_function_ = &ug_base::StaticFill;
    if (count > 1) StaticFill(start + 1, count - 1);
}

void ug_base::StaticFill(int start, int count) {
    const int block_size = BlockSize();
    const int previous = (start - 1 + block_size) % block_size;
    for (const auto& plug : plugs_) {
        if (plug->data_type != DT_AUDIO || plug->direction != DR_OUT) continue;
        USampBlock* block = plug->Block();
        block->Fill(start, count, block->Get(previous));
    }
    CountStaticSamples(count);
}

void ug_base::EnterStaticMode() {
    saved_process_function_ = process_function_;
    static_countdown_ = BlockSize();
    process_function_ = &ug_base::OneSampleThenStatic;
}

void ug_base::CountStaticSamples(int count) {
    static_countdown_ -= count;
    if (static_countdown_ <= 0) process_function_ = &ug_base::SleepIfIdle;
}

void ug_base::ResetStaticCountdown() { static_countdown_ = BlockSize(); }

// ---- lifecycle -------------------------------------------------------------

void ug_base::Open() {
    static_countdown_ = BlockSize();
    audio_master->InsertToRunList(this);
    BindSamplePointers();
    InitialiseInputs();
    flags |= UGF_OPEN;
}

void ug_base::Close() { flags &= ~UGF_OPEN; }

void ug_base::BindSamplePointers() {
    for (const auto& plug : plugs_) {
        if (plug->sample_ptr == nullptr || plug->data_type != DT_AUDIO) continue;
        USampBlock* block = plug->Block();
        *plug->sample_ptr = block != nullptr ? block->Data() : audio_master->SilentBlock().Data();
    }
}

void ug_base::InitialiseInputs() {
    for (const auto& plug : plugs_) {
        if (plug->direction != DR_IN && plug->direction != DR_PARAMETER) continue;
        for (plug_connection* connection : plug->connections) {
            QueueStatusChange(sample_clock, connection, std::max(connection->from->status, ST_STATIC));
            if (!plug->IsMultiInput() && plug->HasVariable() && plug->data_type != DT_INT)
                plug->CopyValueFrom(*connection->from);
        }
    }
}

void ug_base::Suspend() {
    if ((flags & UGF_NEVER_SUSPEND) != 0) return;
    if (!sleeping) audio_master->RemoveFromRunList(this);
    flags |= UGF_SUSPENDED;
}

void ug_base::Resume() {
    if ((flags & UGF_SUSPENDED) == 0) return;
    flags &= ~UGF_SUSPENDED;
    if (!sleeping)
        audio_master->InsertToRunList(this);
    else if (!events.Empty())
        Wake();
    if (static_countdown_ > 0) static_countdown_ = BlockSize();
}

std::unique_ptr<ug_base> ug_base::Clone() {
    std::unique_ptr<ug_base> clone = CreateInstance();
    clone->next_clone = next_clone;
    next_clone = clone.get();
    clone->SetHandle(Handle());
    clone->sort_order = sort_order;
    clone->container = container;
    clone->parameter_container = parameter_container;
    clone->audio_master = audio_master;
    clone->document_module = document_module;
    std::vector<InterfaceObject> list;
    clone->ListInterface(list);
    for (std::size_t i = 0; i < plugs_.size(); ++i) {
        const UPlug& plug = *plugs_[i];
        const int description = plug_descriptions_[i];
        UPlug* copy = description >= 0 && description < static_cast<int>(list.size())
                          ? clone->AddPlugFromDescription(list[static_cast<std::size_t>(description)], description)
                          : clone->AddPlug(plug.direction, plug.data_type);
        copy->direction = plug.direction;
        copy->data_type = plug.data_type;
        copy->flags = plug.flags;
    }
    clone->SetupPlugs();
    clone->flags = (flags & ~(UGF_SUSPENDED | UGF_OPEN)) | UGF_CLONE;
    return clone;
}

// ---- polyphony marks -----------------------------------------------------

bool ug_base::HasPolyphonicInput() const {
    return std::any_of(plugs_.begin(), plugs_.end(), [](const auto& plug) {
        const uint32_t both = PF_POLYPHONIC | PF_POLYPHONIC_SOURCE;
        return plug->direction == DR_IN && (plug->flags & both) == both;
    });
}

void ug_base::MarkPolyphonicDownstream() {
    if ((flags & (UGF_POLYPHONIC_DOWNSTREAM | UGF_POLYPHONIC_BARRIER)) != 0) return;
    flags |= UGF_POLYPHONIC_DOWNSTREAM;
    for (const auto& plug : plugs_) {
        if (plug->direction != DR_OUT) continue;
        for (plug_connection* connection : plug->connections) {
            connection->to->flags |= PF_POLYPHONIC;
            connection->to->owner->MarkPolyphonicDownstream();
        }
    }
    MarkPolyphonicIfBoth();
}

void ug_base::MarkPolyphonicUpstream() {
    if ((flags & UGF_POLYPHONIC_DOWNSTREAM) == 0 || (flags & UGF_POLYPHONIC_UPSTREAM) != 0) return;
    flags |= UGF_POLYPHONIC_UPSTREAM;
    MarkPolyphonicIfBoth();
    for (const auto& plug : plugs_) {
        if (plug->direction != DR_IN) continue;
        for (plug_connection* connection : plug->connections) connection->from->owner->MarkPolyphonicUpstream();
    }
}

// 0 stands for "driven by several"; the barrier keeps identities out.
bool ug_base::TakeNoteSource(int32_t identity) {
    if (note_source == 0 || note_source == identity || (flags & UGF_POLYPHONIC_BARRIER) != 0) return false;
    note_source = note_source < 0 ? identity : 0;
    return true;
}

void ug_base::SpreadNoteSourceDown(int32_t identity) {
    if (!TakeNoteSource(identity)) return;
    for (const auto& plug : plugs_) {
        if (plug->direction != DR_OUT) continue;
        for (plug_connection* connection : plug->connections) {
            ug_base* destination = connection->to->owner;
            if (destination->container == container) destination->SpreadNoteSourceDown(identity);
        }
    }
}

void ug_base::SpreadNoteSourceUp(int32_t identity) {
    if (!TakeNoteSource(identity)) return;
    for (const auto& plug : plugs_) {
        if (plug->direction != DR_IN) continue;
        for (plug_connection* connection : plug->connections) {
            const UPlug* source = connection->from;
            const bool boundary = source->partner != nullptr;
            if (!boundary && source->owner->container == container) source->owner->SpreadNoteSourceUp(identity);
        }
    }
}

namespace {

// Where a voice copy meets a single input outside the voice, a hidden adder
// appears after the graph was ordered: it sorts between that input's module
// and the voices that feed it (sort orders leave room in steps of 4).
void ConnectToSharedInput(UPlug* from, UPlug* to) {
    Connect(from, to);
    UPlug* landing = to->Resolve();
    if (landing != to && landing->owner->sort_order < 0) landing->owner->sort_order = to->owner->sort_order + 2;
}

struct clone_link {
    int plug_index;
    UPlug* other;  // the plug at the other end of the original's connection
    bool outgoing;
};

}  // namespace

void ug_base::ConnectClonePlugs(ug_base* original, Voice& voice) {
    // Read the original's wiring first: connecting may put adders into it.
    std::vector<clone_link> links;
    for (int i = original->PlugCount() - 1; i >= 0; --i) {
        const UPlug* plug = original->GetPlug(i);
        for (const plug_connection* connection : plug->connections) {
            const bool outgoing = connection->from == plug;
            links.push_back({i, outgoing ? connection->to : connection->from, outgoing});
        }
    }
    for (const clone_link& link : links) {
        ug_base* copy = voice.CopyOf(link.other->owner);
        if (link.outgoing) {
            if (copy != nullptr)
                Connect(GetPlug(link.plug_index), copy->GetPlug(link.other->index));
            else
                ConnectToSharedInput(GetPlug(link.plug_index), link.other);
        } else if (copy == nullptr) {
            // A copied source makes this connection itself, from its own copy.
            Connect(link.other, GetPlug(link.plug_index));
        }
    }
}

void ug_base::MarkPolyphonicIfBoth() {
    constexpr uint32_t kBoth = UGF_POLYPHONIC_DOWNSTREAM | UGF_POLYPHONIC_UPSTREAM;
    if ((flags & kBoth) == kBoth) flags |= UGF_POLYPHONIC;
}

void ug_base::ShowMessage(const std::string& text, int style) { audio_master->ShowMessage(Title() + " : " + text, style); }

void ug_base::RequestRefresh() {
    dsp_to_ui_que& queue = audio_master->PanelOutQueue();
    const uint32_t pumps = queue.PumpCount();
    if (refresh_posted_ && refresh_posted_before_pump_ == pumps) return;
    refresh_posted_ = message_out(queue, Handle(), MessageCode("refr")).Send();
    refresh_posted_before_pump_ = pumps;
}
