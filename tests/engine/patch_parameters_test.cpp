// Patch parameters on the audio side: made by graph construction from the
// panel's patch manager, fed into module inputs, moved by host automation and
// MIDI controllers, learning controllers, reporting to the panel.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "engine/message_stream.h"
#include "engine/patch_parameter_setup.h"
#include "engine/patch_parameters.h"
#include "project/patch_manager.h"
#include "support/graph_rig.h"

namespace {

constexpr const char* kParameterProbe = "test:parameter probe";
constexpr uint32_t kPatchPlug = IO_PANEL_ONLY | IO_PATCH_PARAMETER_HIGH;
constexpr int32_t kValueChange = MessageCode("ppc\0");
constexpr int32_t kLearned = MessageCode("lern");

// Takes one patch parameter of each kind, has one output a parameter watches,
// and counts the status changes of its inputs.
class ug_parameter_probe : public ug_module<ug_parameter_probe> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override {
        AddInterface(list, {.direction = DR_IN, .name = "Level", .default_value = "0", .list_values = "range 20,20000",
                            .flags = kPatchPlug, .data_type = DT_FLOAT, .variable = &level});
        AddInterface(list, {.direction = DR_IN, .name = "Choice", .default_value = "1", .list_values = "a=1,b=5,c=9",
                            .flags = kPatchPlug, .data_type = DT_ENUM, .variable = &choice});
        AddInterface(list, {.direction = DR_IN, .name = "On", .default_value = "0", .flags = kPatchPlug,
                            .data_type = DT_BOOL, .variable = &on});
        AddInterface(list, {.direction = DR_IN, .name = "Name", .flags = kPatchPlug, .data_type = DT_TEXT,
                            .variable = &name});
        AddInterface(list, {.direction = DR_IN, .name = "Count", .default_value = "0", .flags = kPatchPlug,
                            .data_type = DT_INT, .variable = &count});
        AddInterface(list, {.direction = DR_OUT, .name = "Level Out", .flags = IO_PATCH_PARAMETER_HIGH,
                            .data_type = DT_FLOAT, .variable = &level_out});
    }
    void Open() override {
        ug_base::Open();
        SetProcess(&ug_base::SleepIfIdle);
    }
    void OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) override { ++changes; }

    float level = 0;
    int16_t choice = 0;
    uint8_t on = 0;
    std::string name;
    int32_t count = 0;
    float level_out = 0;
    int changes = 0;
};

struct panel_message {
    int32_t target;
    int32_t code;
    std::vector<uint8_t> payload;

    message_stream Stream() const { return message_stream(payload); }
};

class PatchParameters : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static const bool registered = [] {
            ModuleRegistry::Instance().AttachUnitGenerator(kParameterProbe,
                                                           [] { return std::make_unique<ug_parameter_probe>(); });
            return true;
        }();
        (void)registered;
    }

    // A parameter of the root's patch manager bound to the probe's plug, with
    // `value` in every program.
    int32_t AddParameter(int32_t type_id, const std::string& plug_name, const patch_value& value) {
        return AddParameterTo(*programs, type_id, plug_name.empty() ? nullptr : &PlugOf(*probe, plug_name), value);
    }
    static int32_t AddParameterTo(CPatchManager& manager, int32_t type_id, CPlug2* plug, const patch_value& value) {
        patch_parameter_record parameter;
        parameter.type_id = type_id;
        parameter.id = static_cast<int32_t>(manager.Parameters().size());
        parameter.plug = plug;
        parameter.values.assign(kProgramCount, value);
        manager.RegisterParameter(parameter);
        return parameter.message_handle;
    }
    static CPatchManager& GiveProgramsTo(CContainer& container) {
        container.SetPatchManager(std::make_unique<CPatchManager>());
        return *container.PatchManager();
    }

    void Build() {
        rig = std::make_unique<graph_rig>(*root);
        rig->Start();
        rig->Run(1);
        ReadPanel();  // what the start reported
    }

    ug_parameter_probe& Probe() const { return graph_rig::UnitOf<ug_parameter_probe>(probe); }
    dsp_patch_manager& Manager() const { return *rig->top->PatchManager(); }
    template <class Parameter>
    Parameter& ParameterOf(int32_t identity) const {
        return dynamic_cast<Parameter&>(*rig->master.FindTarget(identity));
    }

    void PostFromPanel(int32_t target, int32_t code, const std::vector<uint8_t>& payload) {
        message_out out(rig->master.PanelQueue(), target, code);
        for (uint8_t byte : payload) out.Write8(byte);
        out.Send();
    }
    void PostControllerId(int32_t target, int32_t key) {
        message_out(rig->master.PanelQueue(), target, MessageCode("CCID")).Write32(static_cast<uint32_t>(key)).Send();
    }
    void Automate(int32_t target, float normalised) {
        message_out(rig->master.AutomationQueue(), target, MessageCode("ppca")).WriteFloat(normalised).Send();
    }
    std::vector<panel_message> ReadPanel() {
        std::vector<panel_message> read;
        rig->client.to_panel.Pump([&read](const queued_message& message) {
            read.push_back({message.target, message.code, {message.payload.begin(), message.payload.end()}});
        });
        return read;
    }

    std::unique_ptr<CContainer> root = MakeContainer("Root");
    CUG* probe = AddModule(*root, kParameterProbe, "Probe");
    CPatchManager* programs = &GiveProgramsTo(*root);
    std::unique_ptr<graph_rig> rig;
};

TEST_F(PatchParameters, EachKindFeedsItsValueIntoTheBoundInputAtTheStart) {
    AddParameter(DT_FLOAT, "Level", 440.0f);
    AddParameter(DT_ENUM, "Choice", int16_t{9});
    AddParameter(DT_BOOL, "On", true);
    AddParameter(DT_TEXT, "Name", std::string("lead"));
    AddParameter(DT_INT, "Count", int32_t{-7});
    Build();
    EXPECT_EQ(Manager().Parameters().size(), 5u);
    const ug_parameter_probe& ug = Probe();
    EXPECT_EQ(ug.level, 440.0f);
    EXPECT_EQ(ug.choice, 9);
    EXPECT_EQ(ug.on, 1);
    EXPECT_EQ(ug.name, "lead");
    EXPECT_EQ(ug.count, -7);
    // The values come from the container's hidden setter, which sleeps again.
    const UPlug* level = ug.GetPlug(0);
    ASSERT_EQ(level->connections.size(), 1u);
    const ug_base* setter = level->connections.front()->from->owner;
    EXPECT_NE(dynamic_cast<const ug_patch_param_setter*>(setter), nullptr);
    EXPECT_TRUE(setter->flags & UGF_NEVER_SUSPEND);
    rig->Run(1);
    EXPECT_TRUE(setter->sleeping);
}

TEST_F(PatchParameters, ContainersWithPatchMemoryOfTheirOwnGetAManagerOfTheirOwn) {
    CContainer* own = AddContainer(*root, "Own");
    own->SetFeature(CF_IGNORE_PROGRAM_CHANGE, true);
    CUG* own_probe = AddModule(*own, kParameterProbe, "Own Probe");
    AddParameterTo(GiveProgramsTo(*own), DT_FLOAT, &PlugOf(*own_probe, "Level"), 111.0f);
    // A container that follows its parent's programs adds to the parent's manager.
    CContainer* shared = AddContainer(*root, "Shared");
    CUG* shared_probe = AddModule(*shared, kParameterProbe, "Shared Probe");
    AddParameterTo(GiveProgramsTo(*shared), DT_FLOAT, &PlugOf(*shared_probe, "Level"), 222.0f);
    AddParameter(DT_FLOAT, "Level", 333.0f);
    Build();

    auto& own_unit = graph_rig::UnitOf<ug_container>(own);
    ASSERT_NE(own_unit.PatchManager(), nullptr);
    EXPECT_EQ(own_unit.PatchManager()->Parameters().size(), 1u);
    EXPECT_EQ(graph_rig::UnitOf<ug_container>(shared).PatchManager(), nullptr);
    EXPECT_EQ(Manager().Parameters().size(), 2u);
    EXPECT_EQ(graph_rig::UnitOf<ug_parameter_probe>(own_probe).level, 111.0f);
    EXPECT_EQ(graph_rig::UnitOf<ug_parameter_probe>(shared_probe).level, 222.0f);
    EXPECT_EQ(Probe().level, 333.0f);
}

TEST_F(PatchParameters, HostAutomationOfAFloatSetsItAndReportsWithTheHostFlag) {
    const int32_t identity = AddParameter(DT_FLOAT, "Level", 100.0f);
    Build();
    auto& parameter = ParameterOf<dsp_parameter_float>(identity);
    EXPECT_EQ(parameter.Metadata().minimum, 20.0f);  // the plug's range
    EXPECT_EQ(parameter.Metadata().maximum, 20000.0f);

    Automate(identity, 0.5f);
    EXPECT_EQ(Probe().level, 100.0f) << "automation waits for the next host call";
    rig->Run(1);
    EXPECT_EQ(parameter.CurrentValue(), 10010.0f);
    EXPECT_EQ(Probe().level, 10010.0f);
    const auto sent = ReadPanel();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].target, identity);
    EXPECT_EQ(sent[0].code, kValueChange);
    message_stream stream = sent[0].Stream();
    EXPECT_EQ(stream.Read8(), PCS_HOST);
    EXPECT_EQ(stream.ReadFloat(), 10010.0f);
}

TEST_F(PatchParameters, AListMapsNormalisedValuesOntoItsEntries) {
    const int32_t identity = AddParameter(DT_ENUM, "Choice", int16_t{1});
    Build();
    auto& parameter = ParameterOf<dsp_parameter_list>(identity);
    struct row {
        float normalised;
        int16_t value;
    };
    for (const row& expected : {row{1.0f, 9}, row{0.5f, 5}, row{0.0f, 1}, row{0.99f, 9}, row{0.34f, 5}}) {
        parameter.SetNormalised(expected.normalised);
        EXPECT_EQ(parameter.CurrentValue(), expected.value) << expected.normalised;
    }
    parameter.SetNormalised(0.5f);
    EXPECT_EQ(parameter.GetNormalised(), 0.5f);
    rig->Run(1);
    EXPECT_EQ(Probe().choice, 5);
}

TEST_F(PatchParameters, ABooleanFollowsAControllerOnlyWhenItChanges) {
    const int32_t identity = AddParameter(DT_BOOL, "On", false);
    Build();
    const int32_t key = controller_keys::kController + 5;
    PostControllerId(identity, key);
    const uint32_t now = rig->master.SampleClock();
    for (float moved : {0.3f, 0.4f}) Manager().OnController(now, key, moved);
    EXPECT_TRUE(ReadPanel().empty());

    Manager().OnController(now, key, 0.6f);
    Manager().OnController(now, key, 0.9f);
    const auto sent = ReadPanel();
    ASSERT_EQ(sent.size(), 1u);
    message_stream stream = sent[0].Stream();
    EXPECT_EQ(stream.Read8(), PCS_AUDIO);
    EXPECT_EQ(stream.Read8(), 1);
    rig->Run(1);
    EXPECT_EQ(Probe().on, 1);
}

TEST_F(PatchParameters, LearningTakesTheNextControllerAndOthersMayShareIt) {
    const int32_t first = AddParameter(DT_FLOAT, "Level", 20.0f);
    const int32_t second = AddParameter(DT_FLOAT, "", 0.0f);  // bound to no plug: it only relays
    Build();
    PostControllerId(first, controller_keys::kNone);
    EXPECT_EQ(Manager().LearningParameter(), &ParameterOf<dsp_parameter_float>(first));

    const int32_t volume = controller_keys::kController + 7;
    Manager().OnController(rig->master.SampleClock(), volume, 1.0f);
    EXPECT_EQ(Manager().LearningParameter(), nullptr);
    EXPECT_EQ(ParameterOf<dsp_parameter_float>(first).ControllerKey(), 0x2000007);
    auto sent = ReadPanel();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].target, first);
    EXPECT_EQ(sent[0].code, kLearned);
    EXPECT_EQ(sent[0].Stream().ReadInt32(), 0x2000007);
    EXPECT_EQ(sent[1].code, kValueChange) << "the controller that was learnt moves the parameter";

    PostControllerId(second, volume);
    Manager().OnController(rig->master.SampleClock(), volume, 0.5f);
    EXPECT_EQ(ParameterOf<dsp_parameter_float>(first).CurrentValue(), 10010.0f);
    EXPECT_EQ(ParameterOf<dsp_parameter_float>(second).CurrentValue(), 5.0f);  // the default range 0 ... 10
    EXPECT_EQ(ReadPanel().size(), 2u);
    rig->Run(1);
    EXPECT_EQ(Probe().level, 10010.0f);
}

TEST_F(PatchParameters, HostAutomationOfIntegersAndTextsChangesNothing) {
    const int32_t count = AddParameter(DT_INT, "Count", int32_t{3});
    const int32_t name = AddParameter(DT_TEXT, "Name", std::string("pad"));
    Build();
    const int changes = Probe().changes;
    for (float normalised : {0.0f, 0.7f, 1.0f}) {
        Automate(count, normalised);
        Automate(name, normalised);
    }
    rig->Run(2);
    EXPECT_TRUE(ReadPanel().empty());
    EXPECT_EQ(ParameterOf<dsp_parameter_int>(count).CurrentValue(), 3);
    EXPECT_EQ(ParameterOf<dsp_parameter_text>(name).CurrentValue(), "pad");
    EXPECT_EQ(Probe().changes, changes);
    EXPECT_EQ(ParameterOf<dsp_parameter_int>(count).GetNormalised(), 0.0f);
    EXPECT_EQ(ParameterOf<dsp_parameter_text>(name).GetNormalised(), -1.0f);
}

TEST_F(PatchParameters, NonsenseFromTheHostIsHeldOrIgnored) {
    const int32_t identity = AddParameter(DT_FLOAT, "Level", 100.0f);
    Build();
    auto& parameter = ParameterOf<dsp_parameter_float>(identity);
    parameter.SetNormalised(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(parameter.CurrentValue(), 100.0f);
    parameter.SetNormalised(7.0f);
    EXPECT_EQ(parameter.CurrentValue(), 20000.0f);
    parameter.SetNormalised(-1.0f);
    EXPECT_EQ(parameter.CurrentValue(), 20.0f);
}

TEST_F(PatchParameters, PanelChangesReachTheModuleAtTheNextBlock) {
    const int32_t name = AddParameter(DT_TEXT, "Name", std::string("one"));
    const int32_t level = AddParameter(DT_FLOAT, "Level", 30.0f);
    Build();
    {
        message_out out(rig->master.PanelQueue(), name, kValueChange);
        out.Write8(0).WriteText("two").Send();
    }
    {
        message_out out(rig->master.PanelQueue(), level, kValueChange);
        out.Write8(0).WriteFloat(55.5f).Send();
    }
    rig->Run(1);
    EXPECT_EQ(Probe().name, "two");
    EXPECT_EQ(Probe().level, 55.5f);
    EXPECT_TRUE(ReadPanel().empty()) << "the panel is not told what it sent";

    message_out(rig->master.PanelQueue(), level, MessageCode("meta")).WriteFloat(0.0f).WriteFloat(1.0f).Send();
    EXPECT_EQ(ParameterOf<dsp_parameter_float>(level).Metadata().maximum, 1.0f);
}

TEST_F(PatchParameters, AWatchedOutputReportsItsValuesToThePanel) {
    const int32_t identity = AddParameter(DT_FLOAT, "Level Out", 0.0f);
    rig = std::make_unique<graph_rig>(*root);
    ug_parameter_probe* ug = &Probe();
    ug->level_out = 2.5f;
    rig->Start();
    rig->Run(1);
    auto sent = ReadPanel();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].target, identity);
    message_stream first = sent[0].Stream();
    EXPECT_EQ(first.Read8(), PCS_AUDIO);
    EXPECT_EQ(first.ReadFloat(), 2.5f);

    ug->level_out = -4.0f;
    ug->GetPlug(5)->TransmitStatus(ug->sample_clock, ST_STATIC);
    rig->Run(1);
    sent = ReadPanel();
    ASSERT_EQ(sent.size(), 1u);
    message_stream second = sent[0].Stream();
    second.Read8();
    EXPECT_EQ(second.ReadFloat(), -4.0f);
    EXPECT_EQ(ParameterOf<dsp_parameter_float>(identity).CurrentValue(), -4.0f);
}

TEST_F(PatchParameters, AnInitOfAnUnknownKindIsPassedOver) {
    Build();
    const int32_t manager = programs->MessageHandle();
    PostFromPanel(manager, MessageCode("init"), {99, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_TRUE(Manager().Parameters().empty());

    patch_parameter_record parameter;
    parameter.type_id = DT_BOOL;
    parameter.values.assign(kProgramCount, true);
    message_out out(rig->master.PanelQueue(), manager, MessageCode("init"));
    ASSERT_TRUE(WriteParameterInit(out, parameter, 0));
    out.Send();
    ASSERT_EQ(Manager().Parameters().size(), 1u);
    EXPECT_EQ(ParameterOf<dsp_parameter_bool>(parameter.message_handle).CurrentValue(), true);
    EXPECT_EQ(ParameterOf<dsp_parameter_bool>(parameter.message_handle).BoundPlug(), nullptr);
}

}  // namespace
