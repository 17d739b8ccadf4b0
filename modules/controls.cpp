#include "modules/controls.h"

#include "engine/message_stream.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "engine/audio_master.h"
#include "engine/message_stream.h"
#include "project/controls.h"
#include "project/enum_list.h"
#include "project/module_registry.h"

namespace {
ug_registration<ug_slider> register_slider("Slider");
ug_registration<ug_combobox> register_combobox("List Entry");
ug_registration<ug_text_entry> register_text_entry("Text Entry");
ug_registration<ug_patch_sel> register_patch_sel("Patch Select");

constexpr const char* kShowTitleHelp = "Leaves control's title blank on Control Panel";

// Data entry follows whichever NRPN or RPN its selector messages chose.
constexpr int kNrpnSelect = 99;
constexpr int kRpnSelect = 101;
constexpr int kDataEntry = 6;

// Samples a button-like control takes to reach its new value.
constexpr int kButtonGlide = 4;

void ListShowTitle(std::vector<InterfaceObject>& list) {
    AddInterface(list, {.direction = DR_PARAMETER, .help = kShowTitleHelp, .name = "Show Title On Panel",
                        .default_value = "1", .data_type = DT_BOOL});
}
}  // namespace

// ---- ug_control ----------------------------------------------------------------

ug_control::ug_control() {
    link_.control = this;
    SetProcess(&ug_base::SleepIfIdle);
}

ug_control::~ug_control() {
    if (parameter_container != nullptr) parameter_container->controllers.Leave(link_);
}

// "Channel" and "MIDI In" are kept for the stored plug order only: the value
// of a control comes from its controller list, not from its MIDI input.
void ug_control::ListInterface(std::vector<InterfaceObject>& list) {
    AddInterface(list, MidiChannelDescription(0x103));
    AddInterface(list, {.direction = DR_IN, .name = "MIDI In", .default_value = "0", .flags = 0x100,
                        .data_type = DT_MIDI});
    AddInterface(list, {.direction = DR_OUT, .name = "MIDI Out", .flags = 0x100, .data_type = DT_MIDI});
    AddInterface(list, {.direction = DR_PARAMETER,
                        .help = "Sets which MIDI controller this sends/responds to",
                        .name = "MIDI Controller ID",
                        .default_value = "-1",
                        .list_values = kMidiControllerList,
                        .flags = 0x1,
                        .data_type = DT_ENUM,
                        .variable = &controller_});
    AddInterface(list, {.direction = DR_PARAMETER,
                        .help = "Prevents this control responding to patch changes from 'Patch Select' module",
                        .name = "Ignore Program Change",
                        .default_value = "0",
                        .data_type = DT_BOOL,
                        .variable = &ignore_program_change_});
    AddInterface(list, {.direction = DR_PARAMETER,
                        .help = "Used with Controller 99 and 101 to provide user definable controllers",
                        .name = "MIDI NRPN",
                        .default_value = "0",
                        .list_values = "range 0,16255",
                        .data_type = DT_ENUM,
                        .variable = &nrpn_});
}

void ug_control::Open() {
    ug_base::Open();
    SetProcess(&ug_base::SleepIfIdle);
}

void ug_control::Close() {
    if (parameter_container != nullptr) parameter_container->controllers.Leave(link_);
    ug_base::Close();
}

void ug_control::HandleEvent(ug_event* event) {
    switch (event->kind) {
        case UET_PROG_CHANGE: OnPatchChange(-1, event->parm1); break;
        case UET_CONTROLLER: {
            // A value that is no number would reach the output as one.
            const float normalised = std::bit_cast<float>(event->value);
            if (std::isfinite(normalised)) OnMidiController(normalised);
            break;
        }
        default: ug_base::HandleEvent(event);
    }
}

void ug_control::QueueControllerValue(uint32_t time, float normalised) {
    AddEvent(NewEvent(time, UET_CONTROLLER, 0, nullptr, std::bit_cast<int32_t>(normalised)));
}

void ug_control::OnPatchChange(int channel, int patch) {
    if (ignore_program_change_ == 0) LoadPatchValue(patch, 0);
}

// A panel move would also be reported to the container's MIDI automator, to
// go out as a controller message; this system has no automator yet.
void ug_control::OnNotify(int32_t code, int32_t value) {
    Wake();
    switch (code) {
        case kPanelMoved: LoadPatchValue(-1, 1); break;
        case kPanelSet: LoadPatchValue(-1, 0); break;
        default: ug_base::OnNotify(code, value);
    }
}

void ug_control::OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) {
    if (connection->to->index != kControllerId || parameter_container == nullptr) return;
    parameter_container->controllers.Join(link_, ControllerList());
}

int ug_control::ControllerList() const {
    return controller_ == kNrpnSelect || controller_ == kRpnSelect ? kDataEntry : controller_;
}

const CControl* ug_control::Document() const {
    return document_module != nullptr && document_module->Is<CControl>() ? static_cast<const CControl*>(document_module)
                                                                          : nullptr;
}

double ug_control::StoredNumber(int patch) const {
    const CControl* document = Document();
    return document != nullptr ? document->Value(patch) : 0.0;
}

// ---- ug_slider -----------------------------------------------------------------

ug_slider::ug_slider() { flags |= UGF_NEVER_SUSPEND; }

void ug_slider::ListInterface(std::vector<InterfaceObject>& list) {
    ug_control::ListInterface(list);
    AddInterface(list, {.direction = DR_OUT, .name = "Signal Out", .data_type = DT_AUDIO});
    AddInterface(list, {.direction = DR_PARAMETER, .help = "Minimum output value", .name = "Lo Value",
                        .default_value = "0", .data_type = DT_FLOAT, .variable = &lo_value_});
    AddInterface(list, {.direction = DR_PARAMETER, .help = "Maximum output value", .name = "Hi Value",
                        .default_value = "10", .data_type = DT_FLOAT, .variable = &hi_value_});
    AddInterface(list, {.direction = DR_PARAMETER,
                        .help = "Sets the appearance of the control",
                        .name = "Appearance",
                        .default_value = "1",
                        .list_values = "None=-1,Plain Slider, Vert Slider, Horiz Slider, Knob, Button, Button "
                                       "(toggle),Plain Button, Small Knob, Small Button, Small Button (Toggle)",
                        .data_type = DT_ENUM,
                        .variable = &appearance_});
    AddInterface(list, {.direction = DR_PARAMETER, .help = "Adds text readout of value", .name = "Show Readout",
                        .default_value = "1", .data_type = DT_BOOL});
    ListShowTitle(list);
}

// The output starts at the value of the current program, without a glide.
void ug_slider::Open() {
    ug_control::Open();
    output_.Attach(GetPlug(kSignalOut));
    value_ = static_cast<float>(StoredNumber(-1) * 0.1);
    output_.Set(sample_clock, value_, 0);
    SetProcess(&ug_slider::Ramp);
}

void ug_slider::Resume() {
    ug_control::Resume();
    output_.Resume();
}

void ug_slider::LoadPatchValue(int patch, int glide) {
    value_ = static_cast<float>(StoredNumber(patch) * 0.1);
    if ((flags & UGF_OPEN) != 0) MoveTo(value_, glide != 0 ? GlideLength() : 0);
}

bool ug_slider::OnMidiController(float normalised) {
    const float value = (lo_value_ + (hi_value_ - lo_value_) * normalised) * 0.1f;
    if (value == value_) return false;
    value_ = value;
    Wake();
    MoveTo(value_, GlideLength());
    RequestRefresh();
    return true;
}

void ug_control::OnMessage(int32_t code, message_stream* stream) {
    ug_base::OnMessage(code, stream);
    if (code == MessageCode("ppca")) QueueControllerValue(audio_master->SampleClock(), stream->ReadFloat());
}

std::string ug_slider::ValueAsText() const {
    char text[48];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(value_) * 10.0);
    return text;
}

// No upper limit: a value above "Hi Value" reads above 1. A range of zero
// width has no position in it.
float ug_slider::NormalisedValue() const {
    const float width = hi_value_ - lo_value_;
    if (width == 0.0f) return 0.0f;
    return std::max((value_ * 10.0f - lo_value_) / width, 0.0f);
}

int ug_slider::GlideLength() const {
    switch (appearance_) {
        case 4:  // Button
        case 5:  // Button (toggle)
        case 6:  // Plain Button
        case 8:  // Small Button
            return kButtonGlide;
        default: return static_cast<int>(SampleRate()) / 32;
    }
}

void ug_slider::MoveTo(float value, int length) {
    output_.Set(sample_clock, value, length);
    SetProcess(&ug_slider::Ramp);
}

void ug_slider::Ramp(int start, int count) {
    if (!output_.Process(start, count)) SetProcess(&ug_base::SleepIfIdle);
}

// ---- ug_combobox ---------------------------------------------------------------

ug_combobox::ug_combobox() { flags |= UGF_NEVER_SUSPEND; }

void ug_combobox::ListInterface(std::vector<InterfaceObject>& list) {
    ug_control::ListInterface(list);
    AddInterface(list, {.direction = DR_OUT,
                        .help = "Connect this to any input needing a list of values",
                        .name = "Choice",
                        .data_type = DT_ENUM,
                        .variable = &choice_});
    AddInterface(list, {.direction = DR_PARAMETER,
                        .help = "Sets the appearance of the control",
                        .name = "Appearance",
                        .default_value = "0",
                        .list_values = "Combo Box=0, LED Stack, Labeled LED Stack, Selector, Button Stack, Rotary "
                                       "Switch, Rotary (No Text), Up/Down Select",
                        .data_type = DT_ENUM});
    ListShowTitle(list);
}

void ug_combobox::SetListText(const std::string& text) {
    const it_enum_list list(text);
    list_values_.clear();
    // A range list may be wide; the choice is a 16-bit value, so that many entries at most.
    const int64_t count = std::min<int64_t>(list.Count(), INT16_MAX + 1);
    list_values_.reserve(static_cast<std::size_t>(count));
    for (int64_t position = 0; position < count; ++position) list_values_.push_back(list.ValueAt(position));
}

void ug_combobox::Open() {
    ug_control::Open();
    if (const CControl* document = Document()) SetListText(document->getListText());
    choice_ = static_cast<int16_t>(StoredNumber(-1));
    Announce();
}

void ug_combobox::LoadPatchValue(int patch, int glide) {
    choice_ = static_cast<int16_t>(StoredNumber(patch));
    Announce();
}

bool ug_combobox::OnMidiController(float normalised) {
    const auto count = static_cast<int64_t>(list_values_.size());
    int16_t choice = 0;
    if (count > 0) {
        const float position = std::clamp(static_cast<float>(count) * normalised, 0.0f, static_cast<float>(count - 1));
        choice = static_cast<int16_t>(list_values_[static_cast<std::size_t>(position)]);
    }
    if (choice == choice_) return false;
    choice_ = choice;
    Wake();
    Announce();
    RequestRefresh();
    return true;
}

std::string ug_combobox::ValueAsText() const { return std::to_string(choice_); }

float ug_combobox::NormalisedValue() const {
    const auto count = static_cast<int64_t>(list_values_.size());
    if (count < 2) return 0.0f;
    const auto found = std::find(list_values_.begin(), list_values_.end(), choice_);
    if (found == list_values_.end()) return 0.0f;
    return static_cast<float>(found - list_values_.begin()) / static_cast<float>(count - 1);
}

void ug_combobox::Announce() { GetPlug(kChoiceOut)->TransmitStatus(sample_clock, ST_STATIC); }

// ---- ug_text_entry -------------------------------------------------------------

void ug_text_entry::ListInterface(std::vector<InterfaceObject>& list) {
    ug_control::ListInterface(list);
    AddInterface(list, {.direction = DR_OUT, .name = "Text Out", .default_value = "0", .data_type = DT_TEXT,
                        .variable = &text_});
    ListShowTitle(list);
}

void ug_text_entry::Open() {
    ug_control::Open();
    LoadPatchValue(-1, 0);
}

void ug_text_entry::LoadPatchValue(int patch, int glide) {
    if (const CControl* document = Document()) text_ = document->ValueText(patch);
    GetPlug(kTextOut)->TransmitStatus(sample_clock, ST_STATIC);
}

// ---- ug_patch_sel --------------------------------------------------------------

void ug_patch_sel::ListInterface(std::vector<InterfaceObject>& list) {
    ug_midi_device::ListInterface(list);
    AddInterface(list, {.direction = DR_OUT, .help = "Transmits MIDI Program change messages", .name = "MIDI Out",
                        .data_type = DT_MIDI});
}

void ug_patch_sel::OnMidi(uint32_t time, int32_t message) {
    constexpr int32_t kProgramChange = 0xC0;
    if ((message & 0xF0) != kProgramChange) return;
    const auto program = static_cast<int16_t>((message >> 8) & 0xFF);
    if (program == program_) return;
    program_ = program;
    if ((flags & UGF_OPEN) != 0) Send();
    RequestRefresh();
}

void ug_patch_sel::OnNotify(int32_t code, int32_t value) {
    if (code == kResend)
        Send();
    else
        ug_midi_device::OnNotify(code, value);
}

// Channel "All" sends on the first channel.
void ug_patch_sel::Send() {
    const int32_t word = program_ * 256 + std::max<int32_t>(Channel(), 0) + 0xC0;
    GetPlug(kMidiOut)->TransmitMidi(sample_clock, word);
    if (container != nullptr) container->QueuePatchChange(audio_master->SampleClock(), program_, parameter_container);
}
