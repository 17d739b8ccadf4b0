#include "project/module_registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/ug_base.h"
#include "platform/platform.h"
#include "project/doc_objects.h"
#include "project/module_table.h"

namespace {

ModuleRegistry& Registry() { return ModuleRegistry::Instance(); }

const Module_Info& Entry(const std::string& unique_id) {
    const Module_Info* entry = Registry().FindModule(unique_id);
    if (entry == nullptr) throw std::runtime_error("no module type " + unique_id);
    return *entry;
}

// Collects the message boxes shown while it lives.
class message_capture {
public:
    message_capture()
        : previous_(platform::SetMessageSink([this](const std::string& text, int) { messages.push_back(text); })) {}
    ~message_capture() { platform::SetMessageSink(previous_); }
    std::vector<std::string> messages;

private:
    platform::MessageSink previous_;
};

// Every ID the compiled-in tables register, in registration order.
std::vector<std::string> TableIds() {
    std::vector<std::string> ids;
    for (const built_in_row& row : BuiltInModuleTable()) {
        if (std::string(row.unique_id) == kBuiltInTableEnd) break;
        if (*row.unique_id != '\0') ids.push_back(row.unique_id);
    }
    for (const module_type_row& row : ArgumentModuleTable()) ids.push_back(row.unique_id);
    for (const static_module_record& record : StaticModuleRecords()) ids.push_back(record.unique_id);
    return ids;
}

TEST(ModuleRegistry, FindsByIdOrByBIAndLegacyNumber) {
    const struct {
        const char* asked;
        const char* found;  // empty: none
    } cases[] = {
        {"ADSR", "ADSR"},
        {"BI94", "VST Input"},
        {"BI0", "Oscillator"},
        {"BI3", "Container"},
        {"BI44", "Step Sequencer"},
        {"BI120", "Control Group"},
        {"BI10", ""},   // the refused empty row used up number 10
        {"BI45", ""},   // the end mark is no module type
        {"BIx", ""},
        {"BI", ""},
        {"BI94x", ""},
        {"BI-1", ""},   // -1 marks types without a legacy number
        {"Nothing", ""},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.asked);
        const Module_Info* entry = Registry().FindModule(test.asked);
        EXPECT_EQ(entry != nullptr ? entry->unique_id : "", test.found);
    }
}

TEST(ModuleRegistry, BuiltInTableNumbersItsRowsByPosition) {
    EXPECT_EQ(Entry("Audio Out").legacy_id, 1);
    EXPECT_EQ(Entry("Midi to CV").legacy_id, 9);
    EXPECT_EQ(Entry("Level Adj").legacy_id, 11);
    EXPECT_EQ(Entry("Step Sequencer").legacy_id, 44);
    EXPECT_EQ(Entry("Oscillator").legacy_id, 0);
    EXPECT_EQ(Entry("Image").legacy_id, -1);
    EXPECT_EQ(Entry("FloatToVolts").legacy_id, -1);
    EXPECT_EQ(Registry().NameForLegacyId(10), "");
}

TEST(ModuleRegistry, HoldsEveryTableTypeOnce) {
    const std::vector<std::string> ids = TableIds();
    EXPECT_EQ(ids.size(), 143u);
    EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), ids.size());
    for (const std::string& id : ids) EXPECT_NE(Registry().FindModule(id), nullptr) << id;
    // Anything beyond the table was added by a unit generator the table does not list.
    for (const auto& [id, entry] : Registry().Entries()) {
        if (std::ranges::find(ids, id) != ids.end()) continue;
        EXPECT_TRUE(entry->make_unit_generator) << id;
        EXPECT_EQ(entry->legacy_id, -1) << id;
    }
}

TEST(ModuleRegistry, DuplicatesAreReportedOnceAndTheFirstStays) {
    const Module_Info* first = &Entry("ADSR");
    message_capture capture;
    auto second = std::make_unique<Module_Info>();
    second->unique_id = "ADSR";
    second->flags = 0x4;
    EXPECT_TRUE(Registry().RegisterModule(std::move(second)));
    EXPECT_EQ(capture.messages, std::vector<std::string>{"RegisterModule Error. Module found twice. ADSR"});
    EXPECT_EQ(Registry().FindModule("ADSR"), first);
    EXPECT_EQ(first->flags, 0x1100u);
}

TEST(ModuleRegistry, ASecondUnitGeneratorForATypeIsLeftOut) {
    message_capture capture;
    bool second_made = false;
    Registry().AttachUnitGenerator("Float Adder", [&second_made] {
        second_made = true;
        return std::unique_ptr<ug_base>();
    });
    EXPECT_EQ(capture.messages, std::vector<std::string>{"RegisterModule Error. Module found twice. Float Adder"});
    EXPECT_NE(Registry().CreateUnitGenerator("Float Adder"), nullptr);
    EXPECT_FALSE(second_made);
}

TEST(ModuleRegistry, RefusesAnEmptyIdSilently) {
    message_capture capture;
    const std::size_t count = Registry().Entries().size();
    EXPECT_FALSE(Registry().RegisterModule(std::make_unique<Module_Info>()));
    EXPECT_EQ(Registry().Entries().size(), count);
    EXPECT_TRUE(capture.messages.empty());
}

TEST(ModuleRegistry, NamesComeFromStringResourcesOrTheEntry) {
    const struct {
        const char* id;
        const char* display_name;
        const char* group_name;
    } cases[] = {
        {"VST Output", "VST Output", ""},  // group 32829 has no resource
        {"ADSR", "ADSR", "Waveform"},
        {"Soundfont Oscillator", "", "Waveform"},  // name 514 has no resource
        {"Container", "Container", ""},            // no string ids: the ID and the group text
        {"Phase Dist Osc", "Phase Dist Osc", "Waveform"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.id);
        EXPECT_EQ(Registry().DisplayName(Entry(test.id)), test.display_name);
        EXPECT_EQ(Registry().GroupName(Entry(test.id)), test.group_name);
    }
}

TEST(ModuleRegistry, EnumeratesInByteOrderOfTheIds) {
    std::vector<std::string> order;
    for (const auto& [id, entry] : Registry().Entries()) order.push_back(id);
    const auto position = [&order](const char* id) { return std::ranges::find(order, id) - order.begin(); };
    EXPECT_LT(position("1 KHz Tone"), position("8 Stage Env"));
    EXPECT_LT(position("8 Stage Env"), position("ADSR"));
    EXPECT_LT(position("ADSR"), position("random"));
}

TEST(ModuleRegistry, FlagsOfTellingTypes) {
    const struct {
        const char* id;
        uint32_t flags;
    } cases[] = {
        {"Container", 0x103 | MF_REGISTERED_FROM_ARGUMENTS},
        {"IO Mod", 0x106 | MF_REGISTERED_FROM_ARGUMENTS},
        {"Panel Group", 0x80 | MF_REGISTERED_FROM_ARGUMENTS},
        {"VST Input", 0x1008},
        {"Soundfont Player", 0x11E0},
        {"FloatToVolts", 0x100},  // static records keep their flags as they are
        {"PatchMemFloatOutB", 0x100},
    };
    for (const auto& test : cases) EXPECT_EQ(Entry(test.id).flags, test.flags) << test.id;
}

TEST(ModuleRegistry, AttachedUnitGeneratorsDescribeThePlugs) {
    const std::vector<InterfaceObject>& plugs = Entry("Float Adder").plugs;
    ASSERT_EQ(plugs.size(), 2u);
    EXPECT_EQ(plugs[0].name, "Out");
    EXPECT_EQ(plugs[0].direction, DR_OUT);
    EXPECT_EQ(plugs[1].name, "In");
    EXPECT_EQ(plugs[1].direction, DR_IN);
    EXPECT_NE(plugs[1].flags & IO_MULTI_INPUT, 0u);
    EXPECT_FALSE(Entry("VST Output").plugs.empty());
    // Panel-only types have no audio side.
    EXPECT_EQ(Registry().CreateUnitGenerator("Panel Group"), nullptr);
    EXPECT_TRUE(Entry("Panel Group").plugs.empty());
}

TEST(ModuleRegistry, StaticRecordsDescribeThePlugsFromTheirRows) {
    const std::vector<InterfaceObject>& plugs = Entry("VoltsToFloat").plugs;
    ASSERT_EQ(plugs.size(), 4u);
    EXPECT_EQ(plugs[0].name, "Volts In");
    EXPECT_EQ(plugs[0].data_type, DT_AUDIO);
    EXPECT_EQ(plugs[0].flags, uint32_t{IO_NOT_POLYPHONIC});  // no polyphonic mark: it opted out
    EXPECT_EQ(plugs[2].name, "Update Rate");
    EXPECT_EQ(plugs[2].default_value, "10");
    EXPECT_EQ(plugs[2].list_values, "1 Hz=1,5 Hz=5,10 Hz=10,20 Hz=20,40 Hz=40");
    EXPECT_EQ(plugs[3].direction, DR_OUT);
    EXPECT_EQ(plugs[3].data_type, DT_FLOAT);
    EXPECT_EQ(Entry("FloatToVolts").plugs.size(), 3u);
    EXPECT_EQ(Entry("PatchMemListIn_B").plugs.size(), 3u);
    EXPECT_TRUE(Entry("PatchMemFloatOut").plugs.empty());
}

TEST(ModuleRegistry, FileTypesByExtensionInAnyCase) {
    const struct {
        const char* extension;
        const char* type_name;
    } cases[] = {
        {"WAV", "Wave Files"}, {"wav", "Wave Files"}, {"Png", "Image Files"}, {"fxp", "VST Inst"},
        {"*", "default"},      {"xyz", "default"},    {"", "default"},  // the empty twelfth slot matches nothing
    };
    for (const auto& test : cases)
        EXPECT_EQ(Registry().FileTypeForExtension(test.extension).type_name, test.type_name) << test.extension;
    EXPECT_EQ(Registry().FileTypes().size(), 12u);
    EXPECT_EQ(Registry().FileTypes()[10].type_name, "Embeddable Files");
    EXPECT_EQ(Registry().FileTypes()[11].type_name, "");
}

TEST(ModuleRegistry, DataFolderReachesEverySlot) {
    const std::string previous = Registry().FileTypes().front().folder;
    Registry().SetDataFolder("/plugins/synth/");
    for (const file_type& slot : Registry().FileTypes()) EXPECT_EQ(slot.folder, "/plugins/synth/");
    Registry().SetDataFolder(previous);
}

TEST(ModuleRegistry, ContainerDocumentComesWithItsIOModule) {
    std::unique_ptr<CDocOb> object = Registry().CreateDocObject("Container");
    ASSERT_NE(object, nullptr);
    ASSERT_TRUE(object->Is<CContainer>());
    EXPECT_EQ(object->ModuleInfo(), &Entry("Container"));
    const auto* container = static_cast<const CContainer*>(object.get());
    const CUG* io = container->FindIOModule();
    ASSERT_NE(io, nullptr);
    EXPECT_EQ(io->ModuleInfo(), &Entry("IO Mod"));
}

// Classes still missing from the build give no object, never one of another class.
TEST(ModuleRegistry, DocumentObjectsAreOfTheirTypesClass) {
    EXPECT_EQ(Registry().CreateDocObject("Nothing"), nullptr);
    std::unique_ptr<CDocOb> plain = Registry().CreateDocObject("ADSR");
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->GetRuntimeClass(), &CUG::class_info);
    for (const auto& [id, entry] : Registry().Entries()) {
        std::unique_ptr<CDocOb> object = Registry().CreateDocObject(id);
        if (!object) continue;
        EXPECT_EQ(object->GetRuntimeClass()->name, entry->document_class) << id;
        EXPECT_EQ(object->ModuleInfo(), entry.get()) << id;
    }
}

}  // namespace
