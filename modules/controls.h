// Control modules: the classic panel controls that keep one value per program
// in their document module and put the current one into the graph (slider,
// list, text), and "Patch Select", which turns MIDI program changes into patch
// changes of its container.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/smart_output.h"
#include "engine/ug_base.h"
#include "engine/ug_container.h"
#include "modules/midi.h"

class CControl;

// Base of the unit generators whose values live per program in their document
// module. Values arrive by patch change (kind 6), by panel notification (code 1
// glides, code 2 jumps) and from the MIDI controller chosen on "MIDI Controller
// ID" (kind 15, which carries the controller's 0 … 1 value as float bits).
class ug_control : public ug_base {
public:
    enum notification : int32_t { kPanelMoved = 1, kPanelSet = 2 };

    ug_control();
    ~ug_control() override;

    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;
    void Close() override;
    void HandleEvent(ug_event* event) override;
    void OnPatchChange(int channel, int patch) override;
    void OnNotify(int32_t code, int32_t value) override;
    void OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) override;

    virtual int ControllerNumber() const { return controller_; }
    virtual int NrpnNumber() const { return nrpn_; }
    // Takes the value the document module stores for `patch` (-1: the current
    // program) and outputs it; a non-zero `glide` lets the output move smoothly.
    virtual void LoadPatchValue(int patch, int glide) {}
    // The bound controller moved to `normalised` (0 … 1); true when the value changed.
    virtual bool OnMidiController(float normalised) { return false; }
    virtual float NormalisedValue() const { return 0.0f; }
    // "ppca": the host's automation of the control, taken like a controller move.
    void OnMessage(int32_t code, message_stream* stream) override;

    // What the container's MIDI automator does for each control in the list
    // of the controller that moved.
    void QueueControllerValue(uint32_t time, float normalised);

protected:
    enum plug_index { kChannel, kMidiIn, kMidiOut, kControllerId, kIgnoreProgramChange, kMidiNrpn, kFirstOwnPlug };

    // The document module as a control, or none (a unit generator made by hand).
    const CControl* Document() const;
    // The stored value of `patch` (-1: current) as a number; 0 without a document module.
    double StoredNumber(int patch) const;

private:
    // The list of the controller this control follows; data entry (6) stands
    // for the NRPN and RPN selectors.
    int ControllerList() const;

    int16_t controller_ = -1;
    int16_t nrpn_ = 0;
    uint8_t ignore_program_change_ = 0;
    controller_link link_;
};

// "Slider": a value between "Lo Value" and "Hi Value" (in Volts) on an audio output.
class ug_slider : public ug_control {
public:
    ug_slider();
    std::unique_ptr<ug_base> CreateInstance() const override { return std::make_unique<ug_slider>(); }
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;
    void Resume() override;
    void LoadPatchValue(int patch, int glide) override;
    bool OnMidiController(float normalised) override;
    std::string ValueAsText() const override;
    float NormalisedValue() const override;

    // The value the output is at or moving to; 1.0 = 10 V.
    float Value() const { return value_; }

private:
    enum own_plug { kSignalOut = kFirstOwnPlug, kLoValue, kHiValue, kAppearance, kShowReadout, kShowTitle };

    // Button-like appearances move within a few samples; the others glide for 1/32 s.
    int GlideLength() const;
    void MoveTo(float value, int length);
    void Ramp(int start, int count);

    float value_ = 0.0f;
    float hi_value_ = 10.0f;
    float lo_value_ = 0.0f;
    int16_t appearance_ = 1;
    smart_output output_{smart_output::linear, 4};
};

// "List Entry": one of the values of the list of the input its "Choice" output feeds.
class ug_combobox : public ug_control {
public:
    ug_combobox();
    std::unique_ptr<ug_base> CreateInstance() const override { return std::make_unique<ug_combobox>(); }
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;
    void LoadPatchValue(int patch, int glide) override;
    bool OnMidiController(float normalised) override;
    std::string ValueAsText() const override;
    float NormalisedValue() const override;

    int16_t Choice() const { return choice_; }
    // The list the choice is one of; taken from the document module when the
    // unit generator opens.
    void SetListText(const std::string& text);

private:
    enum own_plug { kChoiceOut = kFirstOwnPlug, kAppearance, kShowTitle };

    void Announce();

    std::vector<int> list_values_;
    int16_t choice_ = 0;
};

// "Text Entry": a text on a text output.
class ug_text_entry : public ug_control {
public:
    std::unique_ptr<ug_base> CreateInstance() const override { return std::make_unique<ug_text_entry>(); }
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;
    void LoadPatchValue(int patch, int glide) override;

    const std::string& Text() const { return text_; }

private:
    enum own_plug { kTextOut = kFirstOwnPlug, kShowTitle };

    std::string text_;
};

// "Patch Select": a MIDI program change that names a new program goes out on
// "MIDI Out" and becomes a patch change of every unit generator that shares
// this module's parameter container.
class ug_patch_sel : public ug_midi_device {
public:
    // The panel asks for the program to be sent again.
    static constexpr int32_t kResend = 5;

    std::unique_ptr<ug_base> CreateInstance() const override { return std::make_unique<ug_patch_sel>(); }
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void OnNotify(int32_t code, int32_t value) override;

    int16_t Program() const { return program_; }
    // The panel selects this program when it refreshes.
    std::string ValueAsText() const override { return std::to_string(program_); }

protected:
    void OnMidi(uint32_t time, int32_t message) override;

private:
    enum plug_index { kMidiIn, kChannel, kMidiOut };

    void Send();

    int16_t program_ = 0;
};
