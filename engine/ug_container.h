// A container's unit generator: owns the unit generators inside it, keeps
// them in voices, makes the hidden helpers that wiring needs (adders,
// constant sources) and, once the graph is wired, turns its boundary into
// direct connections and copies its first voice for polyphony.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "engine/ug_base.h"
#include "engine/voices.h"

class dsp_patch_manager;
class ug_patch_param_watcher;

// Where a control bound to a MIDI controller sits in its parameter
// container's list for that controller. The control owns its link, so joining
// and leaving a list on the audio thread never allocates.
struct controller_link {
    ug_base* control = nullptr;
    controller_link* next = nullptr;
    int16_t controller = -1;  // the list that holds the link, -1 for none
};

// The controls of a parameter container by the MIDI controller they follow,
// one list per controller number, each in the order the controls joined.
class controller_lists {
public:
    static constexpr int kControllerCount = 128;

    // Leaves the list that holds `link`, then joins the end of the list of
    // `controller` when that is 0 … 127.
    void Join(controller_link& link, int controller);
    void Leave(controller_link& link);
    // The first link of a controller's list, or none; out-of-range numbers have none.
    const controller_link* First(int controller) const;

private:
    std::array<controller_link*, kControllerCount> heads_{};
};

class ug_container : public VoiceList, public ug_module<ug_container> {
public:
    ug_container();
    ~ug_container() override;

    void ListInterface(std::vector<InterfaceObject>& list) override;
    // A patch change reaching the container goes on to its voices.
    void HandleEvent(ug_event* event) override;

    // Queues a patch change (kind 6) at `time` for every unit generator of the
    // open voices, last voice first, that takes its values from `parameters`.
    void QueuePatchChange(uint32_t time, int patch, const ug_container* parameters);

    // Takes ownership; the unit generator joins this container's last voice
    // (during construction its only one) and its audio master.
    ug_base* Add(std::unique_ptr<ug_base> ug);
    // Every unit generator the container owns, in the order it got them.
    const std::vector<std::unique_ptr<ug_base>>& UnitGenerators() const { return owned_; }

    // A hidden "Float Adder" or "MIDI Adder2" for a plug of the given type.
    ug_base* CreateHiddenAdder(int32_t data_type);
    // A new output of the hidden module that feeds constant defaults to
    // unconnected inputs: the container's IO module, or for patch-parameter
    // plugs its patch-parameter setter.
    UPlug* AddHiddenSource(int32_t data_type, bool patch_parameter);
    // The hidden module that reports the values of outputs bound to patch
    // parameters, made on first demand.
    ug_patch_param_watcher* ParameterWatcher();

    // The audio side of the patch memory this container keeps, or none.
    dsp_patch_manager* PatchManager() const { return patch_manager_.get(); }
    void SetPatchManager(std::unique_ptr<dsp_patch_manager> manager);

    // Once the graph is wired, depth first: signals cross the boundaries of
    // this container and those inside it by direct connections only, and
    // each first voice is marked for copying.
    void DissolveBoundaries();
    // Once the graph is ordered: voices up to the polyphony, here and inside.
    void CreateRemainingVoices();

    // Opens voice by voice; each unit generator learns its voice's number.
    void Open() override;
    void Close() override;

    // Controls whose parameter container this is, by the controller they follow;
    // the container's MIDI automator reads them.
    controller_lists controllers;

private:
    enum plug_index { kSpare, kPolyphony };

    ug_base* AddToVoice(std::unique_ptr<ug_base> ug, Voice& voice);
    std::vector<ug_container*> Subcontainers() const;
    void DissolvePlug(UPlug* plug);
    void PrepareFirstVoice();
    void NumberSlotVoices(ug_notesource& source);
    void AddVoiceMonitor(Voice& voice);
    void CloneFirstVoice();
    void OpenVoice(Voice& voice);
    ug_base* HiddenSource(bool patch_parameter);

    std::vector<std::unique_ptr<ug_base>> owned_;
    ug_base* io_module_ = nullptr;
    ug_base* parameter_setter_ = nullptr;
    ug_patch_param_watcher* parameter_watcher_ = nullptr;
    // Goes after the unit generators: its parameters only point at their plugs.
    std::unique_ptr<dsp_patch_manager> patch_manager_;
};

// Holds hidden constant outputs. It never changes them itself, so it sleeps
// from the start; values given before the engine started are announced when
// it opens.
class ug_hidden_outputs : public ug_base {
public:
    void Open() override;
};

// "IO Mod": the inside of a container's boundary. Its plugs stand for the
// container's own; the container also hangs its constant defaults on one.
// Note sources and polyphony stop at it: what crosses it leaves the voice.
class ug_io_mod : public ug_hidden_outputs {
public:
    ug_io_mod() { flags |= UGF_POLYPHONIC_BARRIER; }
    std::unique_ptr<ug_base> CreateInstance() const override { return std::make_unique<ug_io_mod>(); }
    void ListInterface(std::vector<InterfaceObject>& list) override;
};
