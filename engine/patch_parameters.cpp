#include "engine/patch_parameters.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <type_traits>

#include "engine/audio_master.h"
#include "engine/message_stream.h"

namespace {

constexpr int32_t kInit = MessageCode("init");
constexpr int32_t kValueChange = MessageCode("ppc\0");
constexpr int32_t kAutomation = MessageCode("ppca");
constexpr int32_t kControllerId = MessageCode("CCID");
constexpr int32_t kMetadata = MessageCode("meta");
constexpr int32_t kLearned = MessageCode("lern");

// The hidden helpers' MIDI plugs only order them against the MIDI automator.
void ListHiddenMidiPlugs(std::vector<InterfaceObject>& list) {
    constexpr uint32_t kHidden = 0x100;
    AddInterface(list, {.direction = DR_IN, .name = "MIDI In", .default_value = "0", .flags = kHidden,
                        .data_type = DT_MIDI});
    AddInterface(list, {.direction = DR_OUT, .name = "MIDI Out", .flags = kHidden, .data_type = DT_MIDI});
}

// ---- values by kind ------------------------------------------------------------

int32_t CarriedWord(const std::string&) { return 0; }
int32_t CarriedWord(int16_t value) { return value; }
int32_t CarriedWord(float value) { return std::bit_cast<int32_t>(value); }
int32_t CarriedWord(bool value) { return value ? 1 : 0; }
int32_t CarriedWord(int32_t value) { return value; }

// A watched output's value as a number, whatever its own type.
double PlugNumber(const UPlug& plug) {
    const int32_t carried = plug.CarriedValue();
    switch (plug.data_type) {
        case DT_FLOAT: return std::bit_cast<float>(carried);
        default: return carried;
    }
}

template <class Value>
void TakeFromPlug(const UPlug& plug, Value& value) {
    if constexpr (std::is_same_v<Value, std::string>) {
        if (plug.data_type == DT_TEXT && plug.HasVariable()) value = plug.Text();
    } else if constexpr (std::is_same_v<Value, bool>) {
        value = PlugNumber(plug) != 0.0;
    } else {
        value = static_cast<Value>(PlugNumber(plug));
    }
}

void Read(message_stream& stream, MetaData_none&) {}
void Read(message_stream& stream, MetaData_float& meta) {
    meta.minimum = stream.ReadFloat();
    meta.maximum = stream.ReadFloat();
}
void Read(message_stream& stream, MetaData_enum& meta) {
    meta.list_text = stream.ReadText();
    meta.list = it_enum_list(meta.list_text);
}
void Read(message_stream& stream, MetaData_filename& meta) { meta.file_type = stream.ReadText(); }

// Normalised → value: false for kinds without a conversion.
bool FromNormalised(float v, const MetaData_float& meta, float& value) {
    value = meta.minimum + (meta.maximum - meta.minimum) * v;
    return true;
}
bool FromNormalised(float v, const MetaData_enum& meta, int16_t& value) {
    const int64_t count = meta.list.Count();
    if (count == 0) {
        value = 0;
        return true;
    }
    const int64_t position = std::min(static_cast<int64_t>(static_cast<double>(count) * v), count - 1);
    value = static_cast<int16_t>(meta.list.ValueAt(position));
    return true;
}
bool FromNormalised(float v, const MetaData_none&, bool& value) {
    value = v >= 0.5f;
    return true;
}
bool FromNormalised(float, const MetaData_none&, int32_t&) { return false; }
bool FromNormalised(float, const MetaData_filename&, std::string&) { return false; }

float ToNormalised(float value, const MetaData_float& meta) {
    const float range = meta.maximum - meta.minimum;
    if (range == 0.0f || !std::isfinite(range)) return 0.0f;
    return std::clamp((value - meta.minimum) / range, 0.0f, 1.0f);
}
float ToNormalised(int16_t value, const MetaData_enum& meta) {
    const int64_t count = meta.list.Count();
    const int64_t position = meta.list.PositionOfValue(value);
    if (count < 2 || position < 0) return 0.0f;
    return static_cast<float>(static_cast<double>(position) / static_cast<double>(count - 1));
}
float ToNormalised(bool value, const MetaData_none&) { return value ? 1.0f : 0.0f; }
float ToNormalised(int32_t, const MetaData_none&) { return 0.0f; }
float ToNormalised(const std::string&, const MetaData_filename&) { return -1.0f; }

// Host automation stores floats and booleans even when unchanged, a MIDI
// controller only floats; the others only a change.
template <class Value>
constexpr bool kHostAlwaysSets = std::is_same_v<Value, float> || std::is_same_v<Value, bool>;
template <class Value>
constexpr bool kControllerAlwaysSets = std::is_same_v<Value, float>;

}  // namespace

int32_t DspParameterKind(int32_t data_type) {
    switch (data_type) {
        case DT_TEXT: return PP_TEXT;
        case DT_ENUM: return PP_LIST;
        case DT_FLOAT: return PP_FLOAT;
        case DT_BOOL: return PP_BOOL;
        case DT_INT: return PP_INT;
        default: return -1;
    }
}

std::unique_ptr<dsp_patch_parameter_base> MakeDspPatchParameter(int32_t kind) {
    switch (kind) {
        case PP_TEXT: return std::make_unique<dsp_parameter_text>();
        case PP_LIST: return std::make_unique<dsp_parameter_list>();
        case PP_FLOAT: return std::make_unique<dsp_parameter_float>();
        case PP_BOOL: return std::make_unique<dsp_parameter_bool>();
        case PP_INT: return std::make_unique<dsp_parameter_int>();
        default: return nullptr;
    }
}

// ---- dsp_patch_parameter_base ----------------------------------------------------

dsp_patch_parameter_base::~dsp_patch_parameter_base() {
    if (manager_ != nullptr && AudioMaster() != nullptr) AudioMaster()->UnregisterTarget(this);
}

WsAudioMaster* dsp_patch_parameter_base::AudioMaster() const { return manager_->Container().audio_master; }

void dsp_patch_parameter_base::OnMessage(int32_t code, message_stream* stream) {
    switch (code) {
        case kValueChange: {
            const uint8_t source = stream->Read8();
            ReadValue(stream);
            Apply(source);
            break;
        }
        case kAutomation: SetNormalised(stream->ReadFloat()); break;
        case kControllerId: manager_->Bind(this, stream->ReadInt32()); break;
        case kMetadata: ReadMetadata(stream); break;
        default: break;
    }
}

void dsp_patch_parameter_base::Init(message_stream* stream) {
    const int32_t identity = stream->ReadInt32();
    const int32_t owner = stream->ReadInt32();
    const int32_t plug_ordinal = stream->ReadInt32();
    const int32_t key = stream->ReadInt32();
    ReadValue(stream);
    ReadMetadata(stream);
    AudioMaster()->RegisterTarget(this, identity);
    // A new parameter without a controller is simply unbound: learning starts
    // only when the panel asks for it.
    if (key != controller_keys::kNone) manager_->Bind(this, key);
    Bind(owner, plug_ordinal);
}

// The bound plug is the owner's n-th patch-parameter plug. An input takes the
// value now; an output is watched so that its changes reach the panel.
void dsp_patch_parameter_base::Bind(int32_t owner_identity, int32_t plug_ordinal) {
    owner_identity_ = owner_identity;
    auto* owner = dynamic_cast<ug_base*>(AudioMaster()->FindTarget(owner_identity));
    if (owner == nullptr) return;
    int ordinal = 0;
    for (const auto& plug : owner->Plugs()) {
        if ((plug->flags & PF_PATCH_PARAMETER) == 0) continue;
        if (ordinal++ == plug_ordinal) {
            bound_plug_ = plug.get();
            break;
        }
    }
    if (bound_plug_ == nullptr) return;
    if (bound_plug_->direction == DR_OUT) {
        ug_container& container = owner->container != nullptr ? *owner->container : manager_->Container();
        container.ParameterWatcher()->Watch(bound_plug_, *this);
    } else {
        Apply(PCS_HOST);
    }
}

UPlug* dsp_patch_parameter_base::FeedingPlug() const {
    if (bound_plug_ == nullptr || bound_plug_->direction == DR_OUT || bound_plug_->connections.empty()) return nullptr;
    return bound_plug_->connections.front()->from;
}

// `source` is for the MIDI automator's echo of the change, once a container has one.
void dsp_patch_parameter_base::Apply(uint8_t source) {
    if (UPlug* feeding = FeedingPlug()) QueueValue(feeding->owner->sample_clock);
}

void dsp_patch_parameter_base::QueueValue(uint32_t time) {
    UPlug* feeding = FeedingPlug();
    if (feeding == nullptr) return;
    ug_base* source = feeding->owner;
    ug_event* event = source->NewEvent(time, UET_SET_OUTPUT_VALUE, 0, feeding, GetValue());
    AttachText(*event);
    source->AddEvent(event);  // wakes it
}

void dsp_patch_parameter_base::ReportToPanel(uint8_t source) const {
    message_out out(AudioMaster()->PanelOutQueue(), Handle(), kValueChange);
    out.Write8(source);
    WriteValue(out);
    out.Send();
}

// ---- the kinds ---------------------------------------------------------------------

template <class Value, class Meta>
void dsp_patch_parameter<Value, Meta>::ReadValue(message_stream* stream) {
    ::ReadValue(*stream, value_);
}

template <class Value, class Meta>
void dsp_patch_parameter<Value, Meta>::WriteValue(message_out& out) const {
    ::WriteValue(out, value_);
}

template <class Value, class Meta>
void dsp_patch_parameter<Value, Meta>::ReadMetadata(message_stream* stream) {
    Read(*stream, meta_);
}

template <class Value, class Meta>
void dsp_patch_parameter<Value, Meta>::WriteWatchedValue(message_out& out, const UPlug& plug) {
    TakeFromPlug(plug, value_);
    ::WriteValue(out, value_);
}

template <class Value, class Meta>
int32_t dsp_patch_parameter<Value, Meta>::GetValue() const {
    return CarriedWord(value_);
}

template <class Value, class Meta>
float dsp_patch_parameter<Value, Meta>::GetNormalised() const {
    return ToNormalised(value_, meta_);
}

template <class Value, class Meta>
void dsp_patch_parameter<Value, Meta>::AttachText(ug_event& event) const {
    if constexpr (std::is_same_v<Value, std::string>) event.extra = std::make_unique<std::string>(value_);
}

// A value outside 0 ... 1 is held at the nearer end; one that is not a number changes nothing.
template <class Value, class Meta>
bool dsp_patch_parameter<Value, Meta>::StoreNormalised(float normalised, bool always) {
    if (!std::isfinite(normalised)) return false;
    Value converted{};
    if (!FromNormalised(std::clamp(normalised, 0.0f, 1.0f), meta_, converted)) return false;
    if (!always && converted == value_) return false;
    value_ = std::move(converted);
    return true;
}

template <class Value, class Meta>
void dsp_patch_parameter<Value, Meta>::SetNormalised(float normalised) {
    if (!StoreNormalised(normalised, kHostAlwaysSets<Value>)) return;
    Apply(PCS_AUDIO);
    ReportToPanel(PCS_HOST);
}

template <class Value, class Meta>
void dsp_patch_parameter<Value, Meta>::OnController(uint32_t time, float normalised) {
    if (!StoreNormalised(normalised, kControllerAlwaysSets<Value>)) return;
    QueueValue(time);
    ReportToPanel(PCS_AUDIO);
}

template class dsp_patch_parameter<std::string, MetaData_filename>;
template class dsp_patch_parameter<int16_t, MetaData_enum>;
template class dsp_patch_parameter<float, MetaData_float>;
template class dsp_patch_parameter<bool, MetaData_none>;
template class dsp_patch_parameter<int32_t, MetaData_none>;

// ---- dsp_patch_manager ---------------------------------------------------------------

dsp_patch_manager::~dsp_patch_manager() {
    parameters_.clear();  // while the manager can still tell them their audio master
    if (container_.audio_master == nullptr) return;
    for (int32_t identity : identities_) {
        SetHandle(identity);
        container_.audio_master->UnregisterTarget(this);
    }
}

void dsp_patch_manager::AnswerTo(int32_t identity) {
    container_.audio_master->RegisterTarget(this, identity);
    identities_.push_back(identity);
}

void dsp_patch_manager::OnMessage(int32_t code, message_stream* stream) {
    if (code != kInit) return;
    // Another number is nothing the panel sends; the message ends where its
    // length says, so the rest of it is passed over.
    std::unique_ptr<dsp_patch_parameter_base> parameter = MakeDspPatchParameter(stream->ReadInt32());
    if (!parameter) return;
    parameter->SetManager(this);
    parameters_.push_back(std::move(parameter));
    parameters_.back()->Init(stream);
}

void dsp_patch_manager::Unbind(dsp_patch_parameter_base* parameter) {
    auto [first, last] = controllers_.equal_range(parameter->ControllerKey());
    for (auto it = first; it != last; ++it) {
        if (it->second == parameter) {
            controllers_.erase(it);
            return;
        }
    }
}

void dsp_patch_manager::Bind(dsp_patch_parameter_base* parameter, int32_t key) {
    Unbind(parameter);
    if (learning_ == parameter) learning_ = nullptr;
    parameter->SetControllerKey(key);
    if (key == controller_keys::kNone)
        learning_ = parameter;
    else
        controllers_.emplace(key, parameter);
}

void dsp_patch_manager::OnController(uint32_t time, int32_t key, float normalised) {
    if (key == controller_keys::kNone) return;
    if (dsp_patch_parameter_base* learner = learning_) {
        Bind(learner, key);
        WsAudioMaster* master = container_.audio_master;
        message_out(master->PanelOutQueue(), learner->Handle(), kLearned).Write32(static_cast<uint32_t>(key)).Send();
    }
    auto [first, last] = controllers_.equal_range(key);
    for (auto it = first; it != last; ++it) it->second->OnController(time, normalised);
}

// ---- hidden helpers ----------------------------------------------------------------------

ug_patch_param_setter::ug_patch_param_setter() { flags |= UGF_NEVER_SUSPEND | UGF_MIDI_AUTOMATION_IN; }

void ug_patch_param_setter::ListInterface(std::vector<InterfaceObject>& list) { ListHiddenMidiPlugs(list); }

ug_patch_param_watcher::ug_patch_param_watcher() { flags |= UGF_NEVER_SUSPEND | UGF_MIDI_AUTOMATION_OUT; }

void ug_patch_param_watcher::ListInterface(std::vector<InterfaceObject>& list) { ListHiddenMidiPlugs(list); }

void ug_patch_param_watcher::Open() {
    ug_base::Open();
    SetProcess(&ug_base::SleepIfIdle);
}

void ug_patch_param_watcher::Watch(UPlug* output, dsp_patch_parameter_base& parameter) {
    UPlug* input = AddPlug(DR_IN, output->data_type);
    input->CreateStorage(BlockSize());
    parameters_.resize(static_cast<std::size_t>(PlugCount()), nullptr);
    parameters_[static_cast<std::size_t>(input->index)] = &parameter;
    Connect(output, input);
}

// The input already holds the value the change carried.
void ug_patch_param_watcher::OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) {
    const UPlug* input = connection->to;
    const auto index = static_cast<std::size_t>(input->index);
    dsp_patch_parameter_base* parameter = index < parameters_.size() ? parameters_[index] : nullptr;
    if (parameter == nullptr) return;
    message_out out(audio_master->PanelOutQueue(), parameter->Handle(), kValueChange);
    out.Write8(PCS_AUDIO);
    parameter->WriteWatchedValue(out, *input);
    out.Send();
}
