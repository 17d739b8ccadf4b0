#include "project/controls.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "engine/ug_base.h"
#include "project/doc_parameters.h"
#include "project/doc_plugs.h"
#include "project/enum_list.h"
#include "project/programs.h"
#include "project/project_document.h"

WS_IMPLEMENT_CLASS(CControl, CUG, 1, false);
WS_IMPLEMENT_CLASS(Ctl_Slider, CControl, 1, false);
WS_IMPLEMENT_CLASS(Ctl_Combo, CControl, 1, false);
WS_IMPLEMENT_CLASS(Ctl_Text, CControl, 1, false);
WS_IMPLEMENT_CLASS(Ctl_PushButton, CControl, 1, false);
WS_IMPLEMENT_CLASS(Ctl_LED, CControl, 1, false);
WS_IMPLEMENT_CLASS(Ctl_PeakMeter, CControl, 1, false);
WS_IMPLEMENT_CLASS(Ctl_VoltMeter, CControl, 1, false);
WS_IMPLEMENT_CLASS(ui_control2, CControl, 1, false);
WS_IMPLEMENT_CLASS(ui_param_float_out, ui_control2, 1, false);
WS_IMPLEMENT_CLASS(Ctl_SelfDrawing, CControl, 1, false);
WS_IMPLEMENT_CLASS(Ctl_Env_Edit, Ctl_SelfDrawing, 1, false);
WS_IMPLEMENT_CLASS(Ctl_FreqAn, Ctl_SelfDrawing, 1, false);
WS_IMPLEMENT_CLASS(Ctl_FreqResp, Ctl_SelfDrawing, 1, false);
WS_IMPLEMENT_CLASS(Ctl_GenProg, Ctl_SelfDrawing, 1, false);
WS_IMPLEMENT_CLASS(Ctl_Keyboard, Ctl_SelfDrawing, 1, false);
WS_IMPLEMENT_CLASS(Ctl_tty, Ctl_SelfDrawing, 1, false);
WS_IMPLEMENT_CLASS(Ctl_Soundfont_base, Ctl_SelfDrawing, 1, false);
WS_IMPLEMENT_CLASS(Cosc_sf, Ctl_Soundfont_base, 1, false);
WS_IMPLEMENT_CLASS(Ctl_SamplePlay2, Ctl_Soundfont_base, 1, false);
WS_IMPLEMENT_CLASS(Ctl_PatchSel, CUG, 1, false);
WS_IMPLEMENT_CLASS(Ctl_SelfDrawing2, CUG, 1, false);
WS_IMPLEMENT_CLASS(Ctl_Keyboard2, Ctl_SelfDrawing2, 1, false);
WS_IMPLEMENT_CLASS(Ctl_WaveShape, CUG, 1, false);
WS_IMPLEMENT_CLASS(Ctl_WaveShape2, Ctl_WaveShape, 1, false);
WS_IMPLEMENT_CLASS(CFeedbackDelay, CUG, 1, false);
WS_IMPLEMENT_CLASS(CMidiAutomator, CUG, 1, false);
WS_IMPLEMENT_CLASS(CSwitch, CUG, 1, false);
WS_IMPLEMENT_CLASS(CUG_ui, CUG, 1, false);
WS_IMPLEMENT_CLASS(ui_animation_scaler_db, CUG_ui, 1, false);
WS_IMPLEMENT_CLASS(ui_bitmap_frame, CUG_ui, 1, false);
WS_IMPLEMENT_CLASS(ui_bool_splitter, CUG_ui, 1, false);
WS_IMPLEMENT_CLASS(ui_bools_to_enum, CUG_ui, 1, false);
WS_IMPLEMENT_CLASS(ui_enum_to_bools, CUG_ui, 1, false);
WS_IMPLEMENT_CLASS(ui_float_scaler, CUG_ui, 1, false);
WS_IMPLEMENT_CLASS(ui_float_to_bool, CUG_ui, 1, false);
WS_IMPLEMENT_CLASS(ui_incrementor, CUG_ui, 1, false);
WS_IMPLEMENT_CLASS(ui_incrementor2, CUG_ui, 1, false);
WS_IMPLEMENT_CLASS(ui_int_to_list, CUG_ui, 1, false);
WS_IMPLEMENT_CLASS(ui_param_enum_in2, CUG_ui, 1, false);
WS_IMPLEMENT_CLASS(ui_param_enum_in_B, CUG_ui, 1, false);
WS_IMPLEMENT_CLASS(ui_param_float_in2, CUG_ui, 1, false);
WS_IMPLEMENT_CLASS(ui_param_float_out2, CUG_ui, 1, false);
WS_IMPLEMENT_CLASS(ui_param_float_out_b, CUG_ui, 1, false);
WS_IMPLEMENT_CLASS(ui_param_text_in, CUG_ui, 1, false);
WS_IMPLEMENT_CLASS(ui_spring, CUG_ui, 1, false);
WS_IMPLEMENT_CLASS(ui_system_command, CUG_ui, 1, false);
WS_IMPLEMENT_CLASS(ui_text_to_float, CUG_ui, 1, false);

namespace {

// The notification that makes a control's unit generator glide to its value.
constexpr int32_t kLoadValueGliding = 1;

// Version rules of the control records.
constexpr int32_t kLastWithoutValues = 18;
constexpr int32_t kLastWithoutStoredWord = 83;
constexpr int32_t kFirstWithHint = 61;
constexpr int32_t kFirstPatchSelectWithoutControl = 50;
constexpr int32_t kPatchSelectStoredOneLow = 18;
constexpr int32_t kFirstWaveShapeWithRect = 95271;

constexpr const char* kIgnoreProgramChange = "Ignore Program Change";

constexpr control_traits kSelfDrawnList{DT_ENUM};
constexpr control_traits kTextControl{DT_TEXT};

double ReadNumber(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

// List values are 32-bit integers; anything else is cut to the nearest one.
double ToListValue(double value) {
    if (std::isnan(value)) return 0.0;
    return std::trunc(std::clamp(value, double{INT32_MIN}, double{INT32_MAX}));
}

// Floating values show three significant decimals for small values, fewer for large.
std::string FormatValue(double value) {
    const float shown = static_cast<float>(value);
    const char* format = shown < 1.0f ? "%.3f" : shown < 100.0f ? "%.2f" : "%.1f";
    char text[64];
    std::snprintf(text, sizeof text, format, shown);
    return text;
}

bool IsAppearancePlug(const std::string& name) {
    return name == "Appearance" || name == "Show Readout" || name == "Show Title On Panel";
}

}  // namespace

// ---- control_values -----------------------------------------------------------

control_values::control_values(int32_t kind, int32_t count) : kind_(kind), count_(count) {
    if (kind_ == DT_TEXT)
        texts_.resize(static_cast<std::size_t>(count_));
    else
        numbers_.resize(static_cast<std::size_t>(count_));
}

std::string control_values::Text(int32_t index) const {
    switch (kind_) {
        case DT_ENUM: return std::to_string(static_cast<int32_t>(numbers_[index]));
        case DT_TEXT: return texts_[index];
        case DT_DOUBLE: return FormatValue(numbers_[index]);
        default: return "UnSupported Datatype";
    }
}

bool control_values::SetText(int32_t index, const std::string& text) {
    switch (kind_) {
        case DT_ENUM: return SetNumber(index, static_cast<double>(std::strtoll(text.c_str(), nullptr, 10)));
        case DT_TEXT:
            if (texts_[index] == text) return false;
            texts_[index] = text;
            return true;
        default: return SetNumber(index, ReadNumber(text));
    }
}

double control_values::Number(int32_t index) const {
    return kind_ == DT_TEXT ? ReadNumber(texts_[index]) : numbers_[index];
}

bool control_values::SetNumber(int32_t index, double value) {
    if (kind_ == DT_TEXT) return false;
    if (kind_ == DT_ENUM) value = ToListValue(value);
    if (numbers_[index] == value) return false;
    numbers_[index] = value;
    return true;
}

bool control_values::Copy(int32_t from, int32_t to) {
    if (kind_ == DT_TEXT) return SetText(to, texts_[from]);
    return SetNumber(to, numbers_[from]);
}

void control_values::FillFromFirst() {
    for (int32_t index = 1; index < count_; ++index) Copy(0, index);
}

uint32_t control_values::Read(archive_reader& archive) {
    // The writer stores at most one value per program the control has.
    const uint32_t stored = archive.ReadUInt32();
    if (stored > static_cast<uint32_t>(count_))
        archive.Fail("control with " + std::to_string(stored) + " values where it keeps " + std::to_string(count_));
    switch (kind_) {
        case DT_ENUM:
            for (uint32_t i = 0; i < stored; ++i) numbers_[i] = archive.ReadInt32();
            break;
        case DT_TEXT: {
            std::vector<std::string> texts = archive.ReadTextList();
            if (texts.size() > texts_.size()) archive.Fail("control with " + std::to_string(texts.size()) + " texts");
            std::move(texts.begin(), texts.end(), texts_.begin());
            break;
        }
        default:
            for (uint32_t i = 0; i < stored; ++i) numbers_[i] = archive.ReadDouble();
    }
    return stored;
}

void control_fields::Read(archive_reader& archive) {
    if (archive.version > kLastWithoutValues) {
        if (archive.version > kLastWithoutStoredWord) stored_word = archive.ReadInt32();
        single_value = values.Read(archive) == 1 && values.Count() > 1;
    }
    panel_rect = archive.ReadRect();
    if (archive.version >= kFirstWithHint) hint = archive.ReadText();
}

// ---- CControl -----------------------------------------------------------------

CControl::CControl() : CControl(control_traits{}) {}

CControl::CControl(const control_traits& traits)
    : traits_(traits), fields_(traits.value_kind, traits.value_count) {}

CControl::~CControl() {
    for (const auto& plug : Plugs()) plug->RemoveObserver(this);
}

void CControl::Serialize(archive_reader& archive) {
    CUG::Serialize(archive);
    fields_.Read(archive);
}

void CControl::Initialise(bool after_load) {
    CUG::Initialise(after_load);
    for (const auto& plug : Plugs()) {
        plug->RemoveObserver(this);
        plug->AddObserver(this);
    }
    if (fields_.single_value) fields_.values.FillFromFirst();
}

generic_parameter* CControl::FindParameter(const std::string& name) {
    if (name != "Hint") return CUG::FindParameter(name);
    if (!hint_parameter_) {
        hint_parameter_ = std::make_unique<field_parameter>(
            "Hint", DT_TEXT, [this] { return fields_.hint; }, [this](const std::string& text) { fields_.hint = text; });
    }
    return hint_parameter_.get();
}

bool CControl::FollowsPrograms() const {
    if (ValueCount() <= 1) return false;
    const CPlug2* ignore = FindPlugByName(kIgnoreProgramChange);
    return ignore != nullptr && ignore->ValueText() != "1";
}

// Containers without programs of their own show those of the container above.
int32_t CControl::CurrentProgram() const {
    for (const CContainer* container = Parent(); container != nullptr; container = container->Parent())
        if (const CPatchManager* manager = container->PatchManager()) return manager->CurrentProgram();
    return 0;
}

int32_t CControl::CurrentIndex() const { return FollowsPrograms() ? std::max(CurrentProgram(), 0) : 0; }

int32_t CControl::ReadIndex(int32_t program) const {
    const int32_t index = program < 0 ? CurrentIndex() : program;
    return index < ValueCount() ? index : 0;
}

int32_t CControl::WriteIndex(int32_t program) const {
    const int32_t index = program < 0 ? CurrentIndex() : program;
    return index < ValueCount() ? index : -1;
}

std::string CControl::ValueText(int32_t program) const {
    if (ValueCount() == 0) return {};
    return fields_.values.Text(ReadIndex(program));
}

void CControl::SetValueText(int32_t program, const std::string& text) {
    const int32_t index = WriteIndex(program);
    if (index >= 0 && fields_.values.SetText(index, text)) ValueChanged(index);
}

double CControl::Value(int32_t program) const {
    if (ValueCount() == 0) return 0.0;
    return fields_.values.Number(ReadIndex(program));
}

void CControl::SetValue(int32_t program, double value) {
    const int32_t index = WriteIndex(program);
    if (index >= 0 && fields_.values.SetNumber(index, value)) ValueChanged(index);
}

void CControl::CopyValue(int32_t from, int32_t first, int32_t last) {
    if (ValueCount() == 0) return;
    const int32_t source = ReadIndex(from);
    first = std::max(first, 0);
    last = std::min(last, ValueCount() - 1);
    bool changed = false;
    for (int32_t index = first; index <= last; ++index) changed |= fields_.values.Copy(source, index);
    if (changed) MarkModified();
    const int32_t current = CurrentIndex();
    if (current >= first && current <= last) Notify(NOTIFY_VALUE_CHANGED, this);
}

void CControl::ValueChanged(int32_t index) {
    MarkModified();
    if (index != CurrentIndex()) return;
    Notify(NOTIFY_VALUE_CHANGED, this);
    NotifyUnitGenerator(kLoadValueGliding);
}

void CControl::MarkModified() const {
    if (project_document* document = Document()) document->modified = true;
}

void CControl::RefreshFromAudio(const std::string& reported) {
    if (traits_.mapping == normalised_mapping::meter_level) {
        // Meters report 0..100; their panel shows 0..1.
        level_ = static_cast<float>(ReadNumber(reported) * 0.01);
        fields_.values.SetText(0, reported);
    } else {
        const int32_t index = WriteIndex(-1);
        if (index < 0) return;
        fields_.values.SetText(index, reported);
        MarkModified();
    }
    Notify(NOTIFY_VALUE_CHANGED, this, this);
}

void CControl::OnRefresh() {
    if (unit_generator != nullptr) RefreshFromAudio(unit_generator->ValueAsText());
}

void CControl::OnDocNotify(int code, CObject* subject, CObject* about) {
    if (code != NOTIFY_VALUE_CHANGED || subject == nullptr || !subject->Is<CPlug2>()) return;
    auto* plug = static_cast<CPlug2*>(subject);
    if (plug->owner == this) OnPlugValueChanged(*plug);
}

void CControl::OnPlugValueChanged(const CPlug2& plug) {
    const std::string name = plug.Name();
    if (IsAppearancePlug(name)) {
        if (CContainer* container = Parent()) container->Notify(NOTIFY_PLUGS_CHANGED, container, this);
    } else if (name == "MIDI Controller ID") {
        Notify(NOTIFY_MIDI_CONTROLLER_CHANGED, this);
    } else if (name == "MIDI NRPN") {
        Notify(NOTIFY_MIDI_NRPN_CHANGED, this);
    }
}

float CControl::getNormalised() const {
    switch (traits_.mapping) {
        case normalised_mapping::lo_hi:
        case normalised_mapping::lo_hi_read_only: return LoHiPosition();
        case normalised_mapping::meter_level: return level_;
        default: return NormalisedByKind();
    }
}

void CControl::setNormalised(float value) {
    switch (traits_.mapping) {
        case normalised_mapping::lo_hi: {
            const double lo = PlugNumber("Lo Value");
            SetValue(-1, lo + (PlugNumber("Hi Value") - lo) * value);
            break;
        }
        case normalised_mapping::by_kind: SetNormalisedByKind(value); break;
        default: break;
    }
}

float CControl::NormalisedByKind() const {
    switch (getDataType()) {
        case DT_ENUM: {
            const it_enum_list list(getListText());
            const int64_t position = list.PositionOfValue(static_cast<int>(Value(-1)));
            // A value that is no entry of the list shows as the first entry.
            if (list.Count() < 2 || position < 0) return 0.0f;
            return static_cast<float>(position) / static_cast<float>(list.Count() - 1);
        }
        case DT_DOUBLE: return static_cast<float>(ReadNumber(ValueText(-1)) * 0.1);
        default: return 0.0f;
    }
}

// Only list controls take a normalised value without a range to map it into.
void CControl::SetNormalisedByKind(float value) {
    if (getDataType() != DT_ENUM) return;
    const it_enum_list list(getListText());
    if (list.Count() == 0) return;
    const auto position = static_cast<int64_t>(std::floor((static_cast<double>(list.Count()) - 0.00001) * value));
    SetValue(-1, list.ValueAt(std::clamp<int64_t>(position, 0, list.Count() - 1)));
}

float CControl::LoHiPosition() const {
    const double lo = PlugNumber("Lo Value");
    const double span = PlugNumber("Hi Value") - lo;
    if (span == 0.0) return 0.0f;
    return static_cast<float>(std::clamp((Value(-1) - lo) / span, 0.0, 1.0));
}

double CControl::PlugNumber(const std::string& name) const {
    const CPlug2* plug = FindPlugByName(name);
    return plug != nullptr ? ReadNumber(plug->ValueText()) : 0.0;
}

// ---- the control classes ------------------------------------------------------

Ctl_Slider::Ctl_Slider() : CControl({DT_DOUBLE, kProgramCount, true, false, normalised_mapping::lo_hi}) {}

Ctl_Combo::Ctl_Combo() : CControl({DT_ENUM, kProgramCount, true, false}) {}

std::string Ctl_Combo::getListText() const {
    const CPlug2* choice = FindPlugByName("Choice");
    return choice != nullptr ? choice->ListText() : std::string();
}

Ctl_Text::Ctl_Text() : CControl(kTextControl) {}

Ctl_LED::Ctl_LED() : CControl({DT_DOUBLE, 1, false, true, normalised_mapping::meter_level}) {}

Ctl_PeakMeter::Ctl_PeakMeter() : CControl({DT_DOUBLE, 1, true, true, normalised_mapping::meter_level}) {}

Ctl_VoltMeter::Ctl_VoltMeter() : CControl({DT_DOUBLE, 1, true, true}) {}

ui_control2::ui_control2() : CControl({DT_DOUBLE, kProgramCount, true, false}) {}

ui_param_float_out::ui_param_float_out()
    : ui_control2({DT_DOUBLE, 1, true, true, normalised_mapping::lo_hi_read_only}) {}

Ctl_Env_Edit::Ctl_Env_Edit() : Ctl_SelfDrawing(kTextControl) {}
Ctl_FreqAn::Ctl_FreqAn() : Ctl_SelfDrawing(kSelfDrawnList) {}
Ctl_FreqResp::Ctl_FreqResp() : Ctl_SelfDrawing(kSelfDrawnList) {}
Ctl_GenProg::Ctl_GenProg() : Ctl_SelfDrawing(kSelfDrawnList) {}
Ctl_Keyboard::Ctl_Keyboard() : Ctl_SelfDrawing(kSelfDrawnList) {}
Ctl_tty::Ctl_tty() : Ctl_SelfDrawing(kSelfDrawnList) {}
Ctl_Soundfont_base::Ctl_Soundfont_base() : Ctl_SelfDrawing(kTextControl) {}

// ---- modules with records of their own ----------------------------------------

// Older projects kept the selected program in a one-value list control.
void Ctl_PatchSel::Serialize(archive_reader& archive) {
    CUG::Serialize(archive);
    if (archive.version >= kFirstPatchSelectWithoutControl) return;
    control_fields inner(DT_ENUM, 1);
    inner.Read(archive);
    stored_program_ = static_cast<int32_t>(inner.values.Number(0));
    if (archive.version == kPatchSelectStoredOneLow) ++stored_program_;
    SetModuleType("Patch Select");
}

void Ctl_SelfDrawing2::Serialize(archive_reader& archive) {
    CUG::Serialize(archive);
    panel_rect = archive.ReadRect();
}

void Ctl_WaveShape::Serialize(archive_reader& archive) {
    CUG::Serialize(archive);
    if (archive.version >= kFirstWaveShapeWithRect) panel_rect = archive.ReadRect();
}

void Ctl_PatchSel::OnRefresh() {
    if (unit_generator == nullptr || Parent() == nullptr) return;
    SelectProgram(*ProgramOwner(*Parent()), ReadListValue(unit_generator->ValueAsText()));
}
