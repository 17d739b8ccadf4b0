// Control modules: panel controls that keep a value per program and offer it
// as a parameter to the host and to the panel; and the other module classes
// whose records are the plain module fields or little more.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "project/doc_objects.h"
#include "project/generic_parameter.h"
#include "project/patch_manager.h"

// How a control's normalised value relates to its value, beyond its data type.
enum class normalised_mapping {
    by_kind,          // list position, value × 0.1, or 0 (generic_parameter's rules)
    lo_hi,            // position between the "Lo Value" and "Hi Value" plugs, both ways
    lo_hi_read_only,  // the same position, and setting it changes nothing
    meter_level,      // the level last refreshed from the audio side
};

// What a control class fixes when it is made.
struct control_traits {
    int32_t value_kind = DT_DOUBLE;
    int32_t value_count = kProgramCount;
    bool automatable = false;
    bool output = false;
    normalised_mapping mapping = normalised_mapping::by_kind;
};

// The values of a control, one per program: integers of list entries, texts
// or floating values by kind. Indices are below Count().
class control_values {
public:
    control_values(int32_t kind, int32_t count);

    int32_t Kind() const { return kind_; }
    int32_t Count() const { return count_; }
    std::string Text(int32_t index) const;
    // Whether the stored value changed.
    bool SetText(int32_t index, const std::string& text);
    // A text value is read as a decimal number; setting a number leaves a text alone.
    double Number(int32_t index) const;
    bool SetNumber(int32_t index, double value);
    bool Copy(int32_t from, int32_t to);
    void FillFromFirst();
    // A stored count, then that many values; the count read.
    uint32_t Read(archive_reader& archive);

private:
    int32_t kind_;
    int32_t count_;
    std::vector<double> numbers_;  // list entry values and floating values
    std::vector<std::string> texts_;
};

// What a control record holds after its module fields.
struct control_fields {
    control_fields(int32_t kind, int32_t count) : values(kind, count) {}
    void Read(archive_reader& archive);

    control_values values;
    ws_rect panel_rect{0, 0, 10, 10};
    std::string hint;
    int32_t stored_word = 0;    // kept as stored, not used
    bool single_value = false;  // the record held one value for every program
};

class CControl : public CUG, public generic_parameter, public doc_observer {
    WS_DECLARE_CLASS(CControl)
public:
    CControl();
    ~CControl() override;
    void Serialize(archive_reader& archive) override;
    void Initialise(bool after_load) override;
    generic_parameter* FindParameter(const std::string& name) override;

    int32_t ValueCount() const { return fields_.values.Count(); }
    // Whether it keeps a value per program: more than one value and an
    // "Ignore Program Change" plug that is not "1".
    bool FollowsPrograms() const;
    // The value of program n; a negative n is the current value.
    std::string ValueText(int32_t program) const;
    void SetValueText(int32_t program, const std::string& text);
    double Value(int32_t program) const;
    void SetValue(int32_t program, double value);
    // Copies program `from`'s value into programs first..last.
    void CopyValue(int32_t from, int32_t first, int32_t last);
    // The unit generator reported its value as text.
    void RefreshFromAudio(const std::string& reported);
    void OnRefresh() override;
    // Its plugs tell it of their new value texts.
    void OnDocNotify(int code, CObject* subject, CObject* about) override;

    const ws_rect& PanelRect() const { return fields_.panel_rect; }
    const std::string& Hint() const { return fields_.hint; }
    bool SingleValue() const { return fields_.single_value; }

    // generic_parameter
    std::string getName() const override { return Title(); }
    std::string getValueText() const override { return ValueText(-1); }
    void setValueText(const std::string& text) override { SetValueText(-1, text); }
    int32_t getDataType() const override { return fields_.values.Kind(); }
    std::string getHint() const override { return fields_.hint; }
    float getNormalised() const override;
    void setNormalised(float value) override;
    bool isAutomatable() const override { return traits_.automatable; }
    bool isOutput() const override { return traits_.output; }

protected:
    explicit CControl(const control_traits& traits);

private:
    void OnPlugValueChanged(const CPlug2& plug);
    int32_t CurrentProgram() const;
    int32_t CurrentIndex() const;
    // The index program n reads: the current one for a negative n, 0 beyond the count.
    int32_t ReadIndex(int32_t program) const;
    // The index program n writes, or -1 when it has none.
    int32_t WriteIndex(int32_t program) const;
    void ValueChanged(int32_t index);
    void MarkModified() const;
    float NormalisedByKind() const;
    void SetNormalisedByKind(float value);
    float LoHiPosition() const;
    double PlugNumber(const std::string& name) const;

    control_traits traits_;
    control_fields fields_;
    float level_ = 0.0f;
    std::unique_ptr<generic_parameter> hint_parameter_;
};

class Ctl_Slider : public CControl {
    WS_DECLARE_CLASS(Ctl_Slider)
public:
    Ctl_Slider();
};

// Its list is the list of the input its "Choice" output feeds.
class Ctl_Combo : public CControl {
    WS_DECLARE_CLASS(Ctl_Combo)
public:
    Ctl_Combo();
    std::string getListText() const override;
};

class Ctl_Text : public CControl {
    WS_DECLARE_CLASS(Ctl_Text)
public:
    Ctl_Text();
};

class Ctl_PushButton : public CControl {
    WS_DECLARE_CLASS(Ctl_PushButton)
};

class Ctl_LED : public CControl {
    WS_DECLARE_CLASS(Ctl_LED)
public:
    Ctl_LED();
};

class Ctl_PeakMeter : public CControl {
    WS_DECLARE_CLASS(Ctl_PeakMeter)
public:
    Ctl_PeakMeter();
};

class Ctl_VoltMeter : public CControl {
    WS_DECLARE_CLASS(Ctl_VoltMeter)
public:
    Ctl_VoltMeter();
};

class ui_control2 : public CControl {
    WS_DECLARE_CLASS(ui_control2)
public:
    ui_control2();

protected:
    using CControl::CControl;
};

class ui_param_float_out : public ui_control2 {
    WS_DECLARE_CLASS(ui_param_float_out)
public:
    ui_param_float_out();
};

class Ctl_SelfDrawing : public CControl {
    WS_DECLARE_CLASS(Ctl_SelfDrawing)
public:
    Ctl_SelfDrawing() = default;

protected:
    using CControl::CControl;
};

// The envelope editor keeps its points as its value text: "(time,level)"
// pairs joined by ",", the sustain point preceded by "S".
class Ctl_Env_Edit : public Ctl_SelfDrawing {
    WS_DECLARE_CLASS(Ctl_Env_Edit)
public:
    Ctl_Env_Edit();
};

class Ctl_FreqAn : public Ctl_SelfDrawing {
    WS_DECLARE_CLASS(Ctl_FreqAn)
public:
    Ctl_FreqAn();
};

class Ctl_FreqResp : public Ctl_SelfDrawing {
    WS_DECLARE_CLASS(Ctl_FreqResp)
public:
    Ctl_FreqResp();
};

class Ctl_GenProg : public Ctl_SelfDrawing {
    WS_DECLARE_CLASS(Ctl_GenProg)
public:
    Ctl_GenProg();
};

class Ctl_Keyboard : public Ctl_SelfDrawing {
    WS_DECLARE_CLASS(Ctl_Keyboard)
public:
    Ctl_Keyboard();
};

class Ctl_tty : public Ctl_SelfDrawing {
    WS_DECLARE_CLASS(Ctl_tty)
public:
    Ctl_tty();
};

// File choosers of the sound-font players: the file name per program.
class Ctl_Soundfont_base : public Ctl_SelfDrawing {
    WS_DECLARE_CLASS(Ctl_Soundfont_base)
public:
    Ctl_Soundfont_base();
};

class Cosc_sf : public Ctl_Soundfont_base {
    WS_DECLARE_CLASS(Cosc_sf)
};

class Ctl_SamplePlay2 : public Ctl_Soundfont_base {
    WS_DECLARE_CLASS(Ctl_SamplePlay2)
};

// "Patch Select": the program it last selected.
class Ctl_PatchSel : public CUG {
    WS_DECLARE_CLASS(Ctl_PatchSel)
public:
    // A MIDI program change reached the module: its container selects that program.
    void OnRefresh() override;
    void Serialize(archive_reader& archive) override;
    int32_t StoredProgram() const { return stored_program_; }

private:
    int32_t stored_program_ = 0;
};

// Self-drawn modules that keep only a panel rectangle.
class Ctl_SelfDrawing2 : public CUG {
    WS_DECLARE_CLASS(Ctl_SelfDrawing2)
public:
    void Serialize(archive_reader& archive) override;
    ws_rect panel_rect{0, 0, 10, 10};
};

class Ctl_Keyboard2 : public Ctl_SelfDrawing2 {
    WS_DECLARE_CLASS(Ctl_Keyboard2)
};

class Ctl_WaveShape : public CUG {
    WS_DECLARE_CLASS(Ctl_WaveShape)
public:
    void Serialize(archive_reader& archive) override;
    ws_rect panel_rect{0, 0, 10, 10};
};

class Ctl_WaveShape2 : public Ctl_WaveShape {
    WS_DECLARE_CLASS(Ctl_WaveShape2)
};

// Modules stored with the plain module fields.
class CFeedbackDelay : public CUG {
    WS_DECLARE_CLASS(CFeedbackDelay)
};

class CMidiAutomator : public CUG {
    WS_DECLARE_CLASS(CMidiAutomator)
};

class CSwitch : public CUG {
    WS_DECLARE_CLASS(CSwitch)
};

// Panel-side modules: they join panel controls to each other and to patch parameters.
class CUG_ui : public CUG {
    WS_DECLARE_CLASS(CUG_ui)
};

// Panel-side modules stored with the plain module fields.
#define WS_PLAIN_PANEL_MODULE(cls) \
    class cls : public CUG_ui {    \
        WS_DECLARE_CLASS(cls)      \
    }

WS_PLAIN_PANEL_MODULE(ui_animation_scaler_db);
WS_PLAIN_PANEL_MODULE(ui_bitmap_frame);
WS_PLAIN_PANEL_MODULE(ui_bool_splitter);
WS_PLAIN_PANEL_MODULE(ui_bools_to_enum);
WS_PLAIN_PANEL_MODULE(ui_enum_to_bools);
WS_PLAIN_PANEL_MODULE(ui_float_scaler);
WS_PLAIN_PANEL_MODULE(ui_float_to_bool);
WS_PLAIN_PANEL_MODULE(ui_incrementor);
WS_PLAIN_PANEL_MODULE(ui_incrementor2);
WS_PLAIN_PANEL_MODULE(ui_int_to_list);
WS_PLAIN_PANEL_MODULE(ui_param_enum_in2);
WS_PLAIN_PANEL_MODULE(ui_param_enum_in_B);
WS_PLAIN_PANEL_MODULE(ui_param_float_in2);
WS_PLAIN_PANEL_MODULE(ui_param_float_out2);
WS_PLAIN_PANEL_MODULE(ui_param_float_out_b);
WS_PLAIN_PANEL_MODULE(ui_param_text_in);
WS_PLAIN_PANEL_MODULE(ui_spring);
WS_PLAIN_PANEL_MODULE(ui_system_command);
WS_PLAIN_PANEL_MODULE(ui_text_to_float);
