#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "project/controls.h"
#include "project/doc_plugs.h"
#include "project/patch_manager.h"
#include "project/project_document.h"
#include "support/module_fields.h"

namespace {

constexpr int32_t kNewest = 95710;

// Records what the observed object announces.
struct notification_log : doc_observer {
    struct entry {
        int code;
        CObject* subject;
        CObject* about;
    };
    void OnDocNotify(int code, CObject* subject, CObject* about) override { entries.push_back({code, subject, about}); }
    int Count(int code) const {
        int count = 0;
        for (const entry& e : entries) count += e.code == code ? 1 : 0;
        return count;
    }
    std::vector<entry> entries;
};

CPlug2* AddNamedPlug(CUG& module, const std::string& name, const std::string& value) {
    auto plug = std::make_unique<CPlugNameable>();
    plug->StoreName(name);
    plug->StoreValueText(value);
    return module.AddPlug(std::move(plug));
}

// A plug that carries a list text of its own, standing in for the input a
// list control's "Choice" output feeds.
void AddChoicePlug(CUG& module, const std::string& list) {
    auto plug = std::make_unique<CPlugFeature>();
    plug->name = "Choice";
    plug->direction = DR_PARAMETER;
    plug->data_type = DT_ENUM;
    plug->list_text = list;
    module.AddPlug(std::move(plug));
}

// A root container with programs, holding one control.
template <class Control>
struct control_in_patch {
    control_in_patch() {
        root.document = &document;
        root.SetPatchManager(std::make_unique<CPatchManager>());
        control = static_cast<Control*>(root.AddChild(std::make_unique<Control>()));
        control->SetTitle("Cutoff");
    }
    void SelectProgram(int32_t program) { root.PatchManager()->SetCurrentProgram(program); }

    project_document document;
    CContainer root;
    Control* control;
};

TEST(ControlValues, FloatingValuesKeepThreeSignificantDecimals) {
    const struct {
        double value;
        const char* text;
    } cases[] = {{0.5, "0.500"}, {12.5, "12.50"}, {250.0, "250.0"}, {-3.0, "-3.000"}, {99.999, "100.00"}, {0.0, "0.000"}};
    Ctl_Slider slider;
    for (const auto& c : cases) {
        slider.SetValue(0, c.value);
        EXPECT_EQ(slider.ValueText(0), c.text) << c.value;
    }
}

TEST(ControlValues, TextsByKind) {
    Ctl_Combo list;
    list.SetValueText(0, "42");
    EXPECT_EQ(list.ValueText(0), "42");
    list.SetValueText(0, "7.9");
    EXPECT_EQ(list.ValueText(0), "7");
    list.SetValueText(0, "99999999999");
    EXPECT_EQ(list.ValueText(0), "2147483647");

    Ctl_Text text;
    text.SetValueText(5, "hello");
    EXPECT_EQ(text.ValueText(5), "hello");
    EXPECT_EQ(text.Value(5), 0.0);

    Ctl_Slider slider;
    slider.SetValueText(1, "2.25");
    EXPECT_DOUBLE_EQ(slider.Value(1), 2.25);
    slider.SetValueText(1, "not a number");
    EXPECT_EQ(slider.ValueText(1), "0.000");
}

TEST(ControlValues, ProgramsOutsideTheValuesReadTheFirstAndWriteNothing) {
    Ctl_Slider slider;
    slider.SetValue(0, 4.0);
    slider.SetValue(128, 9.0);
    EXPECT_EQ(slider.ValueText(128), "4.00");
    EXPECT_EQ(slider.ValueText(1000), "4.00");

    Ctl_LED led;  // one value
    led.SetValue(3, 1.0);
    EXPECT_EQ(led.ValueText(3), "0.000");
}

TEST(ControlPrograms, ProgramFollowingNeedsTheIgnoreProgramChangePlugOff) {
    control_in_patch<Ctl_Slider> patch;
    Ctl_Slider& slider = *patch.control;
    slider.SetValue(0, 1.0);
    slider.SetValue(3, 3.0);
    patch.SelectProgram(3);

    EXPECT_FALSE(slider.FollowsPrograms());
    EXPECT_EQ(slider.getValueText(), "1.00");

    CPlug2* ignore = AddNamedPlug(slider, "Ignore Program Change", "0");
    EXPECT_TRUE(slider.FollowsPrograms());
    EXPECT_EQ(slider.getValueText(), "3.00");

    ignore->StoreValueText("1");
    EXPECT_FALSE(slider.FollowsPrograms());
    EXPECT_EQ(slider.getValueText(), "1.00");

    ignore->StoreValueText("0");
    patch.SelectProgram(-4);
    EXPECT_EQ(slider.getValueText(), "1.00");
}

TEST(ControlPrograms, SubContainersShowTheProgramsOfTheContainerAbove) {
    control_in_patch<CContainer> patch;
    auto* slider = static_cast<Ctl_Slider*>(patch.control->AddChild(std::make_unique<Ctl_Slider>()));
    AddNamedPlug(*slider, "Ignore Program Change", "0");
    slider->SetValue(6, 2.5);
    patch.SelectProgram(6);
    EXPECT_EQ(slider->getValueText(), "2.50");
}

TEST(ControlPrograms, ChangingTheCurrentValueNotifiesAndMarksTheDocument) {
    control_in_patch<Ctl_Slider> patch;
    Ctl_Slider& slider = *patch.control;
    AddNamedPlug(slider, "Ignore Program Change", "0");
    patch.SelectProgram(2);
    notification_log log;
    slider.AddObserver(&log);

    slider.SetValueText(5, "1");
    EXPECT_TRUE(patch.document.modified);
    EXPECT_EQ(log.Count(NOTIFY_VALUE_CHANGED), 0);

    slider.setValueText("2");
    EXPECT_EQ(slider.ValueText(2), "2.00");
    EXPECT_EQ(log.Count(NOTIFY_VALUE_CHANGED), 1);

    slider.setValueText("2.0");  // the same value
    EXPECT_EQ(log.Count(NOTIFY_VALUE_CHANGED), 1);
    slider.RemoveObserver(&log);
}

TEST(ControlPrograms, CopyValueStaysInsideTheValues) {
    control_in_patch<Ctl_Text> patch;
    Ctl_Text& text = *patch.control;
    AddNamedPlug(text, "Ignore Program Change", "0");
    text.SetValueText(2, "bright");
    notification_log log;
    text.AddObserver(&log);

    patch.SelectProgram(40);
    text.CopyValue(2, 100, 500);
    EXPECT_EQ(text.ValueText(100), "bright");
    EXPECT_EQ(text.ValueText(127), "bright");
    EXPECT_EQ(text.ValueText(99), "");
    EXPECT_EQ(log.Count(NOTIFY_VALUE_CHANGED), 0);

    text.CopyValue(2, -5, 40);
    EXPECT_EQ(text.ValueText(0), "bright");
    EXPECT_EQ(log.Count(NOTIFY_VALUE_CHANGED), 1);
    text.RemoveObserver(&log);
}

TEST(ControlFace, EveryClassAnswersWithItsKindCountAndRole) {
    const struct {
        const char* name;
        int32_t kind;
        int32_t count;
        bool automatable;
        bool output;
    } cases[] = {
        {"CControl", DT_DOUBLE, 128, false, false},       {"Ctl_Slider", DT_DOUBLE, 128, true, false},
        {"Ctl_Combo", DT_ENUM, 128, true, false},         {"Ctl_Text", DT_TEXT, 128, false, false},
        {"Ctl_PushButton", DT_DOUBLE, 128, false, false}, {"Ctl_LED", DT_DOUBLE, 1, false, true},
        {"Ctl_PeakMeter", DT_DOUBLE, 1, true, true},      {"Ctl_VoltMeter", DT_DOUBLE, 1, true, true},
        {"ui_control2", DT_DOUBLE, 128, true, false},     {"ui_param_float_out", DT_DOUBLE, 1, true, true},
        {"Ctl_SelfDrawing", DT_DOUBLE, 128, false, false}, {"Ctl_Env_Edit", DT_TEXT, 128, false, false},
        {"Ctl_FreqAn", DT_ENUM, 128, false, false},       {"Ctl_FreqResp", DT_ENUM, 128, false, false},
        {"Ctl_GenProg", DT_ENUM, 128, false, false},      {"Ctl_Keyboard", DT_ENUM, 128, false, false},
        {"Ctl_tty", DT_ENUM, 128, false, false},          {"Ctl_Soundfont_base", DT_TEXT, 128, false, false},
        {"Cosc_sf", DT_TEXT, 128, false, false},          {"Ctl_SamplePlay2", DT_TEXT, 128, false, false},
        {"CPattSeq", DT_DOUBLE, 0, false, false},         {"CStepSeq2", DT_DOUBLE, 0, false, false},
        {"CDrumSeq", DT_DOUBLE, 0, false, false},
    };
    for (const auto& c : cases) {
        const runtime_class* record = runtime_class::Find(c.name);
        ASSERT_NE(record, nullptr) << c.name;
        std::unique_ptr<CObject> object = record->create();
        auto* control = dynamic_cast<CControl*>(object.get());
        ASSERT_NE(control, nullptr) << c.name;
        EXPECT_EQ(control->getDataType(), c.kind) << c.name;
        EXPECT_EQ(control->ValueCount(), c.count) << c.name;
        EXPECT_EQ(control->isAutomatable(), c.automatable) << c.name;
        EXPECT_EQ(control->isOutput(), c.output) << c.name;
    }
}

TEST(ControlFace, NameHintAndEmptyValueOfASequencer) {
    control_in_patch<Ctl_Slider> patch;
    EXPECT_EQ(patch.control->getName(), "Cutoff");
    generic_parameter* hint = patch.control->FindParameter("Hint");
    ASSERT_NE(hint, nullptr);
    hint->setValueText("Turn me");
    EXPECT_EQ(patch.control->getHint(), "Turn me");
    EXPECT_EQ(patch.control->FindParameter("Title")->getValueText(), "Cutoff");

    std::unique_ptr<CObject> sequencer = runtime_class::Find("CStepSeq2")->create();
    EXPECT_EQ(static_cast<CControl*>(sequencer.get())->getValueText(), "");
}

TEST(ControlFace, ListControlsMapPositionsInTheirList) {
    Ctl_Combo list;
    AddChoicePlug(list, "low=3,mid=5,high=9");
    list.SetValue(0, 5);
    EXPECT_FLOAT_EQ(list.getNormalised(), 0.5f);
    list.setNormalised(0.99f);
    EXPECT_EQ(list.getValueText(), "9");
    list.setNormalised(0.0f);
    EXPECT_EQ(list.getValueText(), "3");
    list.setNormalised(0.5f);
    EXPECT_EQ(list.getValueText(), "5");
    list.setNormalised(7.0f);
    EXPECT_EQ(list.getValueText(), "9");

    list.SetValue(0, 4);  // no entry has it
    EXPECT_FLOAT_EQ(list.getNormalised(), 0.0f);

    Ctl_Combo unlisted;
    unlisted.SetValue(0, 2);
    unlisted.setNormalised(0.7f);
    EXPECT_EQ(unlisted.getNormalised(), 0.0f);
    EXPECT_EQ(unlisted.getValueText(), "2");
}

TEST(ControlFace, SlidersMapBetweenLoAndHi) {
    Ctl_Slider slider;
    CPlug2* lo = AddNamedPlug(slider, "Lo Value", "0");
    AddNamedPlug(slider, "Hi Value", "10");
    const struct {
        double value;
        float normalised;
    } cases[] = {{12.0, 1.0f}, {5.0, 0.5f}, {-1.0, 0.0f}, {10.0, 1.0f}};
    for (const auto& c : cases) {
        slider.SetValue(0, c.value);
        EXPECT_FLOAT_EQ(slider.getNormalised(), c.normalised) << c.value;
    }
    slider.setNormalised(0.25f);
    EXPECT_EQ(slider.getValueText(), "2.50");

    lo->StoreValueText("10");  // no span
    EXPECT_EQ(slider.getNormalised(), 0.0f);
}

TEST(ControlFace, OtherFloatingControlsShowATenthAndIgnoreSetting) {
    ui_param_float_out level_out;
    AddNamedPlug(level_out, "Lo Value", "-10");
    AddNamedPlug(level_out, "Hi Value", "10");
    level_out.SetValue(0, 5.0);
    EXPECT_FLOAT_EQ(level_out.getNormalised(), 0.75f);
    level_out.setNormalised(0.0f);
    EXPECT_EQ(level_out.getValueText(), "5.00");

    Ctl_VoltMeter meter;
    meter.SetValue(0, 4.0);
    EXPECT_FLOAT_EQ(meter.getNormalised(), 0.4f);
    meter.setNormalised(1.0f);
    EXPECT_EQ(meter.getValueText(), "4.00");

    Ctl_Text text;
    text.setValueText("words");
    text.setNormalised(1.0f);
    EXPECT_EQ(text.getNormalised(), 0.0f);
    EXPECT_EQ(text.getValueText(), "words");
}

TEST(ControlFace, MetersShowTheLevelTheAudioSideReports) {
    for (const char* name : {"Ctl_LED", "Ctl_PeakMeter"}) {
        std::unique_ptr<CObject> object = runtime_class::Find(name)->create();
        auto& meter = static_cast<CControl&>(*object);
        notification_log log;
        meter.AddObserver(&log);
        meter.RefreshFromAudio("90");
        EXPECT_FLOAT_EQ(meter.getNormalised(), 0.9f) << name;
        EXPECT_EQ(meter.ValueText(0), "90.00") << name;
        EXPECT_EQ(log.Count(NOTIFY_VALUE_CHANGED), 1) << name;
        meter.RemoveObserver(&log);
    }
}

TEST(ControlFace, RefreshFromTheAudioSideSetsTheCurrentValue) {
    control_in_patch<Ctl_Slider> patch;
    notification_log log;
    patch.control->AddObserver(&log);
    patch.control->RefreshFromAudio("5.000");
    EXPECT_EQ(patch.control->ValueText(0), "5.00");
    EXPECT_TRUE(patch.document.modified);
    EXPECT_EQ(log.Count(NOTIFY_VALUE_CHANGED), 1);
    patch.control->RemoveObserver(&log);
}

TEST(ControlFace, PlugChangesAnnounceAppearanceAndMidiAssignment) {
    control_in_patch<Ctl_Slider> patch;
    Ctl_Slider& slider = *patch.control;
    CPlug2* appearance = AddNamedPlug(slider, "Appearance", "1");
    CPlug2* controller = AddNamedPlug(slider, "MIDI Controller ID", "-1");
    CPlug2* nrpn = AddNamedPlug(slider, "MIDI NRPN", "0");
    slider.Initialise(false);
    notification_log container_log, control_log;
    patch.root.AddObserver(&container_log);
    slider.AddObserver(&control_log);

    appearance->SetValueText("4");
    ASSERT_EQ(container_log.Count(NOTIFY_PLUGS_CHANGED), 1);
    EXPECT_EQ(container_log.entries.back().about, &slider);
    controller->SetValueText("7");
    nrpn->SetValueText("257");
    EXPECT_EQ(control_log.Count(NOTIFY_MIDI_CONTROLLER_CHANGED), 1);
    EXPECT_EQ(control_log.Count(NOTIFY_MIDI_NRPN_CHANGED), 1);

    patch.root.RemoveObserver(&container_log);
    slider.RemoveObserver(&control_log);
}

// ---- records --------------------------------------------------------------------

archive_bytes ControlRecord(const char* class_name, int32_t version) {
    return archive_bytes().NewClass(class_name).Append(ModuleFields(version));
}

TEST(ControlRecords, OneStoredValueFillsEveryProgram) {
    archive_bytes bytes = ControlRecord("Ctl_Slider", kNewest);
    bytes.I32(0).U32(1).F64(7.5).Rect(1, 2, 30, 40).Text("Cutoff frequency");
    std::unique_ptr<Ctl_Slider> slider = ReadRecord<Ctl_Slider>(bytes, kNewest);
    EXPECT_TRUE(slider->SingleValue());
    EXPECT_EQ(slider->ValueText(127), "0.000");
    slider->Initialise(true);
    for (int32_t program : {0, 1, 64, 127}) EXPECT_EQ(slider->ValueText(program), "7.50") << program;
    EXPECT_EQ(slider->PanelRect(), (ws_rect{1, 2, 30, 40}));
    EXPECT_EQ(slider->Hint(), "Cutoff frequency");
}

TEST(ControlRecords, OneStoredTextFillsEveryProgram) {
    archive_bytes bytes = ControlRecord("Ctl_Text", kNewest);
    bytes.I32(0).U32(1).Count(1).Text("song.mid").Rect(0, 0, 10, 10).Text("");
    std::unique_ptr<Ctl_Text> text = ReadRecord<Ctl_Text>(bytes, kNewest);
    text->Initialise(true);
    EXPECT_EQ(text->ValueText(127), "song.mid");
}

TEST(ControlRecords, SeveralStoredValuesStayPerProgram) {
    archive_bytes bytes = ControlRecord("Ctl_Combo", kNewest);
    bytes.I32(0).U32(3).I32(4).I32(-1).I32(2).Rect(0, 0, 10, 10).Text("");
    std::unique_ptr<Ctl_Combo> list = ReadRecord<Ctl_Combo>(bytes, kNewest);
    list->Initialise(true);
    EXPECT_FALSE(list->SingleValue());
    EXPECT_EQ(list->ValueText(1), "-1");
    EXPECT_EQ(list->ValueText(2), "2");
    EXPECT_EQ(list->ValueText(3), "0");
}

TEST(ControlRecords, VersionsDecideWhichFieldsAreStored) {
    // Version 60: values without the leading word, no hint.
    archive_bytes v60 = ControlRecord("Ctl_Slider", 60);
    v60.U32(2).F64(1.0).F64(2.0).Rect(5, 6, 7, 8);
    std::unique_ptr<Ctl_Slider> slider = ReadRecord<Ctl_Slider>(v60, 60);
    EXPECT_EQ(slider->ValueText(1), "2.00");
    EXPECT_EQ(slider->PanelRect(), (ws_rect{5, 6, 7, 8}));
    EXPECT_EQ(slider->Hint(), "");

    // Version 18: no values at all.
    archive_bytes v18 = ControlRecord("Ctl_Slider", 18);
    v18.Rect(5, 6, 7, 8);
    EXPECT_EQ(ReadRecord<Ctl_Slider>(v18, 18)->PanelRect(), (ws_rect{5, 6, 7, 8}));
}

TEST(ControlRecords, MoreValuesThanTheControlKeepsIsMalformed) {
    ExpectMalformed<CControl>(ControlRecord("Ctl_LED", kNewest).I32(0).U32(2).F64(1).F64(2), kNewest);
    ExpectMalformed<CControl>(ControlRecord("Ctl_Slider", kNewest).I32(0).U32(129), kNewest);
    ExpectMalformed<CControl>(ControlRecord("Ctl_Slider", kNewest).I32(0).U32(0xFFFFFFFFu), kNewest);
    ExpectMalformed<CControl>(ControlRecord("Ctl_Text", kNewest).I32(0).U32(1).Count(129), kNewest);
    ExpectMalformed<CControl>(ControlRecord("Ctl_Slider", kNewest).I32(0).U32(4).F64(1), kNewest);
}

TEST(ControlRecords, OldPatchSelectRecordsHoldAWholeListControl) {
    archive_bytes v49 = archive_bytes().NewClass("Ctl_PatchSel").Append(ModuleFields(49));
    v49.U32(1).I32(6).Rect(0, 0, 10, 10);
    std::unique_ptr<Ctl_PatchSel> select = ReadRecord<Ctl_PatchSel>(v49, 49);
    EXPECT_EQ(select->StoredProgram(), 6);
    EXPECT_EQ(select->TypeId(), "Patch Select");

    archive_bytes v18 = archive_bytes().NewClass("Ctl_PatchSel").Append(ModuleFields(18));
    v18.Rect(0, 0, 10, 10);
    EXPECT_EQ(ReadRecord<Ctl_PatchSel>(v18, 18)->StoredProgram(), 1);

    archive_bytes v50 = archive_bytes().NewClass("Ctl_PatchSel").Append(ModuleFields(50, "Select"));
    std::unique_ptr<Ctl_PatchSel> plain = ReadRecord<Ctl_PatchSel>(v50, 50);
    EXPECT_EQ(plain->Title(), "Select");
    EXPECT_EQ(plain->StoredProgram(), 0);
}

}  // namespace
