// Every class record the project reader reads, written back by the record
// writers: hand-made records at the newest version are read, written again
// and must come out byte for byte as they went in, so reading the written
// record gives the same fields.
#include "tools/archive_records.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/plug.h"
#include "project/controls.h"
#include "project/doc_objects.h"
#include "project/module_registry.h"
#include "project/project_document.h"
#include "support/archive_bytes.h"
#include "tools/project_writer.h"

namespace tools {
namespace {

struct record_case {
    std::string name;
    archive_bytes bytes;
};

std::vector<uint8_t> Rewritten(const archive_bytes& record) {
    archive_reader reader(record.bytes);
    reader.version = kNewestArchiveVersion;
    const CObject* object = reader.ReadObject(nullptr);
    EXPECT_TRUE(reader.AtEnd()) << "bytes left at " << reader.Offset();
    archive_writer writer(ProjectRecordWriters());
    writer.WriteObject(object);
    return writer.Bytes();
}

void ExpectRewrittenAsRead(const std::vector<record_case>& cases) {
    for (const record_case& c : cases) EXPECT_EQ(Rewritten(c.bytes), c.bytes.bytes) << c.name;
}

// A class record and the module fields of a module without plugs.
archive_bytes Module(const std::string& class_name, const std::string& title = "Module") {
    return archive_bytes().NewClass(class_name).Text("Type").Count(0).Text(title).I16(1).Rect(1, 2, 30, 40);
}

// The control fields with `count` values of `kind`, all different.
archive_bytes ControlFields(int32_t kind, int32_t count) {
    archive_bytes bytes;
    bytes.I32(0).I32(count);
    if (kind == DT_TEXT) bytes.Count(static_cast<uint32_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        if (kind == DT_TEXT)
            bytes.Text("value " + std::to_string(i));
        else if (kind == DT_ENUM)
            bytes.I32(3 * i - 5);
        else
            bytes.F64(0.125 * i - 1.0);
    }
    return bytes.Rect(5, 6, 70, 80).Text("A hint");
}

archive_bytes Song() { return archive_bytes().U32(3).I32(1).I32(4).I32(2); }

archive_bytes Step(int32_t note) { return archive_bytes().I32(note).I32(100).I32(-7).I32(9); }

TEST(ArchiveRecords, ModulesWithThePlainModuleFieldsAndLittleMore) {
    std::vector<record_case> cases;
    for (const char* name : {"CUG", "CUG_with_patches", "CControlPlugs", "Ctl_PatchSel", "CFeedbackDelay",
                             "CMidiAutomator", "CSwitch", "CUG_ui", "ui_animation_scaler_db", "ui_bitmap_frame",
                             "ui_bool_splitter", "ui_bools_to_enum", "ui_enum_to_bools", "ui_float_scaler",
                             "ui_float_to_bool", "ui_incrementor", "ui_incrementor2", "ui_int_to_list",
                             "ui_param_enum_in2", "ui_param_enum_in_B", "ui_param_float_in2", "ui_param_float_out2",
                             "ui_param_float_out_b", "ui_param_text_in", "ui_spring", "ui_system_command",
                             "ui_text_to_float"})
        cases.push_back({name, Module(name)});
    for (const char* name : {"CUG2", "Ctl_SelfDrawing2", "Ctl_Keyboard2", "Ctl_WaveShape", "Ctl_WaveShape2"})
        cases.push_back({name, Module(name).Rect(-5, -6, 7, 8)});
    cases.push_back({"CPlugin", Module("CPlugin").Text("filters.dll")});
    cases.push_back({"CPlugin2", Module("CPlugin2").Text("filters.dll").Rect(9, 8, 7, 6)});
    ExpectRewrittenAsRead(cases);
}

TEST(ArchiveRecords, ControlsOfEveryValueKindAndCount) {
    const struct {
        const char* name;
        int32_t kind;
        int32_t count;
    } controls[] = {
        {"CControl", DT_DOUBLE, 128},       {"Ctl_Slider", DT_DOUBLE, 128},     {"Ctl_Combo", DT_ENUM, 128},
        {"Ctl_Text", DT_TEXT, 128},         {"Ctl_PushButton", DT_DOUBLE, 128}, {"Ctl_LED", DT_DOUBLE, 1},
        {"Ctl_PeakMeter", DT_DOUBLE, 1},    {"Ctl_VoltMeter", DT_DOUBLE, 1},    {"ui_control2", DT_DOUBLE, 128},
        {"ui_param_float_out", DT_DOUBLE, 1}, {"Ctl_SelfDrawing", DT_DOUBLE, 128}, {"Ctl_Env_Edit", DT_TEXT, 128},
        {"Ctl_FreqAn", DT_ENUM, 128},       {"Ctl_FreqResp", DT_ENUM, 128},     {"Ctl_GenProg", DT_ENUM, 128},
        {"Ctl_Keyboard", DT_ENUM, 128},     {"Ctl_tty", DT_ENUM, 128},          {"Ctl_Soundfont_base", DT_TEXT, 128},
        {"Cosc_sf", DT_TEXT, 128},          {"Ctl_SamplePlay2", DT_TEXT, 128},
    };
    std::vector<record_case> cases;
    for (const auto& control : controls)
        cases.push_back({control.name, Module(control.name).Append(ControlFields(control.kind, control.count))});
    ExpectRewrittenAsRead(cases);
}

TEST(ArchiveRecords, Sequencers) {
    const archive_bytes pattern_fields = archive_bytes().I32(0).F32(132.5f).I32(1).Append(Song()).I32(3);
    // Pattern 2 of the step sequencer holds two steps (the second slides),
    // pattern 5 of the drum sequencer three step words.
    archive_bytes steps;
    for (int pattern = 0; pattern < 32; ++pattern) {
        steps.U32(pattern == 2 ? 2 : 0);
        if (pattern == 2) steps.Append(Step(60)).I32(0).Append(Step(-1)).I32(1);
    }
    archive_bytes drums;
    for (int pattern = 0; pattern < 32; ++pattern) {
        drums.U32(pattern == 5 ? 3 : 0);
        if (pattern == 5) drums.U32(1).U32(0x6).U32(0x80000001u);
    }
    const archive_bytes no_values = ControlFields(DT_DOUBLE, 0);
    ExpectRewrittenAsRead({
        {"CPattSeq", Module("CPattSeq").Append(no_values).Append(pattern_fields)},
        {"CStepSeq2", Module("CStepSeq2").Append(no_values).Append(pattern_fields).Append(steps)},
        {"CDrumSeq", Module("CDrumSeq").Append(no_values).Append(pattern_fields).Append(drums)},
        {"CStepSeq", Module("CStepSeq")
                         .Rect(1, 1, 2, 2)
                         .U32(2)
                         .F32(90.0f)
                         .U32(1)
                         .Append(Step(64))
                         .U32(0)
                         .I32(1)
                         .Append(Song())},
    });
}

// The module keeps the hosted plug-in's names and counts; its chunk,
// parameter values and MIDI assignments are stored empty, zero and none.
TEST(ArchiveRecords, HostedPlugInsWithChunksAndWithParameterValues) {
    ExpectRewrittenAsRead({
        {"chunks", Module("Ctl_VST_Plugin")
                       .Text("Synth.dll")
                       .I32(0x41424344)
                       .I32(1)
                       .I32(3)
                       .I32(2)
                       .I32(1)
                       .U32(0)
                       .Text("Warm")
                       .Text("Cold")
                       .U32(0)},
        {"values", Module("Ctl_VST_Plugin")
                       .Text("Delay.dll")
                       .I32(7)
                       .I32(0)
                       .I32(2)
                       .I32(1)
                       .I32(0)
                       .Text("Only")
                       .F32(0)
                       .F32(0)
                       .U32(0)},
    });
}

TEST(ArchiveRecords, PanelObjects) {
    const archive_bytes linked = archive_bytes().NewClass("CUG").Text("").Count(0).Text("Linked").I16(0).Rect(0, 0, 20, 20);
    std::vector<record_case> cases = {
        {"CPanelBox2", archive_bytes().NewClass("CPanelBox2").Text("Panel Group").Text("Filters").Rect(1, 2, 3, 4)},
        {"control_ob_base", Module("control_ob_base").Append(linked).Rect(3, 3, 9, 9)},
        {"control_group_ob",
         Module("control_group_ob").Null().Rect(0, 0, 5, 5).Append(Module("control_ob", "Member")).Null().Rect(1, 1, 1, 1).I32(-1).Null()},
        // Entries 1, 2 the paged group, 3, 4 the linked module (also on page 2).
        {"CTabBox", Module("CTabBox").Append(linked).Rect(2, 2, 300, 200).Rect(2, 2, 300, 200).Ref(4).I32(2).Null()},
    };
    for (const char* name : {"control_ob", "control_ob_bitmap", "control_ob_bitmap_tinted",
                             "control_ob_bitmap_joystick", "control_ob_text", "control_ob_list"})
        cases.push_back({name, Module(name).Null().Rect(4, 4, 8, 8).I32(-1)});
    ExpectRewrittenAsRead(cases);
}

// One module holding a plug of every class: entries 1, 2 the module, then a
// class and an object for each plug; the two boundary plugs are a pair.
TEST(ArchiveRecords, PlugsOfEveryClass) {
    const archive_bytes module =
        archive_bytes()
            .NewClass("CUG")
            .Text("Type")
            .Count(10)
            .NewClass("CPlugGui")  // 3, 4
            .I16(0)
            .Text("gui")
            .Count(0)
            .NewClass("CPlug2", 2)  // 5, 6
            .I16(1)
            .Text("0.5")
            .Count(0)
            .NewClass("CPlugNameable")  // 7, 8
            .I16(2)
            .Text("")
            .Count(0)
            .Text("Named")
            .NewClass("CPlugIO2")  // 9, 10
            .I16(3)
            .Text("5")
            .Count(0)
            .Text("Left")
            .I16(DR_IN)
            .OldClass(9)  // 11
            .I16(4)
            .Text("")
            .Count(0)
            .Text("Left")
            .I16(DR_OUT)
            .Ref(10)
            .I16(DT_AUDIO)
            .I16(DT_AUDIO)
            .Ref(11)
            .NewClass("CPlugControled")  // 12, 13
            .I16(5)
            .Text("0")
            .Count(0)
            .Text("Input")
            .I32(DR_IN)
            .I32(DT_TEXT)
            .Text("wav")
            .NewClass("CPlugFeature")  // 14, 15
            .I16(-1)
            .Text("Spare")
            .Count(0)
            .I32(DR_PARAMETER)
            .I32(DT_ENUM)
            .I32(2)
            .Text("Mode")
            .Text("A,B,C")
            .U32(0x1000)
            .NewClass("CPlugFeature2")  // 16, 17
            .I16(-1)
            .Text("")
            .Count(0)
            .I32(DR_IN)
            .I32(DT_FLOAT)
            .I32(-1)
            .Text("Two")
            .Text("")
            .U32(0)
            .NewClass("CPlugFeature3")  // 18, 19
            .I16(-1)
            .Text("x")
            .Count(0)
            .I32(DR_OUT)
            .I32(DT_TEXT)
            .I32(0)
            .Text("Three")
            .Text("")
            .U32(0x20)
            .Bool(true)
            .NewClass("CPlugFeature4")  // 20, 21
            .I16(7)
            .Text("1")
            .Count(0)
            .I32(DR_IN)
            .I32(DT_BOOL)
            .I32(-1)
            .Text("Four")
            .Text("")
            .U32(0)
            .Text("Plugs")
            .I16(0)
            .Rect(0, 0, 20, 20);
    ExpectRewrittenAsRead({{"plugs", module}});
}

archive_bytes FloatValues() {
    archive_bytes bytes;
    for (int program = 0; program < 128; ++program) bytes.F32(program * 0.5f);
    return bytes;
}

// A container with a patch manager, two modules joined by a wire, and a
// portal. The reader puts each child it reads in front of the ones before, so
// the writer stores them in reverse to keep their order.
TEST(ArchiveRecords, ContainerWithPatchManagerChildrenAndWire) {
    archive_bytes parameters;
    const std::pair<int32_t, archive_bytes> kinds[] = {
        {DT_ENUM, [] { archive_bytes b; for (int p = 0; p < 128; ++p) b.I16(static_cast<int16_t>(p % 3)); return b; }()},
        {DT_TEXT, [] { archive_bytes b; for (int p = 0; p < 128; ++p) b.Text(p == 4 ? "four" : ""); return b; }()},
        {DT_BOOL, [] { archive_bytes b; for (int p = 0; p < 128; ++p) b.Bool(p % 2 == 1); return b; }()},
        {DT_FLOAT, FloatValues()},
        {DT_INT, [] { archive_bytes b; for (int p = 0; p < 128; ++p) b.I32(-p); return b; }()},
    };
    for (const auto& [type, values] : kinds) {
        parameters.I32(type).I32(100 + type).Null().Text("Parameter " + std::to_string(type)).Bool(type == DT_BOOL)
            .I32(type * 2).Bool(type == DT_INT).I32(type).U32(128).Append(values);
    }
    const archive_bytes container =
        archive_bytes()
            .NewClass("CContainer", 95)  // 1, 2
            .Text("Container")
            .Count(0)
            .Text("Synth")
            .I16(0)
            .Rect(0, 0, 20, 20)
            .NewClass("CPatchManager")  // 3, 4
            .I32(2)
            .I32(2)
            .I32(0)
            .Text("Init")
            .I32(5)
            .Text("Lead")
            .Append(parameters)
            .I32(-1)
            .NewClass("CUG")  // 5, 6: "Osc"
            .Text("Oscillator")
            .Count(1)
            .NewClass("CPlug2", 2)  // 7, 8
            .I16(0)
            .Text("")
            .Count(1)
            .NewClass("CLine2")  // 9, 10
            .Text("Line")
            .Ref(8)
            .OldClass(7)  // 11
            .I16(0)
            .Text("0")
            .Count(1)
            .Ref(10)
            .Text("Osc")
            .I16(0)
            .Rect(0, 0, 20, 20)
            .OldClass(5)  // 12: "VCA"
            .Text("VCA")
            .Count(1)
            .Ref(11)
            .Text("VCA")
            .I16(1)
            .Rect(40, 0, 60, 20)
            .NewClass("CPortal")  // 13, 14
            .Text("Sub Panel")
            .Text("Synth")
            .Rect(0, 0, 200, 150)
            .I32(2)
            .Ref(10)
            .Null()
            .Rect(7, 7, 9, 9)
            .Rect(0, 0, 0, 0)
            .Rect(0, 0, 0, 0)
            .Point(0, 0)
            .Point(0, 0)
            .U32(0x180)
            .Text("Chrome")
            .Bool(true);
    ExpectRewrittenAsRead({{"container", container}});
}

TEST(ArchiveRecords, EmbeddedFilesAndSkinParts) {
    const std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0, 1, 2};
    archive_bytes image = archive_bytes().U32(static_cast<uint32_t>(png.size()));
    image.bytes.insert(image.bytes.end(), png.begin(), png.end());
    const archive_bytes bitmap = archive_bytes().I32(48).I32(32).Text("knob").I32(1).Append(image);
    ExpectRewrittenAsRead({
        {"imbedded_file", archive_bytes().NewClass("imbedded_file").Text("drums\\kick.wav").U32(3).U8(1).U8(2).U8(3)},
        {"CSkinBitmap", archive_bytes().NewClass("CSkinBitmap").Append(bitmap)},
        {"CAnimBitmap", archive_bytes()
                            .NewClass("CAnimBitmap")
                            .Append(bitmap)
                            .I32(64)
                            .I32(1)
                            .I32(63)
                            .I32(0)
                            .Rect(1, 2, 3, 4)
                            .Point(48, 48)
                            .I32(63)
                            .I32(2)
                            .I32(1)
                            .I32(2)
                            .I32(3)
                            .I32(4)},
        {"SkinFontInfo",
         archive_bytes().NewClass("SkinFontInfo").Text("knob label").Text("Tahoma").I32(9).U32(0xC0C0C0).U32(0x101010).U32(3)},
    });
}

// A whole project: the header with every setting, an embedded file and a
// skin, the unused byte, then the root container with its patch manager.
TEST(ArchiveRecords, ProjectHeaderSettingsSkinsAndRoot) {
    const archive_bytes project =
        archive_bytes()
            .I32(kNewestArchiveVersion)
            .Count(1)
            .NewClass("imbedded_file")  // 1, 2
            .Text("kit.sf2")
            .U32(2)
            .U8(7)
            .U8(8)
            .Text("text A")
            .I32(1)
            .I32(1)
            .Text("WsHd")
            .Text("text B")
            .I32(1)
            .Text("text C")
            .I32(0)
            .Point(640, 480)
            .U32(0x21)
            .I32(32)
            .Text("Vendor")
            .Text("text D")
            .Text("Product")
            .I32(1)
            .U32(1)
            .Text("default")
            .NewClass("CAnimBitmap")  // 3, 4
            .I32(8)
            .I32(8)
            .Text("led")
            .I32(0)
            .U32(1)
            .U8(0x89)
            .I32(2)
            .I32(0)
            .I32(1)
            .I32(0)
            .Rect(0, 0, 8, 8)
            .Point(8, 4)
            .I32(1)
            .I32(0)
            .I32(0)
            .I32(0)
            .I32(0)
            .I32(0)
            .Null()
            .Count(1)
            .NewClass("SkinFontInfo")  // 5, 6
            .Text("label")
            .Text("Arial")
            .I32(12)
            .U32(0xFFFFFF)
            .U32(0)
            .U32(0)
            .U8(0)
            .NewClass("CContainer", 95)  // 7, 8
            .Text("Container")
            .Count(0)
            .Text("Root")
            .I16(0)
            .Rect(0, 0, 20, 20)
            .NewClass("CPatchManager")  // 9, 10
            .I32(0)
            .I32(0)
            .I32(-1)
            .Null()
            .Rect(0, 0, 0, 0)
            .Rect(0, 0, 0, 0)
            .Rect(0, 0, 0, 0)
            .Point(0, 0)
            .Point(0, 0)
            .U32(0)
            .Text("default")
            .Bool(false);
    project_document document;
    ASSERT_EQ(ReadProject(project.bytes, document, false), project_read_result::ok);
    EXPECT_EQ(document.settings.text_d, "text D");
    EXPECT_EQ(WriteProjectArchive(document), project.bytes);
}

TEST(ArchiveRecords, EveryModuleTypesDocumentClassHasAWriter) {
    for (const auto& [id, entry] : ModuleRegistry::Instance().Entries())
        EXPECT_EQ(ProjectRecordWriters().count(runtime_class::Find(entry->document_class)), 1u)
            << id << ": " << entry->document_class;
}

}  // namespace
}  // namespace tools
