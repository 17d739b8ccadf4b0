#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <variant>

#include "project/controls.h"
#include "project/doc_plugs.h"
#include "project/module_registry.h"
#include "project/panel_records.h"
#include "project/patch_manager.h"
#include "project/sequencer_records.h"
#include "project/vst_plugin_record.h"
#include "support/module_fields.h"

namespace {

constexpr int32_t kNewest = 95710;

// ---- classes ----------------------------------------------------------------------

TEST(ModuleClasses, EveryRegisteredDocumentClassCanBeMade) {
    for (const auto& [id, entry] : ModuleRegistry::Instance().Entries()) {
        const runtime_class* record = runtime_class::Find(entry->document_class);
        ASSERT_NE(record, nullptr) << id << ": " << entry->document_class;
        ASSERT_NE(record->create, nullptr) << entry->document_class;
        EXPECT_TRUE(record->IsDerivedFrom(&CDocOb::class_info)) << entry->document_class;
    }
}

TEST(ModuleClasses, EachClassDerivesFromItsRecordsBase) {
    const struct {
        const char* name;
        const char* base;
    } cases[] = {
        {"CControl", "CUG"},
        {"Ctl_Slider", "CControl"},
        {"Ctl_PeakMeter", "CControl"},
        {"ui_control2", "CControl"},
        {"ui_param_float_out", "ui_control2"},
        {"Ctl_SelfDrawing", "CControl"},
        {"Ctl_Env_Edit", "Ctl_SelfDrawing"},
        {"Ctl_Keyboard", "Ctl_SelfDrawing"},
        {"Ctl_Soundfont_base", "Ctl_SelfDrawing"},
        {"Cosc_sf", "Ctl_Soundfont_base"},
        {"Ctl_SamplePlay2", "Ctl_Soundfont_base"},
        {"CPattSeq", "CControl"},
        {"CStepSeq2", "CPattSeq"},
        {"CDrumSeq", "CPattSeq"},
        {"CStepSeq", "CUG"},
        {"Ctl_PatchSel", "CUG"},
        {"Ctl_SelfDrawing2", "CUG"},
        {"Ctl_Keyboard2", "Ctl_SelfDrawing2"},
        {"Ctl_WaveShape2", "Ctl_WaveShape"},
        {"CUG_ui", "CUG"},
        {"ui_text_to_float", "CUG_ui"},
        {"CPanelBox2", "CDocOb"},
        {"control_ob_base", "CUG"},
        {"control_ob", "control_ob_base"},
        {"control_ob_bitmap_joystick", "control_ob"},
        {"control_group_ob", "control_ob_base"},
        {"CTabBox", "control_ob_base"},
        {"Ctl_VST_Plugin", "CUG_with_patches"},
        {"CPatchManager", "CObject"},
    };
    for (const auto& c : cases) {
        const runtime_class* record = runtime_class::Find(c.name);
        ASSERT_NE(record, nullptr) << c.name;
        ASSERT_NE(record->base, nullptr) << c.name;
        EXPECT_STREQ(record->base->name, c.base) << c.name;
        EXPECT_NE(record->create, nullptr) << c.name;
    }
}

TEST(ModuleRecords, ClassesWithThePlainModuleFields) {
    for (const char* name : {"CFeedbackDelay", "CMidiAutomator", "CSwitch", "CUG_ui", "ui_spring", "ui_bool_splitter",
                             "ui_param_text_in", "ui_param_float_out_b", "ui_system_command"}) {
        const archive_bytes bytes = archive_bytes().NewClass(name).Append(ModuleFields(kNewest, name));
        EXPECT_EQ(ReadRecord<CUG>(bytes, kNewest)->Title(), name);
    }
}

TEST(ModuleRecords, SelfDrawnModulesKeepTheirPanelRectangle) {
    archive_bytes keyboard = archive_bytes().NewClass("Ctl_Keyboard2").Append(ModuleFields(60)).Rect(1, 2, 3, 4);
    EXPECT_EQ(ReadRecord<Ctl_Keyboard2>(keyboard, 60)->panel_rect, (ws_rect{1, 2, 3, 4}));

    archive_bytes shaper = archive_bytes().NewClass("Ctl_WaveShape2").Append(ModuleFields(95271)).Rect(5, 6, 7, 8);
    EXPECT_EQ(ReadRecord<Ctl_WaveShape>(shaper, 95271)->panel_rect, (ws_rect{5, 6, 7, 8}));
    archive_bytes older_shaper = archive_bytes().NewClass("Ctl_WaveShape").Append(ModuleFields(95270));
    EXPECT_EQ(ReadRecord<Ctl_WaveShape>(older_shaper, 95270)->panel_rect, (ws_rect{0, 0, 10, 10}));
}

// ---- patch manager ----------------------------------------------------------------

archive_bytes PatchManagerStart(int32_t current) {
    return archive_bytes().NewClass("CPatchManager").I32(current).I32(2).I32(0).Text("Init").I32(9).Text("Pad");
}

TEST(PatchManagerRecord, NamesAndParametersOfTheNewestVersion) {
    archive_bytes bytes = PatchManagerStart(5);
    bytes.I32(DT_FLOAT).I32(17).Null().Text("Cutoff").Bool(false).I32(3).Bool(true).I32(22).U32(2).F32(0.5f).F32(0.25f);
    bytes.I32(DT_TEXT).I32(3).Null().Text("Sample").Bool(true).I32(0).Bool(false).I32(20).U32(1).Text("a.wav");
    bytes.I32(DT_ENUM).I32(4).Null().Text("Wave").Bool(false).I32(0).Bool(false).I32(21).U32(1).I16(-2);
    bytes.I32(DT_BOOL).I32(5).Null().Text("On").Bool(false).I32(0).Bool(false).I32(23).U32(1).Bool(true);
    bytes.I32(DT_INT).I32(6).Null().Text("Steps").Bool(false).I32(0).Bool(false).I32(24).U32(1).I32(-70000);
    bytes.I32(-1);
    std::unique_ptr<CPatchManager> manager = ReadRecord<CPatchManager>(bytes, kNewest);

    EXPECT_EQ(manager->CurrentProgram(), 5);
    EXPECT_EQ(manager->ProgramName(0), "Init");
    EXPECT_EQ(manager->ProgramName(9), "Pad");
    EXPECT_EQ(manager->ProgramName(1), "Patch   2");
    EXPECT_EQ(manager->ProgramName(-1), "Patch   6");
    manager->SetProgramName(-1, "Lead");
    EXPECT_EQ(manager->ProgramName(5), "Lead");

    // Kept in id order, whatever the stored order.
    ASSERT_EQ(manager->Parameters().size(), 5u);
    EXPECT_EQ(manager->Parameters().front().id, 3);
    const patch_parameter_record& cutoff = manager->Parameters().back();
    EXPECT_EQ(cutoff.id, 17);
    EXPECT_EQ(cutoff.name, "Cutoff");
    EXPECT_EQ(cutoff.setting, 3);
    EXPECT_TRUE(cutoff.is_private);
    ASSERT_EQ(cutoff.values.size(), 128u);
    EXPECT_EQ(std::get<float>(cutoff.ValueFor(1)), 0.25f);
    EXPECT_EQ(std::get<float>(cutoff.ValueFor(2)), 0.0f);

    const patch_parameter_record& sample = *manager->FindParameter(3);
    EXPECT_TRUE(sample.ignore_program_change);
    EXPECT_EQ(std::get<std::string>(sample.ValueFor(7)), "a.wav");
    EXPECT_EQ(std::get<int16_t>(manager->FindParameter(4)->values[0]), -2);
    EXPECT_TRUE(std::get<bool>(manager->FindParameter(5)->values[0]));
    EXPECT_EQ(std::get<int32_t>(manager->FindParameter(6)->values[0]), -70000);
}

// Two parameters stored under one id: the second gets a fresh one, in 16 bits.
TEST(PatchManagerRecord, ATakenIdIsReplacedByAFreeOne) {
    archive_bytes bytes = PatchManagerStart(0);
    bytes.I32(DT_INT).I32(6).Null().Text("First").Bool(false).I32(0).Bool(false).I32(24).U32(1).I32(1);
    bytes.I32(DT_INT).I32(6).Null().Text("Second").Bool(false).I32(0).Bool(false).I32(24).U32(1).I32(2);
    bytes.I32(-1);
    std::unique_ptr<CPatchManager> manager = ReadRecord<CPatchManager>(bytes, kNewest);
    ASSERT_EQ(manager->Parameters().size(), 2u);
    EXPECT_EQ(manager->FindParameter(6)->name, "First");
    const auto second = std::ranges::find(manager->Parameters(), "Second", &patch_parameter_record::name);
    ASSERT_NE(second, manager->Parameters().end());
    EXPECT_NE(second->id, 6);
    EXPECT_GE(second->id, 0);
    EXPECT_LE(second->id, 0xFFFF);
}

TEST(PatchManagerRecord, OlderVersionsStoreFewerFields) {
    // Before 95311 the record ends with the names.
    EXPECT_EQ(ReadRecord<CPatchManager>(PatchManagerStart(1), 95310)->Parameters().size(), 0u);

    // 95311: a counted list; no name, no program-change setting, no private flag.
    archive_bytes counted = PatchManagerStart(0);
    counted.U32(2);
    counted.I32(DT_INT).I32(8).Null().I32(24).U32(1).I32(42);
    counted.I32(DT_INT).I32(9).Null().I32(24).U32(0);
    std::unique_ptr<CPatchManager> manager = ReadRecord<CPatchManager>(counted, 95311);
    ASSERT_EQ(manager->Parameters().size(), 2u);
    EXPECT_EQ(std::get<int32_t>(manager->Parameters()[0].values[0]), 42);
    EXPECT_EQ(manager->Parameters()[1].name, "");

    // A negative type id ends a counted list early.
    archive_bytes ended = PatchManagerStart(0);
    ended.U32(5).I32(DT_BOOL).I32(1).Null().I32(23).U32(1).Bool(true).I32(-1);
    EXPECT_EQ(ReadRecord<CPatchManager>(ended, 95320)->Parameters().size(), 1u);

    // 95391 adds the name, 95401 the program-change setting.
    archive_bytes named = PatchManagerStart(0);
    named.I32(DT_BOOL).I32(1).Null().Text("Gate").Bool(true).I32(9).I32(23).U32(0).I32(-1);
    const patch_parameter_record gate = ReadRecord<CPatchManager>(named, 95401)->Parameters().at(0);
    EXPECT_EQ(gate.name, "Gate");
    EXPECT_TRUE(gate.ignore_program_change);
    EXPECT_EQ(gate.setting, 9);
}

TEST(PatchManagerRecord, TheBoundPlugIsAnObjectReference) {
    archive_bytes bytes = PatchManagerStart(0);
    bytes.I32(DT_FLOAT).I32(1).NewClass("CPlug2", 2).I16(0).Text("0.5").Count(0);
    bytes.Text("Level").Bool(false).I32(0).Bool(false).I32(22).U32(0).I32(-1);
    archive_reader archive(bytes.bytes);
    archive.version = kNewest;
    auto* manager = archive.ReadObjectOf<CPatchManager>();
    CPlug2* plug = manager->Parameters().at(0).plug;
    ASSERT_NE(plug, nullptr);
    EXPECT_EQ(plug->ValueText(), "0.5");
    EXPECT_TRUE(archive.IsUnowned(plug));  // its module takes it
}

TEST(PatchManagerRecord, MalformedParametersFail) {
    const archive_bytes unknown_type = PatchManagerStart(0).I32(DT_DOUBLE).I32(1);
    ExpectMalformed<CPatchManager>(unknown_type, kNewest);
    const archive_bytes too_many_values =
        PatchManagerStart(0).I32(DT_INT).I32(1).Null().Text("").Bool(false).I32(0).Bool(false).I32(24).U32(129);
    ExpectMalformed<CPatchManager>(too_many_values, kNewest);
    ExpectMalformed<CPatchManager>(archive_bytes().NewClass("CPatchManager").I32(0).I32(-1), kNewest);
    ExpectMalformed<CPatchManager>(archive_bytes().NewClass("CPatchManager").I32(0).I32(1000000), kNewest);
    ExpectMalformed<CPatchManager>(PatchManagerStart(0), kNewest);  // no end of the parameter list
}

// ---- panel objects ----------------------------------------------------------------

TEST(PanelRecords, PanelGroupsBeforeVersion41HaveNoDocumentObjectFields) {
    archive_bytes v41 = archive_bytes().NewClass("CPanelBox2").I32(-1).Null().Text("Mixer").Rect(1, 2, 3, 4);
    std::unique_ptr<CPanelBox2> group = ReadRecord<CPanelBox2>(v41, 41);
    EXPECT_EQ(group->title, "Mixer");
    EXPECT_EQ(group->panel_rect, (ws_rect{1, 2, 3, 4}));

    archive_bytes v40 = archive_bytes().NewClass("CPanelBox2").Text("Old").Rect(0, 0, 5, 5);
    std::unique_ptr<CPanelBox2> old_group = ReadRecord<CPanelBox2>(v40, 40);
    EXPECT_EQ(old_group->title, "Old");
    EXPECT_EQ(old_group->TypeId(), "Panel Group");
}

archive_bytes ControlObStart(const char* class_name) {
    return archive_bytes().NewClass(class_name).Append(ModuleFields(kNewest)).Null().Rect(1, 2, 3, 4);
}

TEST(PanelRecords, ControlModulesSkipTheirControlRecords) {
    archive_bytes bytes = ControlObStart("control_ob_bitmap");
    bytes.I32(0).I32(1).I32(2).I32(3).I32(-2).I32(4).I32(5).I32(6).I32(-1);
    std::unique_ptr<control_ob> image = ReadRecord<control_ob>(bytes, kNewest);
    EXPECT_EQ(image->panel_rect, (ws_rect{1, 2, 3, 4}));
    EXPECT_EQ(image->linked_object, nullptr);

    ExpectMalformed<control_ob>(ControlObStart("control_ob_list").I32(0).I32(1), kNewest);
    ExpectMalformed<control_ob>(ControlObStart("control_ob_text"), kNewest);
}

TEST(PanelRecords, ControlGroupsListTheirMembers) {
    // Entries: 1 group class, 2 group, 3 text class, 4 and 5 text members.
    archive_bytes bytes = ControlObStart("control_group_ob");
    bytes.NewClass("control_ob_text").Append(ModuleFields(kNewest, "first")).Null().Rect(0, 0, 1, 1).I32(-1);
    bytes.OldClass(3).Append(ModuleFields(kNewest, "second")).Ref(2).Rect(0, 0, 1, 1).I32(-1);
    bytes.Null();
    archive_reader archive(bytes.bytes);
    archive.version = kNewest;
    auto* group = archive.ReadObjectOf<control_group_ob>();
    EXPECT_TRUE(archive.AtEnd());
    ASSERT_EQ(group->members.size(), 2u);
    EXPECT_EQ(group->members[0]->Title(), "first");
    EXPECT_EQ(group->members[1]->Title(), "second");
    EXPECT_EQ(group->members[1]->linked_object, group);

    const archive_bytes not_a_control =
        ControlObStart("control_group_ob").NewClass("CPanelBox2").Text("").Text("Box").Rect(0, 0, 1, 1);
    ExpectMalformed<control_group_ob>(not_a_control, kNewest);
}

TEST(PanelRecords, PagedGroupsKeepTheSecondRectangleAndEachObjectOnce) {
    // Entries: 1 tab class, 2 tab box, 3 box class, 4 box, 5 manager class, 6 manager.
    archive_bytes bytes = ControlObStart("CTabBox").Rect(10, 20, 300, 200);
    bytes.NewClass("CPanelBox2").Text("").Text("Box").Rect(0, 0, 1, 1).I32(1);
    bytes.Ref(4).I32(2);
    bytes.NewClass("CPatchManager").I32(0).I32(0).I32(-1);  // not a document object: no page number
    bytes.Ref(2).I32(3);
    bytes.Null();
    archive_reader archive(bytes.bytes);
    archive.version = kNewest;
    auto* tabs = archive.ReadObjectOf<CTabBox>();
    EXPECT_TRUE(archive.AtEnd());
    EXPECT_EQ(tabs->panel_rect, (ws_rect{10, 20, 300, 200}));
    ASSERT_EQ(tabs->pages.size(), 2u);
    EXPECT_EQ(tabs->pages[0].object->GetRuntimeClass(), &CPanelBox2::class_info);
    EXPECT_EQ(tabs->pages[0].page, 1);
    EXPECT_EQ(tabs->pages[1].object, tabs);
    EXPECT_EQ(tabs->pages[1].page, 3);

    EXPECT_EQ(CTabBox().panel_rect, (ws_rect{0, 0, 200, 100}));
}

// ---- sequencers -------------------------------------------------------------------

struct sequencer_counts {
    uint32_t song_entries = 2;
    int32_t current_pattern = 4;
    uint32_t first_steps = 1;
    uint32_t stored_values = 0;
};

// A CStepSeq2 record of the newest version with one step in its first pattern.
archive_bytes StepSequencer2(const sequencer_counts& counts) {
    archive_bytes bytes = archive_bytes().NewClass("CStepSeq2").Append(ModuleFields(kNewest));
    bytes.I32(0).U32(counts.stored_values).Rect(0, 0, 10, 10).Text("");
    bytes.I32(0).F32(140.0f).I32(1).U32(counts.song_entries);
    for (uint32_t i = 0; i < counts.song_entries; ++i) bytes.I32(static_cast<int32_t>(i) + 3);
    bytes.I32(counts.current_pattern);
    bytes.U32(counts.first_steps);
    for (uint32_t i = 0; i < counts.first_steps; ++i) bytes.I32(60).I32(100).I32(5).I32(7).I32(1);
    for (int pattern = 1; pattern < kPatternCount; ++pattern) bytes.U32(0);
    return bytes;
}

TEST(SequencerRecords, StepSequencerPatternsAndSong) {
    std::unique_ptr<CStepSeq2> sequencer = ReadRecord<CStepSeq2>(StepSequencer2({}), kNewest);
    EXPECT_EQ(sequencer->tempo, 140.0f);
    EXPECT_TRUE(sequencer->song_mode);
    EXPECT_EQ(sequencer->song[0], 3);
    EXPECT_EQ(sequencer->song[1], 4);
    EXPECT_EQ(sequencer->song[2], -1);
    EXPECT_EQ(sequencer->current_pattern, 4);
    ASSERT_EQ(sequencer->patterns[0].size(), 1u);
    const sequencer_step& step = sequencer->patterns[0][0];
    EXPECT_EQ(step.note, 60);
    EXPECT_EQ(step.velocity, 100);
    EXPECT_EQ(step.modulation, 5);
    EXPECT_EQ(step.fourth, 7);
    EXPECT_TRUE(step.slide);
    EXPECT_TRUE(sequencer->patterns[31].empty());

    const CStepSeq2 fresh;
    EXPECT_EQ(fresh.song[0], 1);
    EXPECT_EQ(fresh.song[1], -1);
    EXPECT_EQ(fresh.tempo, 120.0f);
}

TEST(SequencerRecords, CountsBeyondTheirBoundsAreMalformed) {
    ReadRecord<CStepSeq2>(StepSequencer2({.song_entries = 100, .current_pattern = -1, .first_steps = 32}), kNewest);
    ExpectMalformed<CStepSeq2>(StepSequencer2({.song_entries = 101}), kNewest);
    ExpectMalformed<CStepSeq2>(StepSequencer2({.current_pattern = 32}), kNewest);
    ExpectMalformed<CStepSeq2>(StepSequencer2({.current_pattern = -2}), kNewest);
    ExpectMalformed<CStepSeq2>(StepSequencer2({.first_steps = 33}), kNewest);
    ExpectMalformed<CStepSeq2>(StepSequencer2({.stored_values = 1}), kNewest);
}

TEST(SequencerRecords, Version14StepsCarryOneMoreValue) {
    archive_bytes bytes = archive_bytes().NewClass("CStepSeq2").Append(ModuleFields(14)).Rect(0, 0, 10, 10);
    bytes.U32(0).U32(0).U32(0).U32(0);  // the old header
    bytes.I32(0).F32(90.0f).I32(0).U32(0);
    bytes.U32(1).I32(48).I32(80).I32(2).I32(0).I32(999);
    for (int pattern = 1; pattern < kPatternCount; ++pattern) bytes.U32(0);
    std::unique_ptr<CStepSeq2> sequencer = ReadRecord<CStepSeq2>(bytes, 14);
    EXPECT_EQ(sequencer->current_pattern, 0);
    EXPECT_EQ(sequencer->patterns[0][0].note, 48);
    EXPECT_FALSE(sequencer->patterns[0][0].slide);
}

archive_bytes DrumSequencer(uint32_t third_pattern_steps) {
    archive_bytes bytes = archive_bytes().NewClass("CDrumSeq").Append(ModuleFields(kNewest));
    bytes.I32(0).U32(0).Rect(0, 0, 10, 10).Text("").I32(0).F32(100.0f).I32(0).U32(0).I32(0);
    bytes.U32(0).U32(0).U32(third_pattern_steps);
    for (uint32_t step = 0; step < third_pattern_steps; ++step) bytes.U32(0x80000003u);
    for (int pattern = 3; pattern < kPatternCount; ++pattern) bytes.U32(0);
    return bytes;
}

TEST(SequencerRecords, DrumPatternsAreStepWords) {
    std::unique_ptr<CDrumSeq> drums = ReadRecord<CDrumSeq>(DrumSequencer(2), kNewest);
    EXPECT_TRUE(drums->patterns[1].empty());
    EXPECT_EQ(drums->patterns[2], (std::vector<uint32_t>{0x80000003u, 0x80000003u}));
    ExpectMalformed<CDrumSeq>(DrumSequencer(33), kNewest);
}

TEST(SequencerRecords, TheFirstStepSequencerStoresTheFourthValueBeforeTheModulation) {
    archive_bytes bytes = archive_bytes().NewClass("CStepSeq").Append(ModuleFields(14)).Rect(1, 1, 2, 2);
    bytes.U32(1).F32(128.0f).U32(1).I32(62).I32(90).I32(7).I32(33).I32(999);
    bytes.I32(1).U32(2).I32(0).I32(0);
    std::unique_ptr<CStepSeq> sequencer = ReadRecord<CStepSeq>(bytes, 14);
    ASSERT_EQ(sequencer->patterns.size(), 1u);
    const sequencer_step& step = sequencer->patterns[0][0];
    EXPECT_EQ(step.note, 62);
    EXPECT_EQ(step.velocity, 90);
    EXPECT_EQ(step.fourth, 7);
    EXPECT_EQ(step.modulation, 33);
    EXPECT_TRUE(sequencer->switch_on);
    EXPECT_EQ(sequencer->song[1], 0);
    EXPECT_EQ(sequencer->song[2], -1);

    ExpectMalformed<CStepSeq>(archive_bytes().NewClass("CStepSeq").Append(ModuleFields(kNewest)).Rect(0, 0, 1, 1).U32(33),
                              kNewest);
}

// ---- hosted plug-in ---------------------------------------------------------------

archive_bytes HostedPlugin(int32_t version, bool chunks) {
    archive_bytes bytes = archive_bytes().NewClass("Ctl_VST_Plugin");
    if (version > 49) bytes.Append(ModuleFields(version, "Synth"));
    bytes.Text("C:\\Plugins\\Synth.dll");
    if (version > 54) bytes.I32(0x41424344);
    bytes.I32(chunks ? 1 : 0).I32(2).I32(2).I32(1);
    if (chunks && version > 38) bytes.U32(3).U8(1).U8(2).U8(3);
    for (const char* name : {"Init", "Lead"}) {
        bytes.Text(name);
        if (!chunks) bytes.F32(0.1f).F32(0.2f);
        if (chunks && version <= 38) bytes.U32(1).U8(9);
    }
    if (version > 41) bytes.U32(2).I32(7 << 16).I32(-1);
    return bytes;
}

TEST(HostedPluginRecord, SavedStateIsReadWithoutALoadedPlugin) {
    const struct {
        int32_t version;
        bool chunks;
        const char* stored_name;
        int32_t unique_id;
    } cases[] = {
        {kNewest, false, "C:\\Plugins\\Synth.dll", 0x41424344},
        {kNewest, true, "C:\\Plugins\\Synth.dll", 0x41424344},
        {50, true, "Synth.dll", 0},
        {42, false, "Synth.dll", 0},
        {38, true, "Synth.dll", 0},
    };
    for (const auto& c : cases) {
        std::unique_ptr<Ctl_VST_Plugin> plugin = ReadRecord<Ctl_VST_Plugin>(HostedPlugin(c.version, c.chunks), c.version);
        EXPECT_EQ(plugin->StoredName(), c.stored_name) << c.version;
        const hosted_plugin_state& saved = plugin->SavedState();
        EXPECT_EQ(saved.unique_id, c.unique_id) << c.version;
        EXPECT_EQ(saved.programs_are_chunks, c.chunks);
        EXPECT_EQ(saved.parameter_count, 2);
        EXPECT_EQ(saved.current_program, 1);
        EXPECT_EQ(saved.program_names, (std::vector<std::string>{"Init", "Lead"})) << c.version;
    }
    EXPECT_EQ(ReadRecord<Ctl_VST_Plugin>(HostedPlugin(kNewest, false), kNewest)->Title(), "Synth");
}

TEST(HostedPluginRecord, MalformedCountsFail) {
    archive_bytes negative = archive_bytes().NewClass("Ctl_VST_Plugin").Append(ModuleFields(kNewest));
    negative.Text("x.dll").I32(0).I32(0).I32(0).I32(-3).I32(0);
    ExpectMalformed<Ctl_VST_Plugin>(negative, kNewest);

    archive_bytes huge_chunk = archive_bytes().NewClass("Ctl_VST_Plugin").Append(ModuleFields(kNewest));
    huge_chunk.Text("x.dll").I32(0).I32(1).I32(0).I32(0).I32(0).U32(0xFFFFFFF0u);
    ExpectMalformed<Ctl_VST_Plugin>(huge_chunk, kNewest);

    archive_bytes huge_values = archive_bytes().NewClass("Ctl_VST_Plugin").Append(ModuleFields(kNewest));
    huge_values.Text("x.dll").I32(0).I32(0).I32(0x7FFFFFFF).I32(1).I32(0).Text("Init");
    ExpectMalformed<Ctl_VST_Plugin>(huge_values, kNewest);
}

// ---- truncation -------------------------------------------------------------------

TEST(ModuleRecords, EveryTruncatedRecordFailsCleanly) {
    archive_bytes slider = archive_bytes().NewClass("Ctl_Slider").Append(ModuleFields(kNewest));
    slider.I32(0).U32(2).F64(1.0).F64(2.0).Rect(0, 0, 10, 10).Text("hint");
    archive_bytes manager = PatchManagerStart(0);
    manager.I32(DT_TEXT).I32(3).Null().Text("Sample").Bool(true).I32(0).Bool(false).I32(20).U32(1).Text("a.wav").I32(-1);
    archive_bytes tabs = ControlObStart("CTabBox").Rect(10, 20, 300, 200);
    tabs.NewClass("CPanelBox2").Text("").Text("Box").Rect(0, 0, 1, 1).I32(1).Null();
    const struct {
        archive_bytes bytes;
        int32_t version;
    } records[] = {
        {slider, kNewest},           {manager, kNewest},
        {tabs, kNewest},             {StepSequencer2({}), kNewest},
        {DrumSequencer(2), kNewest}, {HostedPlugin(kNewest, false), kNewest},
        {HostedPlugin(50, true), 50},
    };
    for (const auto& record : records) {
        ReadRecord<CObject>(record.bytes, record.version);
        for (std::size_t length = 0; length < record.bytes.bytes.size(); ++length) {
            archive_bytes cut;
            cut.bytes.assign(record.bytes.bytes.begin(), record.bytes.bytes.begin() + static_cast<std::ptrdiff_t>(length));
            ExpectMalformed<CObject>(cut, record.version);
        }
    }
}

}  // namespace
