#include "project/module_table.h"

#include "engine/plug.h"
#include "project/doc_plugs.h"

namespace {

constexpr built_in_row kBuiltInTable[] = {
    {"Audio Out", 0x108, 0, 0, "CUG"},
    {"ADSR", 0x100, 32821, 32820, "CUG"},
    {"Container", 0x103, 0, 0, "CContainer"},
    {"IO Mod", 0x106, 0, 0, "CUG"},
    {"Slider", 0x180, 0, 0, "Ctl_Slider"},
    {"Text Entry", 0x180, 0, 0, "Ctl_Text"},
    {"List Entry", 0x180, 0, 0, "Ctl_Combo"},
    {"MIDI Player", 0x100, 0, 0, "CUG"},
    {"Midi to CV", 0x160, 0, 0, "CUG"},
    {"", 0, 0, 0, "CUG"},  // uses up number 10 so that the numbers after it stay; refused
    {"Level Adj", 0x100, 0, 0, "CUG"},
    {"SV Filter", 0x100, 0, 0, "CUG"},
    {"VCA", 0x100, 0, 0, "CUG"},
    {"Drum Trigger", 0x160, 0, 0, "CUG"},
    {"Patch Select", 0x100, 0, 0, "Ctl_PatchSel"},
    {"MIDI In", 0x100, 0, 0, "CUG"},
    {"Delay", 0x100, 0, 0, "CUG"},
    {"MIDI Adder(obsolete)", 0x8, 0, 0, "CUG"},
    {"Clipper", 0x100, 0, 0, "CUG"},
    {"Monitor", 0x180, 0, 0, "Ctl_tty"},
    {"Filter2 obsolete", 0x100, 0, 0, "CUG"},
    {"Thrasher", 0x100, 0, 0, "CUG"},
    {"Switch", 0x108, 0, 0, "CUG"},
    {"Switch2", 0x108, 0, 0, "CUG"},
    {"Filter obs", 0x108, 0, 0, "CUG"},
    {"Inverter", 0x100, 0, 0, "CUG"},
    {"Sample Player obsolete", 0x168, 0, 0, "CUG"},
    {"Notesource", 0x8, 0, 0, "CUG"},
    {"Audio In", 0x108, 0, 0, "CUG"},
    {"MIDI Out", 0x100, 0, 0, "CUG"},
    {"Controllers", 0x100, 0, 0, "CUG"},
    {"VoiceMonitor", 0x108, 0, 0, "CUG"},
    {"Button", 0x188, 0, 0, "Ctl_PushButton"},
    {"Z-Filter obsolete", 0x100, 0, 0, "CUG"},
    {"Panel Group", 0x80, 0, 0, "CPanelBox2"},
    {"X-Mix", 0x100, 0, 0, "CUG"},
    {"Pan", 0x100, 0, 0, "CUG"},
    {"Switch (1->Many)", 0x100, 0, 0, "CSwitch"},
    {"Switch (Many->1)", 0x100, 0, 0, "CSwitch"},
    {"VST Plugin", 0x108, 0, 0, "Ctl_VST_Plugin"},
    {"Peak Follower", 0x100, 0, 0, "CUG"},
    {"Line", 0x108, 0, 0, "CUG"},
    {"Group", 0x88, 0, 0, "CUG"},
    {"Step Sequencer", 0x180, 0, 0, "CStepSeq2"},
    {kBuiltInTableEnd, 0, 0, 0, "CUG"},
};

constexpr module_type_row kArgumentTable[] = {
    {"Control Group", 120, 0x1088, 520, 32829, "control_group_ob"},
    {"Image", -1, 0x1180, 32826, 131, "control_ob_bitmap"},
    {"Joystick Image", -1, 0x1180, 32834, 131, "control_ob_bitmap_joystick"},
    {"Tinted Image", -1, 0x1180, 32827, 131, "control_ob_bitmap_tinted"},
    {"List Entry2", -1, 0x1180, 32839, 131, "control_ob_list"},
    {"Text Entry2", -1, 0x1180, 32838, 131, "control_ob_text"},
    {"Sub Panel", 102, 0x1080, 502, 32828, "CPortal"},
    {"Paged Group", -1, 0x1180, 32840, 32829, "CTabBox"},
    {"Freq Response Test", 59, 0x1100, 459, 32829, "Ctl_FreqResp"},
    {"8 Stage Env", 50, 0x1100, 450, 32829, "CUG"},
    {"Float Adder", 71, 0x1008, 474, 32829, "CUG"},
    {"MIDI Adder2", 74, 0x1008, 474, 32829, "CUG"},
    {"Comparator", 98, 0x1100, 498, 303, "CUG"},
    {"Control Plugs", 121, 0x1100, 521, 32829, "CControlPlugs"},
    {"Trigger to MIDI", 126, 0x1100, 484, 292, "CUG"},
    {"Delay2", 117, 0x1100, 517, 317, "CUG"},
    {"Denormal Detector", 105, 0x1100, 505, 324, "CUG"},
    {"Denormal Cleaner", 104, 0x1100, 504, 324, "CUG"},
    {"Multistage Env", 96, 0x1180, 496, 32829, "Ctl_Env_Edit"},
    {"Feedback Delay", 124, 0x1100, 524, 324, "CFeedbackDelay"},
    {"1 Pole HP", 101, 0x1100, 501, 301, "CUG"},
    {"1 Pole LP", 58, 0x1100, 458, 301, "CUG"},
    {"All Pass", 67, 0x1100, 467, 301, "CUG"},
    {"Moog Filter", 48, 0x1100, 448, 301, "CUG"},
    {"Parametric EQ", 109, 0x1100, 509, 32829, "CUG"},
    {"Fixed Values", 62, 0x1100, 462, 32828, "CUG"},
    {"Freq Analyser", 68, 0x1180, 468, 32828, "Ctl_FreqAn"},
    {"GenProg", 78, 0x1100, 478, 32829, "Ctl_GenProg"},
    {"GenProg Trigger", 79, 0x1100, 479, 32829, "CUG"},
    {"Peak Meter", 60, 0x1180, 460, 32828, "Ctl_PeakMeter"},
    {"LED Indicator", 49, 0x1180, 449, 32828, "Ctl_LED"},
    {"Binary Counter", 82, 0x1100, 482, 325, "CUG"},
    {"Step Counter2", 125, 0x1100, 525, 325, "CUG"},
    {"Step Counter", 93, 0x1100, 493, 32829, "CUG"},
    {"Decade Counter", 83, 0x1100, 483, 32829, "CUG"},
    {"NOR Gate", 57, 0x1100, 357, 325, "CUG"},
    {"NAND Gate", 55, 0x1100, 455, 325, "CUG"},
    {"XOR Gate", 54, 0x1100, 454, 325, "CUG"},
    {"OR Gate", 53, 0x1100, 453, 325, "CUG"},
    {"AND Gate", 52, 0x1100, 452, 325, "CUG"},
    {"NOT Gate", 56, 0x1100, 456, 325, "CUG"},
    {"Shift Register", 85, 0x1100, 485, 325, "CUG"},
    {"Ceil", 112, 0x1100, 512, 312, "CUG"},
    {"Divide", 107, 0x1100, 507, 312, "CUG"},
    {"Floor", 111, 0x1100, 511, 312, "CUG"},
    {"Multiply", 106, 0x1100, 506, 312, "CUG"},
    {"Subtract", 108, 0x1100, 508, 312, "CUG"},
    {"MIDI Automator", 90, 0x1140, 490, 292, "CMidiAutomator"},
    {"MIDI Automator Output", 91, 0x1008, 491, 32829, "CUG"},
    {"MIDI Filter", 92, 0x1100, 492, 292, "CUG"},
    {"KeyBoard", 64, 0x1180, 464, 32828, "Ctl_Keyboard2"},
    {"MIDI Monitor", 77, 0x1180, 477, 292, "Ctl_tty"},
    {"MIDI Recorder", 81, 0x1100, 481, 32829, "CUG"},
    {"Monostable", 89, 0x1100, 489, 325, "CUG"},
    {"Ring Modulator", 61, 0x1100, 461, 317, "CUG"},
    {"Soundfont Oscillator", 114, 0x1180, 514, 32820, "Cosc_sf"},
    {"Oscillator", 0, 0x1100, 32819, 32820, "CUG"},
    {"Phase Dist Osc", 87, 0x1100, 32822, 32820, "CUG"},
    {"Patch Mem - Text in", -1, 0x1100, 138, 131, "ui_param_text_in"},
    {"Plugin", 113, 0x1100, 513, 32829, "CUG"},
    {"Quantiser", 103, 0x1100, 503, 303, "CUG"},
    {"random", -1, 0x1100, 148, 324, "CUG"},
    {"Rectifier", 51, 0x1100, 451, 303, "CUG"},
    {"Sample and Hold", 65, 0x1100, 465, 303, "CUG"},
    {"Soundfont Player", 86, 0x11E0, 486, 292, "Ctl_SamplePlay2"},
    {"Sound In", 116, 0x1100, 516, 323, "CUG"},
    {"Sound Out", 115, 0x1100, 515, 323, "CUG"},
    {"Drum Sequencer", 46, 0x1180, 446, 292, "CDrumSeq"},
    {"OS Command", 110, 0x1100, 510, 324, "CUG"},
    {"1 KHz Tone", 80, 0x1100, 480, 32829, "CUG"},
    {"Voice Combiner", 118, 0x1100, 518, 324, "CUG"},
    {"Volt Meter", 100, 0x1180, 500, 32828, "Ctl_VoltMeter"},
    {"Voltage To List", 99, 0x1100, 499, 299, "CUG"},
    {"VST Input", 94, 0x1008, 494, 32829, "CUG"},
    {"VST Output", 95, 0x1008, 495, 32829, "CUG"},
    {"Wave Player", 122, 0x1100, 522, 323, "CUG"},
    {"Wave Recorder", 123, 0x1100, 523, 323, "CUG"},
    {"WaveShaper", 47, 0x1180, 447, 303, "Ctl_WaveShape"},
    {"WaveShaper2", 76, 0x1180, 476, 303, "Ctl_WaveShape2"},
    {"Image to Frame", -1, 0x1100, 136, 131, "ui_bitmap_frame"},
    {"Bool Splitter", -1, 0x1100, 137, 131, "ui_bool_splitter"},
    {"Bools to List", -1, 0x1100, 133, 131, "ui_bools_to_enum"},
    {"List To Bools", -1, 0x1100, 130, 131, "ui_enum_to_bools"},
    {"Float To Bool", -1, 0x1100, 132, 131, "ui_float_to_bool"},
    {"Increment", -1, 0x1100, 32837, 32829, "ui_incrementor"},
    {"Increment2", -1, 0x1100, 191, 131, "ui_incrementor2"},
    {"Int to List", -1, 0x1100, 135, 131, "ui_int_to_list"},
    {"Patch Parameter - Level Out", -1, 0x1100, 32833, 32829, "ui_param_float_out"},
    {"Spring", -1, 0x1100, 32835, 131, "ui_spring"},
    {"System Command2", -1, 0x1100, 134, 131, "ui_system_command"},
    {"Text To Float", -1, 0x1100, 32841, 131, "ui_text_to_float"},
};

constexpr plug_row kFloatToVoltsPlugs[] = {
    {"Smoothing", DR_IN, DT_ENUM, "2", "None,Fast (4 samp),Smooth (30ms)", 0},
    {"Float In", DR_IN, DT_FLOAT, "", "", 0},
    {"Volts Out", DR_OUT, DT_AUDIO, "", "", 0},
};

constexpr plug_row kVoltsToFloatPlugs[] = {
    {"Volts In", DR_IN, DT_AUDIO, "", "", IO_NOT_POLYPHONIC},
    {"Response", DR_IN, DT_ENUM, "4",
     "dB VU,dB PPM,dB Peak,dB HeadRoom, Volts DC (Fast), Volts DC Average, Volts RMS", 0},
    {"Update Rate", DR_IN, DT_ENUM, "10", "1 Hz=1,5 Hz=5,10 Hz=10,20 Hz=20,40 Hz=40", 0},
    {"Float Out", DR_OUT, DT_FLOAT, "", "", 0},
};

// Patch-memory modules: the value is bound to the patch manager and passes
// straight to the output; name, range and position are panel-side settings
// that get no audio plug.
constexpr plug_row kPatchMemFloatInPlugs[] = {
    {"Name", DR_IN, DT_TEXT, "", "", DPF_PARAMETER_STYLE},
    {"Value", DR_IN, DT_FLOAT, "", "", DPF_PATCH_MANAGER},
    {"Animation Position", DR_IN, DT_FLOAT, "", "", DPF_PARAMETER_STYLE},
    {"Min Value", DR_IN, DT_FLOAT, "", "", DPF_PARAMETER_STYLE},
    {"Max Value", DR_IN, DT_FLOAT, "", "", DPF_PARAMETER_STYLE},
    {"Value Out", DR_OUT, DT_FLOAT, "", "", 0},
};

constexpr plug_row kPatchMemListInPlugs[] = {
    {"Name", DR_IN, DT_TEXT, "", "", DPF_PARAMETER_STYLE},
    {"Value", DR_IN, DT_ENUM, "", "", DPF_PATCH_MANAGER},
    {"List Out", DR_OUT, DT_ENUM, "", "", 0},
};

// Panel-side scalers join control features, which are parameter-style plugs.
constexpr plug_row kFloatScalerPlugs[] = {
    {"Value In", DR_IN, DT_FLOAT, "", "", DPF_PARAMETER_STYLE},
    {"Multiply by", DR_IN, DT_FLOAT, "", "", DPF_PARAMETER_STYLE},
    {"Add", DR_IN, DT_FLOAT, "", "", DPF_PARAMETER_STYLE},
    {"Value Out", DR_OUT, DT_FLOAT, "", "", DPF_PARAMETER_STYLE},
};

constexpr plug_row kAnimationScaleDbPlugs[] = {
    {"Animation Position", DR_OUT, DT_FLOAT, "", "", DPF_PARAMETER_STYLE},
    {"Db", DR_IN, DT_FLOAT, "", "", DPF_PARAMETER_STYLE},
};

constexpr static_module_record kStaticRecords[] = {
    {"FloatToVolts", 141, 299, "CUG", 0x100, kFloatToVoltsPlugs},
    {"PatchMemListIn2", 139, 131, "ui_param_enum_in2", 0x100, kPatchMemListInPlugs},
    {"PatchMemFloatIn", 140, 131, "ui_param_float_in2", 0x100, kPatchMemFloatInPlugs},
    {"VoltsToFloat", 142, 299, "CUG", 0x100, kVoltsToFloatPlugs},
    {"UiAnimationScaleDb", 147, 131, "ui_animation_scaler_db", 0x100, kAnimationScaleDbPlugs},
    {"UiFloatScaler", 145, 131, "ui_float_scaler", 0x100, kFloatScalerPlugs},
    {"PatchMemListIn_B", 196, 131, "ui_param_enum_in_B", 0x100, kPatchMemListInPlugs},
    // The patch-memory float outputs describe no plugs of their own.
    {"PatchMemFloatOut", 143, 131, "ui_param_float_out2", 0x100, {}},
    {"PatchMemFloatOutB", 146, 131, "ui_param_float_out_b", 0x100, {}},
};

}  // namespace

std::span<const built_in_row> BuiltInModuleTable() { return kBuiltInTable; }
std::span<const module_type_row> ArgumentModuleTable() { return kArgumentTable; }
std::span<const static_module_record> StaticModuleRecords() { return kStaticRecords; }
