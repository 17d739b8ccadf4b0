#include <algorithm>

#include "project/controls.h"
#include "project/sequencer_records.h"
#include "project/vst_plugin_record.h"
#include "tools/archive_records.h"

namespace tools {

namespace {

void WriteControlValues(archive_writer& archive, const CControl& control) {
    const int32_t count = control.ValueCount();
    archive.WriteInt32(count);
    switch (control.getDataType()) {
        case DT_ENUM:
            for (int32_t program = 0; program < count; ++program)
                archive.WriteInt32(static_cast<int32_t>(control.Value(program)));
            break;
        case DT_TEXT: {
            std::vector<std::string> texts;
            for (int32_t program = 0; program < count; ++program) texts.push_back(control.ValueText(program));
            archive.WriteTextList(texts);
            break;
        }
        default:
            for (int32_t program = 0; program < count; ++program) archive.WriteDouble(control.Value(program));
    }
}

void WritePanelRectModule(archive_writer& archive, const Ctl_SelfDrawing2& module) {
    WriteUGFields(archive, module);
    archive.WriteRect(module.panel_rect);
}

void WriteWaveShaper(archive_writer& archive, const Ctl_WaveShape& module) {
    WriteUGFields(archive, module);
    archive.WriteRect(module.panel_rect);
}

// Entries after the last pattern number are the end marker the reader fills in.
void WriteSong(archive_writer& archive, const sequencer_song& song) {
    const auto last = std::find_if(song.rbegin(), song.rend(), [](int32_t entry) { return entry != -1; });
    const auto stored = static_cast<std::size_t>(song.rend() - last);
    archive.WriteUInt32(static_cast<uint32_t>(stored));
    for (std::size_t i = 0; i < stored; ++i) archive.WriteInt32(song[i]);
}

template <class Step, class WriteStep>
void WritePattern(archive_writer& archive, const std::vector<Step>& steps, WriteStep write_step) {
    archive.WriteUInt32(static_cast<uint32_t>(steps.size()));
    for (const Step& step : steps) write_step(step);
}

void WritePatternSequencer(archive_writer& archive, const CPattSeq& sequencer) {
    WriteControlFields(archive, sequencer);
    archive.WriteInt32(0);  // not used
    archive.WriteFloat(sequencer.tempo);
    archive.WriteInt32(sequencer.song_mode ? 1 : 0);
    WriteSong(archive, sequencer.song);
    archive.WriteInt32(sequencer.current_pattern);
}

void WriteStepSequencer(archive_writer& archive, const CStepSeq2& sequencer) {
    WritePatternSequencer(archive, sequencer);
    for (const auto& pattern : sequencer.patterns) {
        WritePattern(archive, pattern, [&archive](const sequencer_step& step) {
            archive.WriteInt32(step.note);
            archive.WriteInt32(step.velocity);
            archive.WriteInt32(step.modulation);
            archive.WriteInt32(step.fourth);
            archive.WriteInt32(step.slide ? 1 : 0);
        });
    }
}

void WriteDrumSequencer(archive_writer& archive, const CDrumSeq& sequencer) {
    WritePatternSequencer(archive, sequencer);
    for (const auto& pattern : sequencer.patterns)
        WritePattern(archive, pattern, [&archive](uint32_t word) { archive.WriteUInt32(word); });
}

// The first step sequencer stored each step's fourth value before its modulation.
void WriteFirstStepSequencer(archive_writer& archive, const CStepSeq& sequencer) {
    WriteUGFields(archive, sequencer);
    archive.WriteRect(sequencer.panel_rect);
    archive.WriteUInt32(static_cast<uint32_t>(sequencer.patterns.size()));
    archive.WriteFloat(sequencer.tempo);
    for (const auto& pattern : sequencer.patterns) {
        WritePattern(archive, pattern, [&archive](const sequencer_step& step) {
            archive.WriteInt32(step.note);
            archive.WriteInt32(step.velocity);
            archive.WriteInt32(step.fourth);
            archive.WriteInt32(step.modulation);
        });
    }
    archive.WriteInt32(sequencer.switch_on ? 1 : 0);
    WriteSong(archive, sequencer.song);
}

// The module keeps the hosted plug-in's saved names and counts, not its saved
// chunk, parameter values or MIDI assignments: those are stored empty, zero
// and none.
void WriteHostedPlugin(archive_writer& archive, const Ctl_VST_Plugin& module) {
    WriteUGFields(archive, module);
    const hosted_plugin_state& saved = module.SavedState();
    archive.WriteText(module.StoredName());
    archive.WriteInt32(saved.unique_id);
    archive.WriteInt32(saved.programs_are_chunks ? 1 : 0);
    archive.WriteInt32(saved.parameter_count);
    archive.WriteInt32(saved.program_count);
    archive.WriteInt32(saved.current_program);
    if (saved.programs_are_chunks) archive.WriteUInt32(0);
    for (int32_t program = 0; program < saved.program_count; ++program) {
        const auto index = static_cast<std::size_t>(program);
        archive.WriteText(index < saved.program_names.size() ? saved.program_names[index] : std::string());
        if (!saved.programs_are_chunks)
            for (int32_t parameter = 0; parameter < saved.parameter_count; ++parameter) archive.WriteFloat(0.0f);
    }
    archive.WriteUInt32(0);
}

template <class... Classes>
void AddControlClasses(record_table& table) {
    (AddRecordWriter<Classes, CControl>(table, WriteControlFields), ...);
}

template <class... Classes>
void AddModuleClasses(record_table& table) {
    (AddRecordWriter<Classes, CUG>(table, WriteUGFields), ...);
}

}  // namespace

// The word the record keeps after the values is not offered by the control;
// it is not used, and stored as 0.
void WriteControlFields(archive_writer& archive, const CControl& control) {
    WriteUGFields(archive, control);
    archive.WriteInt32(0);
    WriteControlValues(archive, control);
    archive.WriteRect(control.PanelRect());
    archive.WriteText(control.Hint());
}

void AddControlWriters(record_table& table) {
    AddControlClasses<CControl, Ctl_Slider, Ctl_Combo, Ctl_Text, Ctl_PushButton, Ctl_LED, Ctl_PeakMeter,
                      Ctl_VoltMeter, ui_control2, ui_param_float_out, Ctl_SelfDrawing, Ctl_Env_Edit, Ctl_FreqAn,
                      Ctl_FreqResp, Ctl_GenProg, Ctl_Keyboard, Ctl_tty, Ctl_Soundfont_base, Cosc_sf,
                      Ctl_SamplePlay2>(table);
    AddModuleClasses<Ctl_PatchSel, CFeedbackDelay, CMidiAutomator, CSwitch, CUG_ui, ui_animation_scaler_db,
                     ui_bitmap_frame, ui_bool_splitter, ui_bools_to_enum, ui_enum_to_bools, ui_float_scaler,
                     ui_float_to_bool, ui_incrementor, ui_incrementor2, ui_int_to_list, ui_param_enum_in2,
                     ui_param_enum_in_B, ui_param_float_in2, ui_param_float_out2, ui_param_float_out_b,
                     ui_param_text_in, ui_spring, ui_system_command, ui_text_to_float>(table);
    AddRecordWriter<Ctl_SelfDrawing2>(table, WritePanelRectModule);
    AddRecordWriter<Ctl_Keyboard2, Ctl_SelfDrawing2>(table, WritePanelRectModule);
    AddRecordWriter<Ctl_WaveShape>(table, WriteWaveShaper);
    AddRecordWriter<Ctl_WaveShape2, Ctl_WaveShape>(table, WriteWaveShaper);
    AddRecordWriter<CPattSeq>(table, WritePatternSequencer);
    AddRecordWriter<CStepSeq2>(table, WriteStepSequencer);
    AddRecordWriter<CDrumSeq>(table, WriteDrumSequencer);
    AddRecordWriter<CStepSeq>(table, WriteFirstStepSequencer);
    AddRecordWriter<Ctl_VST_Plugin>(table, WriteHostedPlugin);
}

}  // namespace tools
