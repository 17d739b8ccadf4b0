// Wiring document plugs: refusals and their messages, spares that keep
// themselves ready, pairing across container boundaries, the engine paused
// around an edit, values reaching a running module, and the plug records.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "project/archive.h"
#include "project/doc_objects.h"
#include "project/doc_plugs.h"
#include "project/module_registry.h"
#include "project/project_document.h"
#include "project/wiring.h"
#include "support/archive_bytes.h"
#include "support/engine_fixture.h"
#include "support/test_module_types.h"

namespace {

const char* const kSource = "test:wiring source";
const char* const kSink = "test:wiring sink";
const char* const kMixer = "test:wiring mixer";
const char* const kBox = "test:wiring container";
const char* const kBoxIO = "test:wiring io";
const char* const kProbe = "test:wiring probe";

// A container made here brings its own IO module, so these tests need no
// registry row but their own.
std::unique_ptr<CDocOb> MakeBoxWithIO(Module_Info*) {
    auto box = std::make_unique<CContainer>();
    auto* io = static_cast<CUG*>(box->AddChild(ModuleRegistry::Instance().CreateDocObject(kBoxIO)));
    io->CreatePlugsFromType();
    return box;
}

void RegisterTestModules() {
    static const bool registered = [] {
        const InterfaceObject boundary_spare = Describe(DR_CONTAINER_IO, DT_AUDIO, "Spare", 0x4C);
        RegisterTestModuleType(
            kSource,
            {Describe(DR_OUT, DT_AUDIO, "Out"), Describe(DR_OUT, DT_FLOAT, "Level Out"),
             Describe(DR_OUT, DT_ENUM, "List Out"), Describe(DR_OUT, DT_FLOAT, "Param Out", DPF_PARAMETER_STYLE)},
            0);
        RegisterTestModuleType(
            kSink,
            {Describe(DR_IN, DT_AUDIO, "In"), Describe(DR_IN, DT_FLOAT, "Level", 0, "", "0.5"),
             Describe(DR_IN, DT_ENUM, "Three", 0, "a,b,c"), Describe(DR_IN, DT_ENUM, "Two", 0, "x,y"),
             Describe(DR_IN, DT_ENUM, "Other Three", 0, "p,q,r"),
             Describe(DR_IN, DT_ENUM, "Any Two", DPF_ANY_LIST, "x,y")},
            0);
        RegisterTestModuleType(
            kMixer,
            {Describe(DR_IN, DT_ENUM, "Select", 0, kAutomaticListText),
             Describe(DR_IN, DT_AUDIO, "Audio", DPF_AUTO_DUPLICATE), Describe(DR_OUT, DT_AUDIO, "Out")},
            0);
        RegisterTestModuleType(kBoxIO, {boundary_spare}, MF_IO_MODULE);
        RegisterTestModuleType(kBox, {boundary_spare}, MF_CONTAINER, MakeBoxWithIO);
        // Plug for plug the interface of ug_probe, with a parameter-style plug
        // and a spare that have no audio plug.
        RegisterTestModuleType(
            kProbe,
            {Describe(DR_IN, DT_FLOAT, "Gain", DPF_PARAMETER_STYLE), Describe(DR_IN, DT_AUDIO, "In"),
             Describe(DR_OUT, DT_AUDIO, "Out"), Describe(DR_IN, DT_AUDIO, "Extra", DPF_AUTO_DUPLICATE),
             Describe(DR_IN, DT_MIDI, "MIDI In"), Describe(DR_IN, DT_FLOAT, "Level"), Describe(DR_IN, DT_TEXT, "Name")},
            0);
        return true;
    }();
    (void)registered;
}

// Message boxes shown while it lives.
class shown_messages {
public:
    shown_messages()
        : previous_(platform::SetMessageSink([this](const std::string& text, int) { texts.push_back(text); })) {}
    ~shown_messages() { platform::SetMessageSink(std::move(previous_)); }
    std::vector<std::string> texts;

private:
    platform::MessageSink previous_;
};

class recorder : public doc_observer {
public:
    void OnDocNotify(int code, CObject* subject, CObject* about) override { seen.emplace_back(code, subject, about); }
    bool Saw(int code, CObject* subject, CObject* about = nullptr) const {
        for (const auto& [seen_code, seen_subject, seen_about] : seen)
            if (seen_code == code && seen_subject == subject && seen_about == about) return true;
        return false;
    }
    std::vector<std::tuple<int, CObject*, CObject*>> seen;
};

struct test_patch {
    test_patch() {
        RegisterTestModules();
        document.root = std::make_unique<CContainer>();
        document.root->document = &document;
    }
    CUG* Add(const char* id, CContainer* into = nullptr) {
        CContainer* container = into != nullptr ? into : document.root.get();
        auto* module = static_cast<CUG*>(container->AddChild(ModuleRegistry::Instance().CreateDocObject(id)));
        module->CreatePlugsFromType();
        return module;
    }
    CContainer* AddBox() { return static_cast<CContainer*>(Add(kBox)); }

    project_document document;
};

CPlug2& PlugOf(const CUG* module, const std::string& name) {
    CPlug2* plug = module->FindPlugByName(name);
    if (plug == nullptr) throw std::runtime_error("no plug \"" + name + "\"");
    return *plug;
}

std::vector<std::string> PlugNames(const CUG* module) {
    std::vector<std::string> names;
    for (const auto& plug : module->Plugs()) names.push_back(plug->Name());
    return names;
}

int SpareCount(const CUG* module) {
    int spares = 0;
    for (const auto& plug : module->Plugs()) spares += plug->IsSpare() ? 1 : 0;
    return spares;
}

// Two sources and two sinks, for connections between any of them.
struct four_modules : test_patch {
    struct end {
        int module;  // 0, 1 sources; 2, 3 sinks
        const char* plug;
    };
    using wire_list = std::vector<std::pair<end, end>>;

    // Made with these wires in place, and not yet modified after them.
    explicit four_modules(const wire_list& wired_before = {})
        : modules{Add(kSource), Add(kSource), Add(kSink), Add(kSink)} {
        for (const auto& [from, to] : wired_before)
            if (Connect((*this)(from), (*this)(to)) == nullptr) throw std::runtime_error("set-up wire refused");
        document.modified = false;
    }
    CPlug2* operator()(end at) { return &PlugOf(modules[at.module], at.plug); }
    CUG* modules[4];
};

struct wire_case {
    const char* why;
    four_modules::end a;
    four_modules::end b;
    four_modules::wire_list wired_before;
    const char* message;  // for refusals
};

}  // namespace

TEST(Wiring, RefusalsShowTheirReasonAndChangeNothing) {
    const wire_case cases[] = {
        {"two inputs", {2, "Level"}, {3, "Level"}, {},
         "Can't connect. An output must go to an input (plugs on the left = Inputs, right = Outputs"},
        {"audio to float", {0, "Out"}, {2, "Level"}, {},
         "Can't connect different plug types (eg you can't connect a voltage p_to a filename)"},
        {"parameter-style to plain", {0, "Param Out"}, {2, "Level"}, {}, "Can't connect different plug types"},
        {"second wire into a float input", {1, "Level Out"}, {2, "Level"}, {{{0, "Level Out"}, {2, "Level"}}},
         "This type of plug accepts only one input"},
        {"second wire from a float input", {2, "Level"}, {1, "Level Out"}, {{{0, "Level Out"}, {2, "Level"}}},
         "This type of plug accepts only one output"},
        {"two values to a wired list of three", {3, "Two"}, {0, "List Out"}, {{{0, "List Out"}, {2, "Three"}}},
         "These plug's lists are not compatible"},
        {"wired list of three to two values", {0, "List Out"}, {3, "Two"}, {{{0, "List Out"}, {2, "Three"}}},
         "These plug's lists are not compatible"},
        {"joined already", {2, "In"}, {0, "Out"}, {{{0, "Out"}, {2, "In"}}}, "These two plugs are already connected"},
        {"one plug with itself", {2, "In"}, {2, "In"}, {}, ""},
    };
    for (const wire_case& test : cases) {
        SCOPED_TRACE(test.why);
        four_modules patch(test.wired_before);
        const std::size_t children = patch.document.root->Children().size();
        const std::size_t a_wires = patch(test.a)->wires.size();
        const std::size_t b_wires = patch(test.b)->wires.size();

        shown_messages shown;
        EXPECT_EQ(Connect(patch(test.a), patch(test.b)), nullptr);
        const std::vector<std::string> expected =
            *test.message != '\0' ? std::vector<std::string>{test.message} : std::vector<std::string>{};
        EXPECT_EQ(shown.texts, expected);
        EXPECT_EQ(patch.document.root->Children().size(), children);
        EXPECT_EQ(patch(test.a)->wires.size(), a_wires);
        EXPECT_EQ(patch(test.b)->wires.size(), b_wires);
        EXPECT_FALSE(patch.document.modified);
    }
}

TEST(Wiring, AcceptedWireIsStoredOutputFirst) {
    const wire_case cases[] = {
        {"second wire into an audio input", {1, "Out"}, {2, "In"}, {{{0, "Out"}, {2, "In"}}}, ""},
        {"same values under other names", {3, "Other Three"}, {0, "List Out"}, {{{0, "List Out"}, {2, "Three"}}}, ""},
        {"a list plug that takes any list", {3, "Any Two"}, {0, "List Out"}, {{{0, "List Out"}, {2, "Three"}}}, ""},
        {"started from the input", {2, "Level"}, {0, "Level Out"}, {}, ""},
        {"started from the output", {0, "Level Out"}, {2, "Level"}, {}, ""},
    };
    for (const wire_case& test : cases) {
        SCOPED_TRACE(test.why);
        four_modules patch(test.wired_before);

        shown_messages shown;
        CLine2* wire = Connect(patch(test.a), patch(test.b));
        ASSERT_NE(wire, nullptr);
        EXPECT_TRUE(shown.texts.empty());
        CPlug2* output = patch(test.a)->Direction() == DR_OUT ? patch(test.a) : patch(test.b);
        CPlug2* input = output == patch(test.a) ? patch(test.b) : patch(test.a);
        EXPECT_EQ(wire->from, output);
        EXPECT_EQ(wire->to, input);
        EXPECT_EQ(wire->Parent(), patch.document.root.get());
        EXPECT_EQ(patch.document.root->Children().back().get(), wire);
        EXPECT_EQ(output->wires.back(), wire);
        EXPECT_EQ(input->wires.back(), wire);
        EXPECT_TRUE(patch.document.modified);
    }
}

TEST(Wiring, AutoDuplicatingPlugKeepsOneSpareReady) {
    test_patch patch;
    CUG* source = patch.Add(kSource);
    CUG* mixer = patch.Add(kMixer);
    EXPECT_EQ(PlugOf(mixer, "Select").ListText(), "<none>");

    CLine2* wire = Connect(&PlugOf(source, "Out"), &PlugOf(mixer, "Audio"));
    ASSERT_NE(wire, nullptr);
    EXPECT_EQ(PlugNames(mixer), (std::vector<std::string>{"Select", "Audio", "Audio", "Out"}));
    EXPECT_EQ(wire->to, mixer->Plugs()[1].get());
    EXPECT_TRUE(mixer->Plugs()[2]->IsSpare());
    EXPECT_EQ(SpareCount(mixer), 1);
    EXPECT_EQ(PlugOf(mixer, "Select").ListText(), "Audio");

    DeleteWire(wire);
    EXPECT_EQ(PlugNames(mixer), (std::vector<std::string>{"Select", "Audio", "Out"}));
    EXPECT_TRUE(mixer->Plugs()[1]->IsSpare());
    EXPECT_TRUE(PlugOf(source, "Out").wires.empty());
    EXPECT_EQ(patch.document.root->Children().size(), 2u);
    EXPECT_EQ(PlugOf(mixer, "Select").ListText(), "<none>");
}

TEST(Wiring, InsideOutputPairsWithTheIOSpare) {
    for (const bool start_at_spare : {false, true}) {
        SCOPED_TRACE(start_at_spare ? "from the spare" : "from the output");
        test_patch patch;
        CContainer* box = patch.AddBox();
        CUG* inside = patch.Add(kSource, box);
        CUG* io = box->FindIOModule();
        ASSERT_NE(io, nullptr);
        CPlug2* output = &PlugOf(inside, "Level Out");
        CPlug2* spare = &PlugOf(io, "Spare");

        CLine2* wire = start_at_spare ? Connect(spare, output) : Connect(output, spare);
        ASSERT_NE(wire, nullptr);
        EXPECT_EQ(wire->from, output);
        EXPECT_EQ(wire->Parent(), box);

        auto* inner = static_cast<CPlugIO2*>(spare);
        EXPECT_EQ(inner->Direction(), DR_IN);
        EXPECT_EQ(inner->DataType(), DT_FLOAT);
        EXPECT_EQ(inner->Name(), "Level Out");
        CPlugIO2* outer = inner->Counterpart();
        ASSERT_NE(outer, nullptr);
        EXPECT_EQ(outer->owner, box);
        EXPECT_EQ(outer->Counterpart(), inner);
        EXPECT_EQ(outer->Direction(), DR_OUT);
        EXPECT_EQ(outer->DataType(), DT_FLOAT);
        EXPECT_EQ(outer->Name(), "Level Out");
        EXPECT_EQ(outer->RepresentedPlug(), output);
        EXPECT_EQ(outer->Flags(), uint32_t{0x4C});

        for (const CUG* side : {static_cast<const CUG*>(io), static_cast<const CUG*>(box)}) {
            EXPECT_EQ(PlugNames(side), (std::vector<std::string>{"Level Out", "Spare"}));
            EXPECT_EQ(SpareCount(side), 1);
            EXPECT_EQ(side->Plugs().back()->Direction(), DR_CONTAINER_IO);
        }
    }
}

TEST(Wiring, RegistryContainerPairsThroughItsOwnIOModule) {
    // The real rows: a "Container" gets its "IO Mod" when it is made.
    test_patch patch;
    auto* box = static_cast<CContainer*>(patch.Add("Container"));
    CUG* inside = patch.Add(kSource, box);
    CUG* io = box->FindIOModule();
    ASSERT_NE(io, nullptr);
    EXPECT_EQ(io->TypeId(), "IO Mod");
    const std::size_t box_plugs = box->Plugs().size();

    ASSERT_NE(Connect(&PlugOf(inside, "Out"), &PlugOf(io, "Spare")), nullptr);
    CPlug2& outer = PlugOf(box, "Out");
    EXPECT_EQ(outer.Direction(), DR_OUT);
    EXPECT_EQ(outer.Counterpart(), &PlugOf(io, "Out"));
    EXPECT_EQ(box->Plugs().size(), box_plugs + 1);
    EXPECT_EQ(SpareCount(box), 1);
    EXPECT_EQ(SpareCount(io), 1);
}

TEST(Wiring, InsideInputMakesAContainerInputWithItsDefault) {
    test_patch patch;
    CContainer* box = patch.AddBox();
    CUG* inside = patch.Add(kSink, box);
    CPlug2* input = &PlugOf(inside, "Level");
    auto* inner = static_cast<CPlugIO2*>(&PlugOf(box->FindIOModule(), "Spare"));

    ASSERT_NE(Connect(input, inner), nullptr);
    EXPECT_EQ(inner->Direction(), DR_OUT);
    ASSERT_NE(inner->Counterpart(), nullptr);
    EXPECT_EQ(inner->Counterpart()->Direction(), DR_IN);
    EXPECT_EQ(inner->Counterpart()->ValueText(), "0.5");
    EXPECT_EQ(inner->Counterpart()->RepresentedPlug(), input);
}

TEST(Wiring, BoundaryPairGoesWhenBothSidesLoseTheirWires) {
    test_patch patch;
    CContainer* box = patch.AddBox();
    CUG* inside = patch.Add(kSource, box);
    CUG* outside = patch.Add(kSink);
    auto* inner = static_cast<CPlugIO2*>(&PlugOf(box->FindIOModule(), "Spare"));
    CLine2* inside_wire = Connect(&PlugOf(inside, "Level Out"), inner);
    ASSERT_NE(inside_wire, nullptr);
    CPlugIO2* outer = inner->Counterpart();
    CLine2* outside_wire = Connect(outer, &PlugOf(outside, "Level"));
    ASSERT_NE(outside_wire, nullptr);
    // Wiring a plug whose partner is wired leaves no further spare.
    EXPECT_EQ(box->Plugs().size(), 2u);
    EXPECT_EQ(inner->RepresentedPlug(), &PlugOf(outside, "Level"));

    DeleteWire(inside_wire);
    EXPECT_EQ(box->Plugs().size(), 2u);
    EXPECT_EQ(box->FindIOModule()->Plugs().size(), 2u);
    EXPECT_FALSE(inner->IsSpare());

    DeleteWire(outside_wire);
    for (const CUG* side : {static_cast<const CUG*>(box->FindIOModule()), static_cast<const CUG*>(box)}) {
        EXPECT_EQ(PlugNames(side), std::vector<std::string>{"Spare"});
        EXPECT_EQ(SpareCount(side), 1);
    }
}

TEST(Wiring, ConnectPausesRunningAudio) {
    for (const bool running : {true, false}) {
        SCOPED_TRACE(running ? "running" : "stopped");
        four_modules patch;
        std::vector<std::string> calls;
        patch.document.stop_audio = [&] {
            calls.push_back("stop");
            return running;
        };
        patch.document.start_audio = [&] { calls.push_back("start"); };

        shown_messages shown;
        EXPECT_EQ(Connect(patch({0, "Out"}), patch({2, "Level"})), nullptr);
        EXPECT_TRUE(calls.empty()) << "a refusal leaves the engine alone";

        ASSERT_NE(Connect(patch({0, "Out"}), patch({2, "In"})), nullptr);
        const std::vector<std::string> expected =
            running ? std::vector<std::string>{"stop", "start"} : std::vector<std::string>{"stop"};
        EXPECT_EQ(calls, expected);
    }
}

TEST(Wiring, ObserversHearOfWiresPlugsAndNames) {
    recorder root_watch, box_watch, plug_watch, wire_watch;  // outlive the patch they watch
    test_patch patch;
    CContainer* box = patch.AddBox();
    CUG* inside = patch.Add(kSource, box);
    patch.document.root->AddObserver(&root_watch);
    box->AddObserver(&box_watch);
    CPlug2* inner = &PlugOf(box->FindIOModule(), "Spare");
    inner->AddObserver(&plug_watch);

    CLine2* wire = Connect(&PlugOf(inside, "Out"), inner);
    ASSERT_NE(wire, nullptr);
    EXPECT_TRUE(box_watch.Saw(NOTIFY_CHILD_ADDED, box, wire));
    EXPECT_TRUE(box_watch.Saw(NOTIFY_PLUGS_CHANGED, box, box->FindIOModule()));
    EXPECT_TRUE(root_watch.Saw(NOTIFY_PLUGS_CHANGED, patch.document.root.get(), box));
    EXPECT_TRUE(plug_watch.Saw(NOTIFY_PLUG_RENAMED, inner));

    auto* outer = static_cast<CPlugNameable*>(inner->Counterpart());
    outer->SetName("Left");
    EXPECT_EQ(inner->Name(), "Left");

    wire->AddObserver(&wire_watch);
    DeleteWire(wire);
    EXPECT_TRUE(wire_watch.Saw(NOTIFY_CHILD_REMOVED, wire));
}

TEST(Wiring, ValueTextReachesTheMatchingAudioPlug) {
    engine_fixture engine;
    auto* probe = engine.Add<ug_probe>(10);
    test_patch patch;
    CUG* module = patch.Add(kProbe);
    module->unit_generator = probe;
    patch.document.modified = false;

    // "Gain" (parameter-style) and "Extra" (a spare) have no audio plug, so
    // "Level" is the probe's fourth plug.
    PlugOf(module, "Level").SetValueText("2.5");
    EXPECT_FLOAT_EQ(probe->level, 2.5f);
    EXPECT_TRUE(patch.document.modified);

    PlugOf(module, "Name").SetValueText("hello");
    EXPECT_EQ(probe->name, "hello");
    module->unit_generator = nullptr;
}

TEST(DocPlugs, NormalisedByDataType) {
    struct normalised_case {
        int32_t data_type;
        const char* list;
        const char* value;
        float normalised;
        float set_to;
        const char* value_after;
    };
    const normalised_case cases[] = {
        {DT_ENUM, "All=-1,1,2,3", "1", 2.0f / 3.0f, 0.0f, "-1"},
        {DT_ENUM, "All=-1,1,2,3", "7", 0.0f, 1.0f, "2"},
        {DT_ENUM, "a,b,c", "2", 1.0f, 0.5f, "1"},
        {DT_ENUM, "range 1,4", "3", 2.0f / 3.0f, 0.99f, "4"},
        {DT_ENUM, "only", "0", 0.0f, 1.0f, "0"},
        {DT_BOOL, "", "1", 1.0f, 0.4f, "0"},
        {DT_BOOL, "", "0", 0.0f, 0.6f, "1"},
        {DT_DOUBLE, "", "5", 0.5f, 0.9f, "5"},
        {DT_FLOAT, "", "5", 0.0f, 0.9f, "5"},
    };
    for (const normalised_case& test : cases) {
        SCOPED_TRACE(std::string(test.list) + " " + test.value);
        CPlugFeature plug;
        plug.data_type = test.data_type;
        plug.list_text = test.list;
        plug.StoreValueText(test.value);
        EXPECT_FLOAT_EQ(plug.getNormalised(), test.normalised);
        plug.setNormalised(test.set_to);
        EXPECT_EQ(plug.ValueText(), test.value_after);
    }
    CPlugControled controlled;
    controlled.data_type = DT_AUDIO;
    controlled.setNormalised(0.25f);
    EXPECT_EQ(controlled.ValueText(), "2.5");
    EXPECT_EQ(controlled.getUnits(), "Volts");
}

TEST(DocPlugs, PlugClassFollowsItsDescription) {
    // Name, direction and type are what the plug keeps itself: without a
    // module its description is empty (an input of audio).
    struct class_case {
        InterfaceObject description;
        const runtime_class* made;
        const char* value;
        const char* name;
        int32_t direction;
        int32_t data_type;
    };
    const class_case cases[] = {
        {Describe(DR_CONTAINER_IO, DT_FLOAT, "Spare", 0x4C, "", "1"), &CPlugIO2::class_info, "", "Spare",
         DR_CONTAINER_IO, DT_AUDIO},
        {Describe(DR_PARAMETER, DT_ENUM, "Mode", DPF_PARAMETER_STYLE, "a,b", "1"), &CPlugFeature4::class_info, "1",
         "Mode", DR_PARAMETER, DT_ENUM},
        {Describe(DR_OUT, DT_FLOAT, "Named", DPF_TAKES_NAME, "", "2"), &CPlugNameable::class_info, "2", "Named", DR_IN,
         DT_AUDIO},
        {Describe(DR_OUT, DT_TEXT, "Plain", 0, "", "x"), &CPlug2::class_info, "x", "", DR_IN, DT_AUDIO},
    };
    for (const class_case& test : cases) {
        SCOPED_TRACE(test.description.name);
        std::unique_ptr<CPlug2> plug = MakePlugForDescription(test.description, 7);
        EXPECT_EQ(plug->GetRuntimeClass(), test.made);
        EXPECT_EQ(plug->description_index, 7);
        EXPECT_EQ(plug->ValueText(), test.value);
        EXPECT_EQ(plug->Name(), test.name);
        EXPECT_EQ(plug->Direction(), test.direction);
        EXPECT_EQ(plug->DataType(), test.data_type);
    }
}

TEST(DocPlugs, RepresentedPlugWalkEndsOnALoop) {
    // A project could pair and wire boundary plugs into a ring that never
    // reaches a module plug: A crosses to B, B's wire leads to C, and C and D
    // lead to each other for ever.
    CPlugIO2 a, b, c, d;
    a.direction = c.direction = DR_IN;
    b.direction = d.direction = DR_OUT;
    a.counterpart = &b;
    b.counterpart = &a;
    c.counterpart = &d;
    d.counterpart = &c;
    CLine2 b_to_c, d_to_c;
    b_to_c.SetEnds(&b, &c);
    d_to_c.SetEnds(&d, &c);
    b.wires = {&b_to_c};
    c.wires = {&b_to_c, &d_to_c};
    d.wires = {&d_to_c};
    EXPECT_EQ(a.RepresentedPlug(), &a);
    EXPECT_EQ(a.Flags(), uint32_t{0x404C});
}

// ---- plug records -----------------------------------------------------------

namespace {

struct record_case {
    const char* why;
    int32_t version;
    archive_bytes bytes;
    std::function<void(const CPlug2&)> check;
};

// The CPlug2 part of every record: description index 3, value "0.5", no wires.
archive_bytes PlugFields(const std::string& class_name, uint16_t schema = 1) {
    return archive_bytes().NewClass(class_name, schema).I16(3).Text("0.5").Count(0);
}

archive_bytes FeatureFields(const std::string& class_name) {
    return PlugFields(class_name).I32(DR_OUT).I32(DT_TEXT).I32(2).Text("File").Text("wav");
}

template <class Plug>
const Plug& As(const CPlug2& plug) {
    if (!plug.Is<Plug>()) throw std::runtime_error(std::string("read as ") + plug.GetRuntimeClass()->name);
    return static_cast<const Plug&>(plug);
}

void ExpectPlugFields(const CPlug2& plug) {
    EXPECT_EQ(plug.description_index, 3);
    EXPECT_EQ(plug.ValueText(), "0.5");
    EXPECT_TRUE(plug.wires.empty());
}

void ExpectFeatureFields(const CPlug2& plug) {
    ExpectPlugFields(plug);
    const auto& feature = As<CPlugFeature>(plug);
    EXPECT_EQ(feature.direction, DR_OUT);
    EXPECT_EQ(feature.data_type, DT_TEXT);
    EXPECT_EQ(feature.feature_index, 2);
    EXPECT_EQ(feature.name, "File");
    EXPECT_EQ(feature.list_text, "wav");
}

std::vector<record_case> RecordCases() {
    return {
        {"plain plug, stored schema kept", kNewestArchiveVersion, PlugFields("CPlug2", 7),
         [](const CPlug2& plug) { ExpectPlugFields(As<CPlug2>(plug)); }},
        {"before wires were stored", 35, archive_bytes().NewClass("CPlug2", 2).I16(-1).Text("x"),
         [](const CPlug2& plug) {
             EXPECT_EQ(plug.description_index, -1);
             EXPECT_EQ(plug.ValueText(), "x");
         }},
        {"nameable", kNewestArchiveVersion, PlugFields("CPlugNameable").Text("Gate"),
         [](const CPlug2& plug) {
             ExpectPlugFields(plug);
             EXPECT_EQ(As<CPlugNameable>(plug).Name(), "Gate");
         }},
        {"boundary plug", 94962, PlugFields("CPlugIO2").Text("Left").I16(DR_OUT).Null().I16(DT_FLOAT),
         [](const CPlug2& plug) {
             ExpectPlugFields(plug);
             const auto& boundary = As<CPlugIO2>(plug);
             EXPECT_EQ(boundary.Name(), "Left");
             EXPECT_EQ(boundary.direction, DR_OUT);
             EXPECT_EQ(boundary.data_type, DT_FLOAT);
             EXPECT_EQ(boundary.counterpart, nullptr);
         }},
        {"boundary plug before its type was stored", 94961, PlugFields("CPlugIO2").Text("L").I16(DR_IN).Null(),
         [](const CPlug2& plug) {
             EXPECT_EQ(As<CPlugIO2>(plug).direction, DR_IN);
             EXPECT_EQ(As<CPlugIO2>(plug).data_type, DT_AUDIO);
         }},
        {"controlled plug", kNewestArchiveVersion, PlugFields("CPlugControled").Text("Input").I32(DR_IN).I32(DT_TEXT).Text("mid"),
         [](const CPlug2& plug) {
             ExpectPlugFields(plug);
             const auto& controlled = As<CPlugControled>(plug);
             EXPECT_EQ(controlled.Name(), "Input");
             EXPECT_EQ(controlled.direction, DR_IN);
             EXPECT_EQ(controlled.data_type, DT_TEXT);
             EXPECT_EQ(controlled.file_type, "mid");
             EXPECT_EQ(controlled.Flags(), uint32_t{DPF_FILE_NAME});
             EXPECT_EQ(controlled.getFileType(), "mid");
         }},
        {"feature plug", kNewestArchiveVersion, FeatureFields("CPlugFeature").U32(0x1000),
         [](const CPlug2& plug) {
             ExpectFeatureFields(plug);
             EXPECT_EQ(As<CPlugFeature>(plug).own_flags, 0x1000u);
             EXPECT_EQ(plug.Flags(), uint32_t{0x1000 | DPF_PARAMETER_STYLE | DPF_FILE_NAME});
         }},
        {"feature plug before its flags were stored", 95161, FeatureFields("CPlugFeature"),
         [](const CPlug2& plug) { EXPECT_EQ(As<CPlugFeature>(plug).own_flags, 0u); }},
        {"feature plug 2", kNewestArchiveVersion, FeatureFields("CPlugFeature2").U32(0),
         [](const CPlug2& plug) { ExpectFeatureFields(As<CPlugFeature2>(plug)); }},
        {"feature plug 3", kNewestArchiveVersion, FeatureFields("CPlugFeature3").U32(0).Bool(true),
         [](const CPlug2& plug) {
             ExpectFeatureFields(plug);
             EXPECT_TRUE(As<CPlugFeature3>(plug).relay);
         }},
        {"feature plug 4", kNewestArchiveVersion, FeatureFields("CPlugFeature4").U32(0),
         [](const CPlug2& plug) { ExpectFeatureFields(As<CPlugFeature4>(plug)); }},
        {"panel plug", kNewestArchiveVersion, PlugFields("CPlugGui"),
         [](const CPlug2& plug) { ExpectPlugFields(As<CPlugGui>(plug)); }},
        // Table: 1 class CPlug2, 2 the plug, 3 class CLine2, 4 the wire, whose from plug is the plug.
        {"plug with a wire that refers back to it", kNewestArchiveVersion,
         archive_bytes().NewClass("CPlug2", 2).I16(0).Text("").Count(1).NewClass("CLine2").Text("").Ref(2).Null(),
         [](const CPlug2& plug) {
             ASSERT_EQ(plug.wires.size(), 1u);
             EXPECT_EQ(plug.wires[0]->from, &plug);
             EXPECT_EQ(plug.wires[0]->to, nullptr);
         }},
    };
}

}  // namespace

TEST(PlugRecords, EachClassReadsItsFields) {
    for (const record_case& test : RecordCases()) {
        SCOPED_TRACE(test.why);
        archive_reader archive(test.bytes.bytes);
        archive.version = test.version;
        const CPlug2* plug = archive.ReadObjectOf<CPlug2>();
        ASSERT_NE(plug, nullptr);
        test.check(*plug);
        EXPECT_TRUE(archive.AtEnd());
    }
}

TEST(PlugRecords, MalformedRecordsStopTheRead) {
    const std::pair<const char*, archive_bytes> cases[] = {
        {"feature record cut before its flags", FeatureFields("CPlugFeature")},
        {"wire count beyond the bytes left", archive_bytes().NewClass("CPlug2", 2).I16(0).Text("").Count(0x7FFFFFFF)},
        {"boundary plug stored with another schema", archive_bytes().NewClass("CPlugIO2", 2)},
        {"counterpart that is not a boundary plug",
         PlugFields("CPlugIO2").Text("L").I16(DR_IN).NewClass("CPlug2", 2).I16(0).Text("").Count(0)},
    };
    for (const auto& [why, bytes] : cases) {
        SCOPED_TRACE(why);
        archive_reader archive(bytes.bytes);
        archive.version = kNewestArchiveVersion;
        EXPECT_THROW(archive.ReadObjectOf<CPlug2>(), archive_error);
    }
}
