// The patch text: compiling builds the document through the registry and the
// wiring rules, decompiling writes it back, and a round trip through the
// archive gives the same patch again.
#include "tools/patch_text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "project/controls.h"
#include "project/doc_objects.h"
#include "project/doc_plugs.h"
#include "project/module_registry.h"
#include "project/patch_manager.h"
#include "project/project_document.h"
#include "support/test_module_types.h"
#include "tools/json_reader.h"
#include "tools/project_writer.h"

namespace tools {
namespace {

const char* const kSource = "test:patch source";
const char* const kMixer = "test:patch mixer";
const char* const kBox = "test:patch container";
const char* const kBoxIO = "test:patch io";

// Module types of these tests: a source, an auto-duplicating mixer, and a
// container type whose IO module has the boundary spare.
void RegisterTestModules() {
    static const bool registered = [] {
        const InterfaceObject boundary_spare = Describe(DR_CONTAINER_IO, DT_AUDIO, "Spare", 0x4C, "", "0");
        RegisterTestModuleType(kSource,
                               {Describe(DR_IN, DT_AUDIO, "Pitch", 0, "", "5"),
                                Describe(DR_IN, DT_ENUM, "Wave", 0, "Sine,Saw", "1"), Describe(DR_OUT, DT_AUDIO, "Out"),
                                Describe(DR_OUT, DT_MIDI, "MIDI Out")},
                               0);
        RegisterTestModuleType(kMixer,
                               {Describe(DR_IN, DT_AUDIO, "Audio", DPF_AUTO_DUPLICATE), Describe(DR_OUT, DT_AUDIO, "Out"),
                                Describe(DR_IN, DT_MIDI, "MIDI In")},
                               0);
        RegisterTestModuleType(kBoxIO, {boundary_spare}, MF_IO_MODULE);
        RegisterTestModuleType(kBox, {boundary_spare}, MF_CONTAINER, [](Module_Info*) -> std::unique_ptr<CDocOb> {
            auto box = std::make_unique<CContainer>();
            auto* io = static_cast<CUG*>(box->AddChild(ModuleRegistry::Instance().CreateDocObject(kBoxIO)));
            io->CreatePlugsFromType();
            return box;
        });
        return true;
    }();
    (void)registered;
}

std::unique_ptr<project_document> Compiled(const std::string& text) {
    RegisterTestModules();
    return CompilePatchText(text);
}

// Written as an archive and read back as the plug-in reads it.
std::unique_ptr<project_document> ThroughArchive(const project_document& document) {
    const std::vector<uint8_t> bytes = WriteProjectArchive(document);
    auto read = std::make_unique<project_document>();
    EXPECT_EQ(ReadProject(bytes, *read, false), project_read_result::ok);
    return read;
}

CUG& ModuleOf(const CContainer& container, const std::string& title) {
    CUG* module = FindModule(container, title);
    if (module == nullptr) throw std::runtime_error("no module \"" + title + "\"");
    return *module;
}

CPlug2& PlugOf(const CUG& module, const std::string& reference) {
    CPlug2* plug = FindPlug(module, reference);
    if (plug == nullptr) throw std::runtime_error("no plug \"" + reference + "\" on \"" + module.Title() + "\"");
    return *plug;
}

std::vector<std::string> PlugNames(const CUG& module) {
    std::vector<std::string> names;
    for (const auto& plug : module.Plugs()) names.push_back(plug->Name());
    return names;
}

bool Joined(const CPlug2& from, const CPlug2& to) {
    for (const CLine2* wire : from.wires)
        if (wire->from == &from && wire->to == &to) return true;
    return false;
}

// A synth-like chain inside a container: two sources into the mixer's
// auto-duplicating input, the mixer out through the container boundary.
const char* const kChain = R"({
  "format": "wirestack patch",
  "settings": {"id": "WsT1", "vendor": "Tests", "product": "Chain", "options": 3, "program_count": 8,
               "can_mono": false, "panel_size": [320, 200]},
  "programs": {"current": 2, "names": {"0": "Init", "2": "Bright"}},
  "modules": [
    {"type": "test:patch container", "title": "Voice", "position": [40, 40, 60, 60],
     "modules": [
       {"type": "test:patch source", "title": "Osc", "plugs": {"Pitch": "3.5", "Wave": "0"}},
       {"type": "test:patch source", "title": "Osc", "disabled": true},
       {"type": "test:patch mixer", "title": "Mix/Sum"}
     ],
     "wires": [
       {"from": "Osc/Out", "to": "Mix/Sum/Audio"},
       {"from": "Osc#2/Out", "to": "Mix/Sum/Audio#2"},
       {"from": "Mix/Sum/Out", "to": "test:patch io/Left"}
     ]},
    {"type": "test:patch mixer", "title": "Master"},
    {"type": "Slider", "title": "Level", "value": 0.25, "program_values": {"2": 7.5}}
  ],
  "wires": [{"from": "Voice/Left", "to": "Master/Audio"}]
})";

TEST(PatchText, CompilesModulesWiresValuesAndSettings) {
    const auto document = Compiled(kChain);
    const project_settings& settings = document->settings;
    EXPECT_EQ(settings.id_text, "WsT1");
    EXPECT_EQ(settings.vendor, "Tests");
    EXPECT_EQ(settings.product, "Chain");
    EXPECT_EQ(settings.options, 3u);
    EXPECT_EQ(settings.program_count, 8);
    EXPECT_FALSE(settings.can_mono);
    EXPECT_EQ(settings.panel_size, (ws_point{320, 200}));

    const CContainer& root = *document->root;
    ASSERT_NE(root.PatchManager(), nullptr);
    EXPECT_EQ(root.PatchManager()->CurrentProgram(), 2);
    EXPECT_EQ(root.PatchManager()->ProgramName(2), "Bright");
    // Children in the order of the text, the IO module the container made last.
    std::vector<std::string> titles;
    for (const CUG* module : NamedModules(root)) titles.push_back(module->Title());
    EXPECT_EQ(titles, (std::vector<std::string>{"Voice", "Master", "Level", "IO Mod"}));

    auto& voice = static_cast<CContainer&>(ModuleOf(root, "Voice"));
    EXPECT_EQ(voice.Position(), (ws_rect{40, 40, 60, 60}));
    const CUG& osc = ModuleOf(voice, "Osc");
    EXPECT_EQ(PlugOf(osc, "Pitch").ValueText(), "3.5");
    EXPECT_EQ(PlugOf(osc, "Wave").ValueText(), "0");
    EXPECT_TRUE(ModuleOf(voice, "Osc#2").OwnDisabled());
    EXPECT_EQ(PlugOf(ModuleOf(voice, "Osc#2"), "Pitch").ValueText(), "5");

    // Each wire into the mixer's spare left a new spare behind.
    const CUG& mix = ModuleOf(voice, "Mix/Sum");
    EXPECT_EQ(PlugNames(mix), (std::vector<std::string>{"Audio", "Audio", "Audio", "Out", "MIDI In"}));
    EXPECT_TRUE(Joined(PlugOf(osc, "Out"), PlugOf(mix, "Audio")));
    EXPECT_TRUE(Joined(PlugOf(ModuleOf(voice, "Osc#2"), "Out"), PlugOf(mix, "Audio#2")));
    EXPECT_TRUE(PlugOf(mix, "Audio#3").IsSpare());

    // The wire to the IO module's spare made a pair across the boundary, named
    // as the text says.
    const CUG& io = *voice.FindIOModule();
    EXPECT_EQ(PlugNames(io), (std::vector<std::string>{"Left", "Spare"}));
    EXPECT_EQ(PlugNames(voice), (std::vector<std::string>{"Left", "Spare"}));
    EXPECT_EQ(PlugOf(voice, "Left").Direction(), DR_OUT);
    EXPECT_EQ(PlugOf(io, "Left").Counterpart(), &PlugOf(voice, "Left"));
    EXPECT_TRUE(Joined(PlugOf(voice, "Left"), PlugOf(ModuleOf(root, "Master"), "Audio")));

    const auto& level = static_cast<const CControl&>(ModuleOf(root, "Level"));
    EXPECT_EQ(level.Value(0), 0.25);
    EXPECT_EQ(level.Value(1), 0.25);
    EXPECT_EQ(level.Value(2), 7.5);
    EXPECT_EQ(level.Value(127), 0.25);
}

std::string NormalisedText(const std::string& text) { return DecompileToPatchText(*Compiled(text)); }

// Compiled, written, read as the plug-in reads it and decompiled: the same
// patch text as the compiled document's, and compiled again the same archive.
void ExpectRoundTrip(const std::string& text, const std::string& name) {
    const auto compiled = Compiled(text);
    const std::string decompiled = DecompileToPatchText(*compiled);
    const auto read = ThroughArchive(*compiled);
    EXPECT_EQ(DecompileToPatchText(*read), decompiled) << name;
    EXPECT_EQ(WriteProjectArchive(*Compiled(decompiled)), WriteProjectArchive(*compiled)) << name;
}

TEST(PatchText, RoundTripThroughTheArchive) { ExpectRoundTrip(kChain, "chain"); }

std::vector<std::filesystem::path> ExampleFiles() {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(WS_EXAMPLES_DIR))
        if (entry.path().extension() == ".json") files.push_back(entry.path());
    return files;
}

std::string FileText(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(PatchText, EveryExampleRoundTrips) {
    const std::vector<std::filesystem::path> examples = ExampleFiles();
    EXPECT_GE(examples.size(), 2u);
    for (const auto& path : examples) ExpectRoundTrip(FileText(path), path.filename().string());
}

TEST(PatchText, PatchParametersRoundTripWithTheirPlugsAndProgramValues) {
    const std::string text = FileText(std::string(WS_TEST_FIXTURES_DIR) + "/plugin/fixtures/programs.json");
    ExpectRoundTrip(text, "programs");
    const std::string decompiled = NormalisedText(text);
    EXPECT_NE(decompiled.find("\"plug\": \"Osc/Pitch\""), std::string::npos) << decompiled;
    EXPECT_NE(decompiled.find("\"3\": 2.5"), std::string::npos) << decompiled;
}

TEST(PatchText, DecompilingLeavesOutWhatTheCompilerGivesByItself) {
    const JsonValue text = ParseJson(NormalisedText(kChain));
    const JsonValue& voice = text["modules"].items[0];
    // The IO module is made with its container and holds nothing of its own.
    EXPECT_EQ(voice["modules"].items.size(), 3u);
    const JsonValue& osc = voice["modules"].items[0];
    EXPECT_EQ(osc["plugs"].members.size(), 2u);
    EXPECT_FALSE(voice["modules"].items[1].Has("plugs"));
    EXPECT_EQ(voice["wires"].items[1]["from"].text, "Osc#2/Out");
    EXPECT_EQ(voice["wires"].items[1]["to"].text, "Mix/Sum/Audio#2");
    const JsonValue& level = text["modules"].items[2];
    EXPECT_EQ(level["value"].number, 0.25);
    EXPECT_EQ(level["program_values"].members.size(), 1u);
    EXPECT_FALSE(text["modules"].items[1].Has("value"));
}

TEST(PatchText, ContainersWithinContainersAndWiresFromOutsideFirst) {
    const std::string text = R"({
      "modules": [
        {"type": "test:patch source", "title": "Src"},
        {"type": "test:patch container", "title": "Outer", "hide_plugs": true,
         "programs": {"current": 1},
         "modules": [
           {"type": "test:patch container", "title": "Inner",
            "modules": [{"type": "test:patch mixer", "title": "Mix"}],
            "wires": [{"from": "test:patch io/In", "to": "Mix/Audio"}]}
         ],
         "wires": [{"from": "test:patch io/In", "to": "Inner/In"}]}
      ],
      "wires": [{"from": "Src/Out", "to": "Outer/In"}]
    })";
    const auto document = Compiled(text);
    const auto& outer = static_cast<const CContainer&>(ModuleOf(*document->root, "Outer"));
    const auto& inner = static_cast<const CContainer&>(ModuleOf(outer, "Inner"));
    EXPECT_TRUE(outer.HidePlugs());
    EXPECT_EQ(outer.PatchManager()->CurrentProgram(), 1);
    EXPECT_EQ(PlugOf(inner, "In").Direction(), DR_IN);
    EXPECT_EQ(PlugOf(outer, "In").Direction(), DR_IN);
    EXPECT_TRUE(Joined(PlugOf(ModuleOf(*document->root, "Src"), "Out"), PlugOf(outer, "In")));
    ExpectRoundTrip(text, "nested");
}

// A new outside input starts with the default of the inside input it feeds;
// a text that sets it otherwise keeps its value, and decompiling lists it.
TEST(PatchText, ValuesTheWiringGivesAndValuesTheTextGives) {
    const auto box_with = [](const std::string& plugs) {
        return R"({"modules": [{"type": "test:patch container", "title": "Box", )" + plugs + R"(
                   "modules": [{"type": "test:patch source", "title": "Src"}],
                   "wires": [{"from": "test:patch io/Tune", "to": "Src/Pitch"}]}]})";
    };
    const std::string wired = box_with("");
    EXPECT_EQ(PlugOf(ModuleOf(*Compiled(wired)->root, "Box"), "Tune").ValueText(), "5");
    EXPECT_FALSE(ParseJson(NormalisedText(wired))["modules"].items[0].Has("plugs"));
    ExpectRoundTrip(wired, "wired");

    const std::string cleared = box_with(R"("plugs": {"Tune": ""},)");
    EXPECT_EQ(PlugOf(ModuleOf(*Compiled(cleared)->root, "Box"), "Tune").ValueText(), "");
    EXPECT_EQ(ParseJson(NormalisedText(cleared))["modules"].items[0]["plugs"]["Tune"].text, "");
    ExpectRoundTrip(cleared, "cleared");
}

TEST(PatchText, MistakesAreNamedWithWhereTheyAre) {
    const struct {
        const char* text;
        const char* said;
    } cases[] = {
        {"{", "not JSON at byte"},
        {"[]", "patch text: an object"},
        {R"({"format": "other"})", "\"format\" must be"},
        {R"({"modulez": []})", "unknown key \"modulez\""},
        {R"({"modules": [{"title": "X"}]})", "\"type\" is missing"},
        {R"({"modules": [{"type": "No Such Module"}]})", "no module type \"No Such Module\""},
        {R"({"modules": [{"type": "test:patch source", "plug": {}}]})", "module \"/test:patch source\": unknown key \"plug\""},
        {R"({"modules": [{"type": "test:patch source", "plugs": {"Pich": "1"}}]})", "no plug \"Pich\""},
        {R"({"modules": [{"type": "test:patch source", "plugs": {"Pitch": 1}}]})", "must be a text"},
        {R"({"modules": [{"type": "test:patch source", "plugs": {"Pitch": "1", "Pitch#1": "2"}}]})", "named before"},
        {R"({"modules": [{"type": "test:patch source", "title": "A"}, {"type": "test:patch source", "title": "B"}],
             "wires": [{"from": "A/Out", "to": "B/Out"}]})", "An output must go to an input"},
        {R"({"modules": [{"type": "test:patch source", "title": "A"}], "wires": [{"from": "A/Out", "to": "C/In"}]})",
         "no module in \"C/In\""},
        {R"({"modules": [{"type": "test:patch source", "title": "A"}], "wires": [{"from": "A/Out", "to": "A/Nothing"}]})",
         "\"A\" has no plug \"Nothing\""},
        {R"({"modules": [{"type": "Slider", "value": "high"}]})", "must be a number"},
        {R"({"modules": [{"type": "Slider", "program_values": {"128": 1}}]})", "\"128\" is not a program number"},
        {R"({"modules": [{"type": "test:patch source", "value": 1}]})", "unknown key \"value\""},
        {R"({"programs": {"current": 200}})", "\"current\" must be a whole number from 0 to 127"},
        {R"({"parameters": [{"type": "float", "plug": "Nowhere/Pitch"}]})", "no plug \"Nowhere/Pitch\""},
        {R"({"parameters": [{"type": "double"}]})", "\"type\" must be one of"},
        {R"({"settings": {"panel_size": [1]}})", "[width, height]"},
        {R"({"title": "A", "title": "B"})", "\"title\" is given twice"},
    };
    for (const auto& c : cases) {
        try {
            Compiled(c.text);
            ADD_FAILURE() << "compiled: " << c.text;
        } catch (const patch_text_error& error) {
            EXPECT_NE(std::string(error.what()).find(c.said), std::string::npos) << error.what();
        }
    }
}

}  // namespace
}  // namespace tools
