// Graph construction from documents: unit generators and their links, wires
// into connections, defaults, container boundaries dissolved, sort orders,
// and the messages for feedback paths and nested note sources.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "support/graph_rig.h"

namespace {

class GraphBuilder : public ::testing::Test {
protected:
    void SetUp() override { RegisterGraphTestModules(); }

    // What BuildGraph throws for a document it refuses.
    WsException Refusal() {
        test_client client;
        WsAudioMaster master(&client, 64, 44100.0f);
        try {
            BuildGraph(*root, master);
        } catch (const WsException& error) {
            return error;
        }
        ADD_FAILURE() << "built";
        return WsException(0, nullptr, nullptr);
    }

    std::unique_ptr<CContainer> root = MakeContainer("Root");
};

TEST_F(GraphBuilder, AChainIsLinkedOrderedAndRuns) {
    CUG* tone = AddModule(*root, "1 KHz Tone", "Tone");
    CUG* first = AddModule(*root, kProbeModule, "First");
    CUG* last = AddModule(*root, kProbeModule, "Last");
    Wire(PlugOf(*tone, "Signal Out"), PlugOf(*first, "In"));
    Wire(PlugOf(*first, "Out"), PlugOf(*last, "In"));
    {
        graph_rig rig(*root);
        for (const CUG* module : {tone, first, last}) {
            ASSERT_NE(module->unit_generator, nullptr) << module->Title();
            EXPECT_EQ(module->unit_generator->document_module, module);
            EXPECT_EQ(module->unit_generator->Title(), module->Title());
        }
        // Sinks sort 0, every module 4 above what it feeds.
        EXPECT_EQ(last->unit_generator->sort_order, 0);
        EXPECT_EQ(first->unit_generator->sort_order, 4);
        EXPECT_EQ(tone->unit_generator->sort_order, 8);

        rig.Start();
        const auto recorded =
            rig.Record({graph_rig::AudioPlugOf(tone, "Signal Out"), graph_rig::AudioPlugOf(last, "Out")}, 8);
        const auto& sine = recorded[0];
        EXPECT_NEAR(*std::max_element(sine.begin(), sine.end()), 0.5f, 1e-3f);  // 5 V peak
        for (std::size_t i = 0; i < sine.size(); ++i) ASSERT_FLOAT_EQ(recorded[1][i], 4.0f * sine[i]) << i;
    }
    EXPECT_EQ(tone->unit_generator, nullptr);  // the rig cleared the links with the graph
}

TEST_F(GraphBuilder, UnwiredInputsTakeTheirValuesFromTheContainersIOModule) {
    CUG* probe = AddModule(*root, kProbeModule, "Probe");
    PlugOf(*probe, "In").StoreValueText("2.5");
    PlugOf(*probe, "Level").StoreValueText("4.5");
    graph_rig rig(*root);
    auto& ug = graph_rig::UnitOf<ug_probe>(probe);
    const UPlug* in = ug.GetPlug(0);
    ASSERT_EQ(in->connections.size(), 1u);
    ug_base* source = in->connections.front()->from->owner;
    EXPECT_NE(dynamic_cast<ug_io_mod*>(source), nullptr);
    EXPECT_EQ(source->container, rig.top.get());
    EXPECT_EQ(ug.GetPlug(3)->connections.front()->from->owner, source);  // one IO module holds them all
    EXPECT_FLOAT_EQ(ug.level, 4.5f);

    rig.Start();
    const std::vector<float> out = rig.Record(ug.GetPlug(1), 2);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](float v) { return v == 0.5f; }));
    EXPECT_TRUE(ug.sleeping);  // a constant input: one block, then asleep
}

// Tone -> [IO -> Inner] -> Outer: the container's plugs end up with no
// connections, the signal goes straight from module to module.
TEST_F(GraphBuilder, ContainerBoundariesDissolveIntoDirectConnections) {
    CUG* tone = AddModule(*root, "1 KHz Tone", "Tone");
    CContainer* box = AddContainer(*root, "Box");
    CUG* inner = AddModule(*box, kProbeModule, "Inner");
    CUG* outer = AddModule(*root, kProbeModule, "Outer");
    Wire(InsideSpare(*box), PlugOf(*inner, "In"));
    Wire(PlugOf(*inner, "Out"), InsideSpare(*box));
    Wire(PlugOf(*tone, "Signal Out"), PlugOf(*box, "In"));
    Wire(PlugOf(*box, "Out"), PlugOf(*outer, "In"));
    // A container input that nothing inside uses.
    Wire(PlugOf(*tone, "Signal Out"), OutsideSpare(*box));

    graph_rig rig(*root);
    UPlug* tone_out = tone->unit_generator->GetPlug(0);
    EXPECT_EQ(Destinations(tone_out), std::vector<ug_base*>{inner->unit_generator});
    EXPECT_EQ(Destinations(inner->unit_generator->GetPlug(1)), std::vector<ug_base*>{outer->unit_generator});
    for (const CUG* side : std::vector<const CUG*>{box, box->FindIOModule()}) {
        for (const auto& plug : side->unit_generator->Plugs())
            EXPECT_TRUE(plug->partner == nullptr || plug->connections.empty()) << plug->index;
    }
    // Without voice-grouping modules a container's modules join its parent's voice.
    EXPECT_EQ(inner->unit_generator->container, rig.top.get());

    rig.Start();
    const auto recorded = rig.Record({tone_out, outer->unit_generator->GetPlug(1)}, 4);
    for (std::size_t i = 0; i < recorded[0].size(); ++i) ASSERT_FLOAT_EQ(recorded[1][i], 4.0f * recorded[0][i]);
}

TEST_F(GraphBuilder, AContainerWithANoteSourceKeepsItsOwnVoices) {
    CContainer* box = AddContainer(*root, "Box");
    CUG* midi_to_cv = AddModule(*box, "Midi to CV", "MIDI to CV");
    graph_rig rig(*root);
    EXPECT_EQ(midi_to_cv->unit_generator->container, box->unit_generator);
    EXPECT_EQ(box->unit_generator->container, rig.top.get());
}

TEST_F(GraphBuilder, NoteSourcesSortTwoHundredHigher) {
    CUG* source = AddModule(*root, kSourceModule, "Keys");
    CContainer* box = AddContainer(*root, "Box");
    CUG* midi_to_cv = AddModule(*box, "Midi to CV", "MIDI to CV");
    CUG* probe = AddModule(*box, kProbeModule, "Probe");
    CUG* output = AddModule(*root, "VST Output", "Out");
    PlugOf(*box, "Polyphony").StoreValueText("3");
    Wire(InsideSpare(*box), PlugOf(*midi_to_cv, "MIDI In"));
    Wire(PlugOf(*source, "MIDI Out"), PlugOf(*box, "MIDI In"));
    Wire(PlugOf(*midi_to_cv, "Gate"), PlugOf(*probe, "In"));
    Wire(PlugOf(*probe, "Out"), InsideSpare(*box));
    Wire(PlugOf(*box, "Out"), *output->Plugs().back());

    graph_rig rig(*root);
    EXPECT_EQ(output->unit_generator->sort_order, 0);
    EXPECT_EQ(probe->unit_generator->sort_order, 4);
    EXPECT_EQ(midi_to_cv->unit_generator->sort_order, 8 + 200);
    EXPECT_EQ(source->unit_generator->sort_order, 212);
    EXPECT_EQ(graph_rig::UnitOf<ug_container>(box).VoiceCount(), 3);

    // The three voices meet at the output through a hidden adder, ordered
    // between the output and the voices.
    UPlug* output_in = output->unit_generator->GetPlug(1);
    ASSERT_NE(output_in->forward, nullptr);
    ug_base* adder = output_in->forward->owner;
    EXPECT_EQ(output_in->forward->connections.size(), 3u);
    EXPECT_EQ(adder->sort_order, 2);
    EXPECT_EQ(Destinations(adder->GetPlug(0)), std::vector<ug_base*>{output->unit_generator});
}

struct feedback_case {
    const char* name;
    void (*wire)(CUG& a, CUG& b, CUG& c);
    const char* message;
    std::vector<std::string> highlighted;  // wires, as "from->to"
};

std::vector<std::string> HighlightedWires(const CContainer& container) {
    std::vector<std::string> found;
    for (const auto& child : container.Children()) {
        if (!child->Is<CLine2>()) continue;
        const auto& wire = static_cast<const CLine2&>(*child);
        if (wire.Highlighted()) found.push_back(wire.from->owner->Title() + "->" + wire.to->owner->Title());
    }
    return found;
}

void WireItself(CUG& a, CUG&, CUG&) { Wire(PlugOf(a, "Out"), PlugOf(a, "In")); }
void WireLoop(CUG& a, CUG& b, CUG&) {
    Wire(PlugOf(a, "Out"), PlugOf(b, "In"));
    Wire(PlugOf(b, "Out"), PlugOf(a, "In"));
}
// c and a share b's input: a hidden adder sits in the loop a -> adder -> b -> a.
void WireLoopThroughAdder(CUG& a, CUG& b, CUG& c) {
    Wire(PlugOf(a, "Out"), PlugOf(b, "In"));
    Wire(PlugOf(c, "Out"), PlugOf(b, "In"));
    Wire(PlugOf(b, "Out"), PlugOf(a, "In"));
}

class FeedbackPaths : public GraphBuilder, public ::testing::WithParamInterface<feedback_case> {};

TEST_P(FeedbackPaths, AreRefusedWithTheNamesOfTheModulesThatCloseThem) {
    const feedback_case& test = GetParam();
    CUG* a = AddModule(*root, kProbeModule, "A");
    CUG* b = AddModule(*root, kProbeModule, "B");
    CUG* c = AddModule(*root, kProbeModule, "C");
    test.wire(*a, *b, *c);
    const WsException error = Refusal();
    EXPECT_EQ(error.code, WSE_FEEDBACK);
    EXPECT_EQ(error.first, nullptr);  // the graph is gone
    EXPECT_EQ(std::string(error.what()), test.message);
    EXPECT_EQ(GraphErrorMessage(error), test.message);
    for (const CUG* module : {a, b, c}) EXPECT_EQ(module->unit_generator, nullptr);
    EXPECT_EQ(HighlightedWires(*root), test.highlighted);
}

INSTANTIATE_TEST_SUITE_P(
    GraphBuilder, FeedbackPaths,
    ::testing::Values(
        feedback_case{"Itself", WireItself,
                      "This patch contains a FEEDBACK path (highlighed in red), Please remove.\n Root.A -> Root.A",
                      {"A->A"}},
        // Named where the loop is found, then the source that closes it, whose wires are highlighted.
        feedback_case{"TwoModules", WireLoop,
                      "This patch contains a FEEDBACK path (highlighed in red), Please remove.\n Root.A -> Root.B",
                      {"B->A"}},
        // The loop is found at the adder, which names the module it feeds.
        feedback_case{"ThroughHiddenAdder", WireLoopThroughAdder,
                      "This patch contains a FEEDBACK path (highlighed in red), Please remove.\n Root.B -> Root.A",
                      {"A->B"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct nesting_case {
    const char* name;
    int depth;  // containers between the two note sources
};

class NestedNoteSources : public GraphBuilder, public ::testing::WithParamInterface<nesting_case> {};

TEST_P(NestedNoteSources, AreRefusedAtAnyDepth) {
    CContainer* outer = AddContainer(*root, "Outer");
    AddModule(*outer, "Midi to CV", "First");
    CContainer* inner = outer;
    for (int level = 0; level <= GetParam().depth; ++level) inner = AddContainer(*inner, "Inner");
    AddModule(*inner, "Drum Trigger", "Second");
    const WsException error = Refusal();
    EXPECT_EQ(error.code, WSE_NESTED_NOTE_SOURCES);
    EXPECT_STREQ(error.what(),
                 "ERROR: You have more than one 'MidiToCv', 'Soundfont Player', or 'Drum Trigger' in same "
                 "container (or in a sub-container).");
    EXPECT_EQ(outer->unit_generator, nullptr);
}

INSTANTIATE_TEST_SUITE_P(GraphBuilder, NestedNoteSources,
                         ::testing::Values(nesting_case{"Child", 0}, nesting_case{"Grandchild", 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(GraphBuilder, NoteSourcesInSeparateContainersBuild) {
    AddModule(*AddContainer(*root, "Left"), "Midi to CV", "First");
    AddModule(*AddContainer(*root, "Right"), "Midi to CV", "Second");
    test_client client;
    WsAudioMaster master(&client, 64, 44100.0f);
    EXPECT_NO_THROW(BuildGraph(*root, master));
    ClearUnitGeneratorLinks(*root);
}

// The plug-in's own I/O modules around the top container: MIDI from the host
// reaches every voice's note source directly.
TEST_F(GraphBuilder, HostMidiReachesEveryVoiceOfTheTopContainer) {
    CUG* input = AddModule(*root, "VST Input", "In");
    CContainer* top = AddContainer(*root, "Synth");
    CUG* midi_to_cv = AddModule(*top, "Midi to CV", "MIDI to CV");
    PlugOf(*top, "Polyphony").StoreValueText("2");
    Wire(InsideSpare(*top), PlugOf(*midi_to_cv, "MIDI In"));
    Wire(PlugOf(*top, "MIDI In"), PlugOf(*input, "MIDI Out"));

    graph_rig rig(*root);
    ug_container& voices = graph_rig::UnitOf<ug_container>(top);
    ASSERT_EQ(voices.VoiceCount(), 2);
    std::vector<ug_base*> expected;
    for (int voice = 0; voice < voices.VoiceCount(); ++voice) expected.push_back(voices.GetVoice(voice).note_source);
    std::vector<ug_base*> reached = Destinations(input->unit_generator->GetPlug(0));
    std::ranges::sort(reached);
    std::ranges::sort(expected);
    EXPECT_EQ(reached, expected);
}

}  // namespace
