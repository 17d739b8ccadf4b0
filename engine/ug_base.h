// The unit generator: the audio-side object of one module, with its plugs,
// its own time-ordered events, its sample clock and its process function.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/event.h"
#include "engine/msg_target.h"
#include "engine/plug.h"

class CUG;
class Voice;
class WsAudioMaster;
class ug_base;
class ug_container;

// Unit generator flags.
enum ug_flags : uint32_t {
    UGF_POLYPHONIC = 0x0004,
    UGF_POLYPHONIC_UPSTREAM = 0x0008,
    UGF_POLYPHONIC_DOWNSTREAM = 0x0010,
    UGF_APART_FROM_VOICE = 0x0020,  // neither suspended nor resumed with its voice
    UGF_POLYPHONIC_BARRIER = 0x0040,
    UGF_SUSPENDED = 0x0080,
    UGF_OPEN = 0x0100,
    UGF_NEVER_SUSPEND = 0x0200,
    UGF_CLONE = 0x0800,
    UGF_SORT_RAISED = 0x2000,
    UGF_MIDI_AUTOMATION_IN = 0x40000,
    UGF_MIDI_AUTOMATION_OUT = 0x80000,
};

// Base of every unit generator and of the audio master: the event list, the
// run-list links and the sample clock.
class EventProcessor {
public:
    virtual ~EventProcessor() = default;
    virtual void Wake() {}
    virtual void DoProcess(int sample_count) {}
    virtual void OnNotify(int32_t code, int32_t value) {}
    // What the panel shows of this unit generator's value when it refreshes.
    virtual std::string ValueAsText() const { return {}; }
    virtual void HandleEvent(ug_event* event) {}

    event_list events;
    uint32_t flags = 0;
    bool sleeping = false;
    ug_base* run_prev = nullptr;
    ug_base* run_next = nullptr;
    uint32_t sample_clock = 0;
    WsAudioMaster* audio_master = nullptr;
    int32_t sort_order = -1;
};

class ug_base : public EventProcessor, public dsp_msg_target {
public:
    using process_func = void (ug_base::*)(int start, int count);

    ug_base() = default;
    ~ug_base() override;
    ug_base(const ug_base&) = delete;
    ug_base& operator=(const ug_base&) = delete;

    // Operations every unit generator has.
    void Wake() override;
    void DoProcess(int sample_count) override;
    void OnNotify(int32_t code, int32_t value) override;
    void HandleEvent(ug_event* event) override;
    virtual std::unique_ptr<ug_base> CreateInstance() const = 0;
    virtual std::unique_ptr<ug_base> Clone();
    virtual void Suspend();
    virtual void Resume();
    virtual void QueueMidi(uint32_t time, int32_t message, UPlug* plug);
    virtual void QueueStatusChange(uint32_t time, plug_connection* connection, state_type status);
    virtual void OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) {}
    virtual void ListInterface(std::vector<InterfaceObject>& list) {}
    virtual void Open();
    virtual void Close();
    virtual bool HasPolyphonicInput() const;
    virtual void MarkPolyphonicDownstream();
    virtual void MarkPolyphonicUpstream();
    virtual void SpreadNoteSourceDown(int32_t identity);
    virtual void SpreadNoteSourceUp(int32_t identity);
    virtual void SetupPlugs();
    virtual void PlugCreated(int index, UPlug* plug) {}
    // Wires a fresh voice copy the way `original` is wired, to the copies the
    // voice holds and to the shared modules outside it.
    virtual void ConnectClonePlugs(ug_base* original, Voice& voice);
    virtual void OnPatchChange(int channel, int patch) {}
    virtual bool CanSleep() const { return events.Empty(); }
    // Name shown in messages: the document module's title, else the class name.
    virtual std::string Title() const;

    void OnMessage(int32_t code, message_stream* stream) override;

    // Plugs.
    void CreatePlugsFromInterface();
    // A plug bound to the module's members by its description, which sits at
    // `description_index` of the module's interface list.
    UPlug* AddPlugFromDescription(const InterfaceObject& description, int description_index);
    UPlug* AddPlug(int32_t direction, int32_t data_type);
    UPlug* GetPlug(int index) const;  // throws std::invalid_argument outside the array
    UPlug* GetPlugByName(const std::string& name);
    int PlugCount() const { return static_cast<int>(plugs_.size()); }
    const std::vector<std::unique_ptr<UPlug>>& Plugs() const { return plugs_; }
    // Sets a plug's value from a default text: the hidden sources, adders and
    // upstream outputs involved are arranged as needed.
    void ApplyDefault(UPlug* plug, const std::string& text);

    // Events.
    void AddEvent(ug_event* event, bool wake = true);
    ug_event* NewEvent(uint32_t time, int32_t kind, int32_t parm1 = 0, void* ptr = nullptr, int32_t value = 0);
    void QueueFunction(uint32_t time, ug_function function);
    void SetClock(uint32_t new_clock);
    void RemoveStatusEvents(const plug_connection* connection);
    void PruneStatusEvents(const plug_connection* connection);
    void ClearEvents();

    // Process functions shared by all modules.
    void SetProcess(process_func function) { process_function_ = function; }
    template <class Module>
    void SetProcess(void (Module::*function)(int start, int count)) {
        process_function_ = static_cast<process_func>(function);
    }
    process_func Process() const { return process_function_; }
    void DoNothing(int start, int count) {}
    void SleepIfIdle(int start, int count);
    void OneSampleThenStatic(int start, int count);
    void StaticFill(int start, int count);
    void EnterStaticMode();
    // For modules' static functions: counts the samples written after the last
    // change and sleeps once a whole block holds the constant.
    void CountStaticSamples(int count);
    void ResetStaticCountdown();

    // Position of this unit generator's clock inside the current block.
    int BlockPosition() const;
    int BlockSize() const;
    float SampleRate() const;
    void ShowMessage(const std::string& text, int style = 0);
    // Asks the panel to refresh this module's view ("refr"); posted once until
    // the panel's next pump has run.
    void RequestRefresh();

    ug_container* container = nullptr;
    ug_container* parameter_container = nullptr;
    // While the graph is built: the note source (or drum slot) driving this
    // one, 0 for several; once its container opens: the voice holding it.
    int32_t note_source = -1;
    // The document module this one was made for (none for hidden helpers); not owned.
    CUG* document_module = nullptr;
    ug_base* next_clone = nullptr;
    int audio_input_count = 0;
    int audio_output_count = 0;

protected:
    // Copies the sample pointers of the plugs into the module's members.
    void BindSamplePointers();
    void InitialiseInputs();

private:
    void MarkPolyphonicIfBoth();
    bool TakeNoteSource(int32_t identity);
    UPlug* AppendPlug(std::unique_ptr<UPlug> plug, int description_index);
    void InsertStatusChange(ug_event* event, ug_event* position);
    void DeliverStatusValues();
    void FreeEvent(ug_event* event);

    std::vector<std::unique_ptr<UPlug>> plugs_;
    // For each plug, the index of its description in the interface list (-1: none),
    // so that a voice copy binds its own members to the same plugs.
    std::vector<int> plug_descriptions_;
    process_func process_function_ = &ug_base::DoNothing;
    process_func saved_process_function_ = &ug_base::DoNothing;
    int static_countdown_ = 0;
    bool refresh_posted_ = false;
    uint32_t refresh_posted_before_pump_ = 0;
};

// Helper for module classes: CreateInstance from the class itself.
template <class Module>
class ug_module : public ug_base {
public:
    std::unique_ptr<ug_base> CreateInstance() const override { return std::make_unique<Module>(); }
};
