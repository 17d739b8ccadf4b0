// Patch parameters on the audio side: the twins of the panel's patch
// parameters. Each keeps the current value, feeds it into the plug it is bound
// to, follows host automation and MIDI controllers and reports changes to the
// panel. The per-program values stay with the panel side.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/msg_target.h"
#include "engine/plug.h"
#include "engine/ug_base.h"
#include "engine/ug_container.h"
#include "project/enum_list.h"

class message_out;
class dsp_patch_manager;

// Controller keys as the MIDI automator makes them; -1 is no controller (and,
// sent by the panel, starts MIDI learn).
namespace controller_keys {
constexpr int32_t kNone = -1;
constexpr int32_t kController = 0x2000000;
constexpr int32_t kRpn = 0x3000000;
constexpr int32_t kNrpn = 0x4000000;
}  // namespace controller_keys

// The numbers an "init" message names for the five kinds.
enum dsp_parameter_kind : int32_t {
    PP_TEXT = 20,
    PP_LIST = 21,
    PP_FLOAT = 22,
    PP_BOOL = 23,
    PP_INT = 24,
};

// The number an "init" names for a panel-side parameter of that data type, or -1.
int32_t DspParameterKind(int32_t data_type);

// Flag byte of "ppc" messages to the panel.
enum parameter_change_source : uint8_t {
    PCS_AUDIO = 0,  // an audio-side change or a MIDI controller
    PCS_HOST = 1,   // host automation
};

class dsp_patch_parameter_base : public dsp_msg_target {
public:
    ~dsp_patch_parameter_base() override;

    void OnMessage(int32_t code, message_stream* stream) override;
    // A MIDI controller this parameter listens to moved.
    virtual void OnController(uint32_t time, float normalised) = 0;
    // Reads the creation record of an "init" message and binds the parameter.
    virtual void Init(message_stream* stream);
    virtual void ReadValue(message_stream* stream) = 0;
    virtual void WriteValue(message_out& out) const = 0;
    virtual void ReadMetadata(message_stream* stream) = 0;
    // Takes the value of a watched output and writes it.
    virtual void WriteWatchedValue(message_out& out, const UPlug& plug) = 0;
    // The value as the word a plug's status change carries (0 for texts).
    virtual int32_t GetValue() const = 0;
    // 0 ... 1, or -1 for kinds that have no normalised value.
    virtual float GetNormalised() const = 0;
    // Host automation.
    virtual void SetNormalised(float normalised) = 0;

    // Sends the value into the bound input; `source` says where it came from.
    void Apply(uint8_t source);
    // Writes "ppc" with the flag and the value to the panel.
    void ReportToPanel(uint8_t source) const;

    int32_t OwnerIdentity() const { return owner_identity_; }
    UPlug* BoundPlug() const { return bound_plug_; }
    int32_t ControllerKey() const { return controller_key_; }
    void SetControllerKey(int32_t key) { controller_key_ = key; }
    dsp_patch_manager* Manager() const { return manager_; }
    void SetManager(dsp_patch_manager* manager) { manager_ = manager; }

protected:
    // The value's event on the plug that feeds the bound input, at `time`.
    void QueueValue(uint32_t time);
    // Texts ride on the event; other kinds travel in its value word.
    virtual void AttachText(ug_event& event) const {}
    WsAudioMaster* AudioMaster() const;

private:
    void Bind(int32_t owner_identity, int32_t plug_ordinal);
    // The feeding output and its unit generator, or none.
    UPlug* FeedingPlug() const;

    int32_t owner_identity_ = -1;
    UPlug* bound_plug_ = nullptr;
    dsp_patch_manager* manager_ = nullptr;
    int32_t controller_key_ = controller_keys::kNone;
};

// Metadata kinds.
struct MetaData_none {};
struct MetaData_float {
    float minimum = 0.0f;
    float maximum = 10.0f;
};
struct MetaData_enum {
    std::string list_text;
    it_enum_list list{""};
};
struct MetaData_filename {
    std::string file_type;
};

template <class Value, class Meta>
class dsp_patch_parameter : public dsp_patch_parameter_base {
public:
    void OnController(uint32_t time, float normalised) override;
    void ReadValue(message_stream* stream) override;
    void WriteValue(message_out& out) const override;
    void ReadMetadata(message_stream* stream) override;
    void WriteWatchedValue(message_out& out, const UPlug& plug) override;
    int32_t GetValue() const override;
    float GetNormalised() const override;
    void SetNormalised(float normalised) override;

    const Value& CurrentValue() const { return value_; }
    const Meta& Metadata() const { return meta_; }

protected:
    void AttachText(ug_event& event) const override;

private:
    // Converts and stores; true when the value was stored (changed, or a kind
    // that always takes it).
    bool StoreNormalised(float normalised, bool always);

    Value value_{};
    Meta meta_{};
};

using dsp_parameter_text = dsp_patch_parameter<std::string, MetaData_filename>;
using dsp_parameter_list = dsp_patch_parameter<int16_t, MetaData_enum>;
using dsp_parameter_float = dsp_patch_parameter<float, MetaData_float>;
using dsp_parameter_bool = dsp_patch_parameter<bool, MetaData_none>;
using dsp_parameter_int = dsp_patch_parameter<int32_t, MetaData_none>;

// A new parameter of the kind an "init" names, or none for another number.
std::unique_ptr<dsp_patch_parameter_base> MakeDspPatchParameter(int32_t kind);

// The audio side of a container's patch memory.
class dsp_patch_manager : public dsp_msg_target {
public:
    explicit dsp_patch_manager(ug_container& container) : container_(container) {}
    ~dsp_patch_manager() override;

    // "init": a new parameter.
    void OnMessage(int32_t code, message_stream* stream) override;
    // A MIDI controller moved (the MIDI automator calls this): a learning
    // parameter takes the key, then every parameter bound to it follows.
    void OnController(uint32_t time, int32_t key, float normalised);
    // Key -1 makes the parameter the learning one.
    void Bind(dsp_patch_parameter_base* parameter, int32_t key);
    // Registers the manager under a panel manager's identity; a container
    // that shares its parent's patch memory adds its own to the parent's.
    void AnswerTo(int32_t identity);

    ug_container& Container() const { return container_; }
    const std::vector<std::unique_ptr<dsp_patch_parameter_base>>& Parameters() const { return parameters_; }
    dsp_patch_parameter_base* LearningParameter() const { return learning_; }

private:
    void Unbind(dsp_patch_parameter_base* parameter);

    std::vector<std::unique_ptr<dsp_patch_parameter_base>> parameters_;
    dsp_patch_parameter_base* learning_ = nullptr;
    std::multimap<int32_t, dsp_patch_parameter_base*> controllers_;
    ug_container& container_;
    std::vector<int32_t> identities_;
};

// Hidden helper of a container: its outputs feed patch-parameter inputs that
// nothing else feeds, and carry the parameters' values into them.
class ug_patch_param_setter : public ug_hidden_outputs {
public:
    ug_patch_param_setter();
    std::unique_ptr<ug_base> CreateInstance() const override { return std::make_unique<ug_patch_param_setter>(); }
    void ListInterface(std::vector<InterfaceObject>& list) override;
};

// Hidden helper of a container: watches the module outputs that patch
// parameters are bound to and reports their values to the panel.
class ug_patch_param_watcher : public ug_module<ug_patch_param_watcher> {
public:
    ug_patch_param_watcher();
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;
    void OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) override;
    // A new input, wired from `output`, reporting for `parameter`.
    void Watch(UPlug* output, dsp_patch_parameter_base& parameter);

private:
    // The parameter of each plug, by plug index (none for the MIDI plugs).
    // Plugs are not polymorphic, so the watcher remembers this for its inputs.
    std::vector<dsp_patch_parameter_base*> parameters_;
};
