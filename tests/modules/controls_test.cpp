#include <gtest/gtest.h>

#include <thread>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "modules/controls.h"
#include "project/controls.h"
#include "support/graph_rig.h"
#include "support/module_harness.h"
#include "support/patch_plugin.h"
#include "support/plugin_host.h"

namespace {

constexpr int kBlock = 64;

CControl& ControlOf(CUG* module) { return *static_cast<CControl*>(module); }

// Handles of the modules that asked the panel for a refresh since the last call.
std::vector<int32_t> RefreshRequests(graph_rig& rig) {
    std::vector<int32_t> targets;
    rig.client.to_panel.Pump([&targets](const queued_message& message) {
        if (message.code == MessageCode("refr")) targets.push_back(message.target);
    });
    return targets;
}

// A patch of one slider whose per-program values are set before the graph is built.
class slider_patch : public ::testing::Test {
protected:
    void Build(const std::vector<std::pair<std::string, std::string>>& plugs = {}) {
        for (const auto& [name, text] : plugs) PlugOf(*slider_module, name).SetValueText(text);
        rig = std::make_unique<graph_rig>(*root, kBlock);
        rig->Start();
        rig->Run(2);
    }
    ug_slider& Slider() { return graph_rig::UnitOf<ug_slider>(slider_module); }
    std::vector<float> Record(int samples) {
        return rig->Record(graph_rig::AudioPlugOf(slider_module, "Signal Out"), (samples + kBlock - 1) / kBlock);
    }

    std::unique_ptr<CContainer> root = MakeContainer("Top");
    CUG* slider_module = AddModule(*root, "Slider", "Slider");
    std::unique_ptr<graph_rig> rig;
};

// Samples from the event until the output first holds `target`, counting the
// sample that does; -1 when it never does.
int SamplesToReach(const std::vector<float>& out, float target) {
    for (std::size_t i = 0; i < out.size(); ++i)
        if (out[i] == target) return static_cast<int>(i) + 1;
    return -1;
}

struct glide_case {
    const char* route;
    const char* appearance;
    int expected_length;
    // Moves the slider (stored program values: 0 V for 0, 5 V for 3) towards 0.5.
    std::function<void(CControl& document, ug_slider& slider, WsAudioMaster& master)> move;
};

class slider_glide : public slider_patch, public ::testing::WithParamInterface<glide_case> {};

TEST_P(slider_glide, ReachesTheNewValueLinearlyInTheRoutesTime) {
    const glide_case& test = GetParam();
    ControlOf(slider_module).SetValue(3, 5.0);
    Build({{"Appearance", test.appearance}});
    ASSERT_EQ(Record(kBlock).back(), 0.0f);

    test.move(ControlOf(slider_module), Slider(), rig->master);
    const std::vector<float> out = Record(1500);

    EXPECT_EQ(SamplesToReach(out, 0.5f), test.expected_length);
    for (int i = 0; i < test.expected_length; ++i)
        ASSERT_NEAR(out[static_cast<std::size_t>(i)], 0.5 * (i + 1) / test.expected_length, 1e-4) << "sample " << i;
    for (std::size_t i = static_cast<std::size_t>(test.expected_length); i < out.size(); ++i)
        ASSERT_EQ(out[i], 0.5f) << "sample " << i;
    EXPECT_EQ(Slider().ValueAsText(), "5.000");
}

void MoveController(CControl&, ug_slider& slider, WsAudioMaster& master) {
    slider.QueueControllerValue(master.SampleClock(), 0.5f);
}
void MovePanel(CControl& document, ug_slider& slider, WsAudioMaster& master) {
    document.SetValue(0, 5.0);
    master.PostNotification(&slider, ug_control::kPanelMoved, 0);
}
void SetPanel(CControl& document, ug_slider& slider, WsAudioMaster& master) {
    document.SetValue(0, 5.0);
    master.PostNotification(&slider, ug_control::kPanelSet, 0);
}
void ChangeProgram(CControl&, ug_slider& slider, WsAudioMaster& master) {
    slider.AddEvent(slider.NewEvent(master.SampleClock(), UET_PROG_CHANGE, 3));
}

// At 44100 Hz a glide takes 44100 / 32 samples; buttons move within 4.
INSTANTIATE_TEST_SUITE_P(Routes, slider_glide,
                         ::testing::Values(glide_case{"controller", "1", 1378, MoveController},
                                           glide_case{"panel move", "1", 1378, MovePanel},
                                           glide_case{"panel set", "1", 1, SetPanel},
                                           glide_case{"program change", "1", 1, ChangeProgram},
                                           glide_case{"button controller", "5", 4, MoveController},
                                           glide_case{"small button panel move", "8", 4, MovePanel}),
                         [](const auto& info) {
                             std::string name = info.param.route;
                             std::erase(name, ' ');
                             return name;
                         });

TEST_F(slider_patch, StartsAtTheCurrentProgramsValueAndMapsControllersOntoItsRange) {
    ControlOf(slider_module).SetValue(0, 2.0);
    Build({{"Lo Value", "-10"}, {"Hi Value", "10"}});
    EXPECT_EQ(Record(kBlock).front(), 0.2f);

    Slider().QueueControllerValue(rig->master.SampleClock(), 0.25f);
    const std::vector<float> out = Record(1500);
    EXPECT_FLOAT_EQ(out.back(), -0.5f);
    EXPECT_EQ(Slider().ValueAsText(), "-5.000");
    // The panel learns the value through a refresh request.
    EXPECT_EQ(RefreshRequests(*rig), std::vector<int32_t>{Slider().Handle()});
}

TEST_F(slider_patch, ControllerAtTheCurrentValueOrNotANumberChangesNothing) {
    ControlOf(slider_module).SetValue(0, 2.5);
    Build();
    EXPECT_FALSE(Slider().OnMidiController(0.25f));
    Slider().QueueControllerValue(rig->master.SampleClock(), std::nanf(""));
    Slider().QueueControllerValue(rig->master.SampleClock(), INFINITY);
    const std::vector<float> out = Record(kBlock);
    EXPECT_EQ(out.front(), 0.25f);
    EXPECT_EQ(out.back(), 0.25f);
    EXPECT_TRUE(RefreshRequests(*rig).empty());
}

TEST_F(slider_patch, NormalisedValueIsZeroBelowLoAndAboveOneBeyondHi) {
    CControl& document = ControlOf(slider_module);
    document.SetValue(1, 1.0);
    document.SetValue(2, 5.0);
    document.SetValue(3, 9.0);
    Build({{"Lo Value", "2"}, {"Hi Value", "8"}});
    const struct {
        int program;
        float normalised;
    } cases[] = {{1, 0.0f}, {2, 0.5f}, {3, 7.0f / 6.0f}};
    for (const auto& test : cases) {
        Slider().LoadPatchValue(test.program, 0);
        EXPECT_FLOAT_EQ(Slider().NormalisedValue(), test.normalised) << "program " << test.program;
    }
}

TEST_F(slider_patch, ZeroWidthRangeHasNormalisedValueZero) {
    ControlOf(slider_module).SetValue(0, 3.0);
    Build({{"Lo Value", "3"}, {"Hi Value", "3"}});
    EXPECT_EQ(Slider().NormalisedValue(), 0.0f);
}

// ---- list entry ------------------------------------------------------------------

class list_patch : public ::testing::Test {
protected:
    void Build() {
        rig = std::make_unique<graph_rig>(*root, kBlock);
        rig->Start();
        rig->Run(1);
    }
    ug_combobox& Combo() { return graph_rig::UnitOf<ug_combobox>(list_module); }
    int16_t AfterController(float normalised) {
        Combo().QueueControllerValue(rig->master.SampleClock(), normalised);
        rig->Run(1);
        return Combo().Choice();
    }

    std::unique_ptr<CContainer> root = MakeContainer("Top");
    CUG* list_module = AddModule(*root, "List Entry", "List");
    std::unique_ptr<graph_rig> rig;
};

TEST_F(list_patch, ControllerPicksTheEntryAtTruncatedPosition) {
    Build();
    Combo().SetListText("a=3,b=5,c=9");
    const struct {
        float normalised;
        int16_t value;
    } cases[] = {{0.0f, 3}, {0.34f, 5}, {0.99f, 9}, {1.0f, 9}};
    for (const auto& test : cases) EXPECT_EQ(AfterController(test.normalised), test.value) << test.normalised;
    EXPECT_EQ(Combo().ValueAsText(), "9");
    EXPECT_FLOAT_EQ(Combo().NormalisedValue(), 1.0f);
    EXPECT_EQ(AfterController(0.5f), 5);
    EXPECT_FLOAT_EQ(Combo().NormalisedValue(), 0.5f);
}

TEST_F(list_patch, ListsOfFewerThanTwoEntries) {
    Build();
    Combo().SetListText("only=4");
    EXPECT_EQ(AfterController(0.7f), 4);
    EXPECT_EQ(Combo().NormalisedValue(), 0.0f);
    Combo().SetListText("");
    EXPECT_EQ(AfterController(0.7f), 0);
    EXPECT_EQ(Combo().NormalisedValue(), 0.0f);
}

// The list is the one of the input "Choice" feeds; the choice reaches that input.
TEST_F(list_patch, TakesTheListOfTheInputItFeeds) {
    CUG* converter = AddModule(*root, "FloatToVolts", "Converter");
    Wire(PlugOf(*list_module, "Choice"), PlugOf(*converter, "Smoothing"));
    ControlOf(list_module).SetValue(0, 2.0);
    ControlOf(list_module).SetValue(4, 0.0);
    Build();
    EXPECT_EQ(Combo().Choice(), 2);
    UPlug* smoothing = graph_rig::AudioPlugOf(converter, "Smoothing");
    EXPECT_EQ(smoothing->CarriedValue(), 2);

    EXPECT_EQ(AfterController(0.34f), 1);  // "None,Fast (4 samp),Smooth (30ms)"
    EXPECT_EQ(smoothing->CarriedValue(), 1);
    Combo().AddEvent(Combo().NewEvent(rig->master.SampleClock(), UET_PROG_CHANGE, 4));
    rig->Run(1);
    EXPECT_EQ(smoothing->CarriedValue(), 0);
}

// ---- text entry ------------------------------------------------------------------

TEST(text_entry, PutsTheProgramsTextOnItsOutput) {
    RegisterGraphTestModules();
    std::unique_ptr<CContainer> root = MakeContainer("Top");
    CUG* text_module = AddModule(*root, "Text Entry", "Text");
    CUG* probe_module = AddModule(*root, kProbeModule, "Probe");
    Wire(PlugOf(*text_module, "Text Out"), PlugOf(*probe_module, "Name"));
    ControlOf(text_module).SetValueText(0, "first");
    ControlOf(text_module).SetValueText(2, "second");
    graph_rig rig(*root, kBlock);
    rig.Start();
    rig.Run(1);
    auto& probe = graph_rig::UnitOf<ug_probe>(probe_module);
    EXPECT_EQ(probe.name, "first");

    auto& text = graph_rig::UnitOf<ug_text_entry>(text_module);
    text.AddEvent(text.NewEvent(rig.master.SampleClock(), UET_PROG_CHANGE, 2));
    rig.Run(1);
    EXPECT_EQ(probe.name, "second");
    EXPECT_FALSE(text.OnMidiController(0.5f));
}

// ---- controller lists ------------------------------------------------------------

TEST(control_controller_lists, ControlsJoinTheListOfTheirControllerWhenTheyOpen) {
    std::unique_ptr<CContainer> root = MakeContainer("Top");
    CUG* volume = AddModule(*root, "Slider", "Volume");
    CUG* nrpn = AddModule(*root, "List Entry", "NRPN");
    CUG* unbound = AddModule(*root, "Slider", "Unbound");
    CUG* volume_too = AddModule(*root, "Text Entry", "Volume too");
    PlugOf(*volume, "MIDI Controller ID").SetValueText("7");
    PlugOf(*nrpn, "MIDI Controller ID").SetValueText("99");
    PlugOf(*volume_too, "MIDI Controller ID").SetValueText("7");
    graph_rig rig(*root, kBlock);
    rig.Start();
    rig.Run(1);

    const auto members = [&rig](int controller) {
        std::vector<ug_base*> found;
        for (const controller_link* link = rig.top->controllers.First(controller); link != nullptr; link = link->next)
            found.push_back(link->control);
        std::ranges::sort(found);
        return found;
    };
    std::vector<ug_base*> volume_controls{volume->unit_generator, volume_too->unit_generator};
    std::ranges::sort(volume_controls);
    EXPECT_EQ(members(7), volume_controls);
    EXPECT_EQ(members(6), std::vector<ug_base*>{nrpn->unit_generator});
    EXPECT_EQ(static_cast<ug_control*>(nrpn->unit_generator)->ControllerNumber(), 99);
    std::vector<int> bound;
    for (int controller = 0; controller < controller_lists::kControllerCount; ++controller)
        if (!members(controller).empty()) bound.push_back(controller);
    EXPECT_EQ(bound, (std::vector<int>{6, 7}));
    EXPECT_NE(unbound->unit_generator, nullptr);  // made, and in no list

    rig.top->Close();
    EXPECT_TRUE(members(7).empty());
}

TEST(control_controller_lists, JoiningAppendsAndMovesBetweenLists) {
    controller_lists lists;
    controller_link first, second, third;
    lists.Join(first, 1);
    lists.Join(second, 1);
    lists.Join(third, 1);
    lists.Join(second, 2);  // leaves list 1 from its middle
    lists.Join(first, 200);  // no such controller: bound to none
    EXPECT_EQ(lists.First(1), &third);
    EXPECT_EQ(third.next, nullptr);
    EXPECT_EQ(lists.First(2), &second);
    EXPECT_EQ(first.controller, -1);
    EXPECT_EQ(lists.First(-1), nullptr);
    lists.Leave(third);
    lists.Leave(third);
    EXPECT_EQ(lists.First(1), nullptr);
}

// ---- patch select ----------------------------------------------------------------

class patch_select : public ::testing::Test {
protected:
    patch_select() {
        CContainer* shared = AddContainer(*root, "Shared");
        CContainer* own = AddContainer(*root, "Own programs");
        own->SetFeature(CF_IGNORE_PROGRAM_CHANGE, true);
        sliders = {AddModule(*root, "Slider", "Top"), AddModule(*shared, "Slider", "Shared"),
                   AddModule(*own, "Slider", "Own"), AddModule(*root, "Slider", "Ignoring")};
        PlugOf(*sliders[3], "Ignore Program Change").SetValueText("1");
        for (CUG* slider : sliders) {
            ControlOf(slider).SetValue(0, 1.0);
            ControlOf(slider).SetValue(5, 6.0);
        }
        Wire(PlugOf(*selector_module, "MIDI Out"), PlugOf(*probe_module, "MIDI In"));
        rig = std::make_unique<graph_rig>(*root, kBlock);
        rig->Start();
        rig->Run(1);
        RefreshRequests(*rig);
    }
    ug_patch_sel& Selector() { return graph_rig::UnitOf<ug_patch_sel>(selector_module); }
    void ProgramChange(int32_t message) {
        Selector().QueueMidi(rig->master.SampleClock(), message, Selector().GetPlug(0));
        rig->Run(2);
    }
    std::vector<int32_t> MidiSent() {
        std::vector<int32_t> sent;
        for (const auto& event : graph_rig::UnitOf<ug_probe>(probe_module).history)
            if (event.kind == UET_MIDI) sent.push_back(event.parm1);
        return sent;
    }
    std::vector<float> SliderValues() {
        std::vector<float> values;
        for (CUG* slider : sliders) values.push_back(graph_rig::UnitOf<ug_slider>(slider).Value());
        return values;
    }

    // The probe's module type exists before the members below are made.
    bool test_types_registered = (RegisterGraphTestModules(), true);
    std::unique_ptr<CContainer> root = MakeContainer("Top");
    CUG* selector_module = AddModule(*root, "Patch Select", "Programs");
    CUG* probe_module = AddModule(*root, kProbeModule, "Probe");
    std::vector<CUG*> sliders;
    std::unique_ptr<graph_rig> rig;
};

TEST_F(patch_select, NewProgramGoesOutAndReachesOnlyControlsSharingItsParameters) {
    ProgramChange(0x05C3);  // program 5 on channel 4
    EXPECT_EQ(MidiSent(), std::vector<int32_t>{0x05C0});  // "All" sends on the first channel
    EXPECT_EQ(SliderValues(), (std::vector<float>{0.6f, 0.6f, 0.1f, 0.1f}));
    EXPECT_EQ(Selector().Program(), 5);
    EXPECT_EQ(RefreshRequests(*rig), std::vector<int32_t>{Selector().Handle()});
    // The slider's output follows within the two blocks run.
    EXPECT_EQ(graph_rig::AudioPlugOf(sliders[0], "Signal Out")->Block()->Data()[kBlock - 1], 0.6f);
}

TEST_F(patch_select, HeldProgramAndOtherMessagesSendNothing) {
    ProgramChange(0x00C0);       // program 0 is held from the start
    ProgramChange(0x403C90);     // a note on
    ProgramChange(0x05B0);       // a controller
    EXPECT_TRUE(MidiSent().empty());
    EXPECT_EQ(SliderValues(), (std::vector<float>{0.1f, 0.1f, 0.1f, 0.1f}));
}

TEST_F(patch_select, PanelAsksForTheProgramToBeSentAgain) {
    ProgramChange(0x05C0);
    rig->master.PostNotification(&Selector(), ug_patch_sel::kResend, 0);
    rig->Run(1);
    EXPECT_EQ(MidiSent(), (std::vector<int32_t>{0x05C0, 0x05C0}));
}

TEST_F(patch_select, ChannelSettingFiltersAndNamesTheChannelSent) {
    rig.reset();
    PlugOf(*selector_module, "Channel").SetValueText("2");
    rig = std::make_unique<graph_rig>(*root, kBlock);
    rig->Start();
    ProgramChange(0x07C5);  // another channel: filtered out
    ProgramChange(0x07C2);
    EXPECT_EQ(MidiSent(), std::vector<int32_t>{0x07C2});
}

// ---- in the plug-in ---------------------------------------------------------------

// "Pitch" (5 V, 6 V in program 2, 4 V in program 3) drives a sine oscillator;
// "Patch Select" hears the host's MIDI.
class slider_in_plugin : public ::testing::Test {
protected:
    static constexpr int kHostBlock = 512;

    void SetUp() override {
        plugin = PackPatchFile(std::string(WS_TEST_FIXTURES_DIR) + "/modules/fixtures/slider_pitch.json");
        host = std::make_unique<plugin_host>(2300, plugin->Path().c_str());
        ASSERT_NE(host->Effect(), nullptr);
    }
    // Frequency of the left output over `blocks` host blocks, after one to settle.
    double PlayedFrequency(const std::vector<plugin_host::midi_in>& midi = {}, int blocks = 20) {
        plugin_host::buffers in(2, kHostBlock, 0.0f);
        plugin_host::buffers out(2, kHostBlock, 0.0f);
        host->Process(in, out, kHostBlock, midi);
        std::vector<float> left;
        for (int block = 0; block < blocks; ++block) {
            host->Process(in, out, kHostBlock);
            left.insert(left.end(), out.data[0].begin(), out.data[0].end());
        }
        return CrossingFrequency(left, 44100.0);
    }

    std::unique_ptr<packed_plugin> plugin;
    std::unique_ptr<plugin_host> host;
};

TEST_F(slider_in_plugin, MidiProgramChangeSetsThePitchOfThatProgram) {
    host->Resume();
    EXPECT_NEAR(PlayedFrequency(), 440.0, 0.5);
    EXPECT_NEAR(PlayedFrequency({{0xC0, 2, 0, 0}}), 880.0, 1.0);
    EXPECT_NEAR(PlayedFrequency({{0xC0, 3, 0, 100}}), 220.0, 0.5);
}

TEST_F(slider_in_plugin, ProgramChosenByTheHostBeforeResumeIsPlayed) {
    host->Dispatch(vst::effSetProgram, 0, 2);
    host->Resume();
    EXPECT_NEAR(PlayedFrequency(), 880.0, 1.0);
}

TEST_F(slider_in_plugin, TheHostsProgramChangeWhilePlayingJumpsToThatProgram) {
    host->Resume();
    EXPECT_NEAR(PlayedFrequency(), 440.0, 0.5);
    host->Dispatch(vst::effSetProgram, 0, 3);
    EXPECT_NEAR(PlayedFrequency(), 220.0, 0.5);
    EXPECT_EQ(host->callback_counts[vst::audioMasterUpdateDisplay], 0) << "the host chose it itself";
}

// A program change heard by "Patch Select" becomes the plug-in's program, and
// the host is told to show it once the panel side has caught up (idle).
TEST_F(slider_in_plugin, AMidiProgramChangeBecomesTheHostsProgram) {
    host->Resume();
    EXPECT_NEAR(PlayedFrequency({{0xC0, 2, 0, 0}}), 880.0, 1.0);
    host->Dispatch(vst::effIdle);
    EXPECT_EQ(host->Dispatch(vst::effGetProgram), 2);
    EXPECT_EQ(host->callback_counts[vst::audioMasterUpdateDisplay], 1);
    EXPECT_NEAR(PlayedFrequency(), 880.0, 1.0) << "selecting it on the panel side keeps the sound";
}

// Host automation of a control from another thread glides the sound there.
TEST_F(slider_in_plugin, AutomatingTheSliderFromTheAudioThreadMovesThePitch) {
    ASSERT_EQ(host->Effect()->numParams, 1);
    host->Resume();
    EXPECT_NEAR(PlayedFrequency(), 440.0, 0.5);
    const float current = host->Effect()->getParameter(host->Effect(), 0);
    std::thread([&] { host->Effect()->setParameter(host->Effect(), 0, current + 0.1f); }).join();
    const double moved = PlayedFrequency();
    EXPECT_GT(moved, 450.0);
    host->Dispatch(vst::effIdle);
    EXPECT_NEAR(host->Effect()->getParameter(host->Effect(), 0), current + 0.1f, 1e-3f);
}

}  // namespace
