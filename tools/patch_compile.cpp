// Patch text to document. The document is built in the order an editor
// builds one: every module first (through the registry, with the plugs of its
// type), then the document is initialised, then programs are named, then the
// wires are made through the wiring rules (inside each container before the
// wires outside it, so that a container's outside plugs exist once its inside
// is wired), and last every plug and control takes the value the text gives.
#include <map>

#include "project/controls.h"
#include "project/doc_objects.h"
#include "project/doc_plugs.h"
#include "project/module_registry.h"
#include "project/panel_records.h"
#include "project/patch_manager.h"
#include "project/project_document.h"
#include "project/wiring.h"
#include "tools/patch_object.h"
#include "tools/patch_text.h"

namespace tools {

namespace {

constexpr const char* kContainerType = "Container";
constexpr int64_t kLastProgram = kProgramCount - 1;

std::string DisplayName(const CDocOb& object) {
    const Module_Info* info = object.ModuleInfo();
    return info != nullptr ? ModuleRegistry::Instance().DisplayName(*info) : object.TypeId();
}

int32_t ProgramNumber(const patch_object& text, const std::string& key, int32_t last) {
    const bool digits = !key.empty() && key.size() <= 3 && key.find_first_not_of("0123456789") == std::string::npos &&
                        (key == "0" || key[0] != '0');
    const int32_t program = digits ? std::stoi(key) : -1;
    if (program < 0 || program > last)
        text.Fail("\"" + key + "\" is not a program number from 0 to " + std::to_string(last));
    return program;
}

void ReadSettings(const patch_object& top, project_settings& settings) {
    if (!top.Has("settings")) return;
    const patch_object text = top.Object("settings");
    text.AllowOnly({"id", "vendor", "product", "options", "program_count", "can_mono", "panel_size"});
    settings.id_text = text.Text("id", settings.id_text);
    settings.vendor = text.Text("vendor", settings.vendor);
    settings.product = text.Text("product", settings.product);
    settings.options = static_cast<uint32_t>(text.Integer("options", settings.options, 0, UINT32_MAX));
    settings.program_count = static_cast<int32_t>(text.Integer("program_count", settings.program_count, 0, INT32_MAX));
    settings.can_mono = text.Bool("can_mono", settings.can_mono);
    settings.panel_size = text.Point("panel_size", settings.panel_size);
}

void SetControlValue(CControl& control, int32_t program, const patch_object& text, const JsonValue& value) {
    const std::string what = "the value of program " + std::to_string(program);
    switch (control.getDataType()) {
        case DT_TEXT: control.SetValueText(program, text.TextOf(value, what)); break;
        case DT_ENUM:
            control.SetValue(program, static_cast<double>(text.WholeNumber(value, what, INT32_MIN, INT32_MAX)));
            break;
        default:
            if (value.kind != JsonValue::Kind::kNumber) text.Fail(what + " must be a number");
            control.SetValue(program, value.number);
    }
}

// "value" is every program's value; "program_values" the programs that differ.
void SetControlValues(CControl& control, const patch_object& text) {
    if (!text.Has("value") && !text.Has("program_values")) return;
    const int32_t count = control.ValueCount();
    if (count == 0) text.Fail("this module keeps no values");
    if (const JsonValue* value = text.Find("value"))
        for (int32_t program = 0; program < count; ++program) SetControlValue(control, program, text, *value);
    if (!text.Has("program_values")) return;
    const patch_object programs = text.Object("program_values");
    for (const auto& [key, value] : programs.Members())
        SetControlValue(control, ProgramNumber(programs, key, count - 1), programs, value);
}

void SetPrograms(CContainer& container, const patch_object& text) {
    if (!text.Has("programs")) return;
    const patch_object programs = text.Object("programs");
    programs.AllowOnly({"current", "names"});
    if (container.PatchManager() == nullptr) container.SetPatchManager(std::make_unique<CPatchManager>());
    CPatchManager& manager = *container.PatchManager();
    manager.SetCurrentProgram(static_cast<int32_t>(programs.Integer("current", 0, 0, kLastProgram)));
    if (!programs.Has("names")) return;
    const patch_object names = programs.Object("names");
    for (const auto& [key, name] : names.Members())
        manager.SetProgramName(ProgramNumber(names, key, kLastProgram), names.TextOf(name, "a program name"));
}

// A plug value left out of the text is the one the model gave the plug.
void SetPlugValues(CUG& module, const patch_object& text) {
    if (!text.Has("plugs")) return;
    const patch_object plugs = text.Object("plugs");
    std::map<CPlug2*, std::string> given;
    for (const auto& [reference, value] : plugs.Members()) {
        CPlug2* plug = FindPlug(module, reference);
        if (plug == nullptr) plugs.Fail("the module has no plug \"" + reference + "\"");
        if (!given.emplace(plug, plugs.TextOf(value, "the value of \"" + reference + "\"")).second)
            plugs.Fail("\"" + reference + "\" names a plug named before");
    }
    for (const auto& [plug, value] : given) plug->SetValueText(value);
}

// One end of a wire: the plug, and for a wire to a spare that takes the name
// of what it is wired to, the name the text wants it to keep instead.
struct wire_end {
    CPlug2* plug = nullptr;
    std::string wanted_name;
    bool took_spare = false;
};

CPlug2* NameTakingSpare(const CUG& module, const patch_object& wire) {
    CPlug2* spare = nullptr;
    for (const auto& plug : module.Plugs()) {
        if (!plug->IsSpare() || (plug->Flags() & DPF_TAKES_NAME) == 0) continue;
        if (spare != nullptr) wire.Fail("\"" + module.Title() + "\" has more than one spare plug to wire");
        spare = plug.get();
    }
    return spare;
}

wire_end FindWireEnd(const CContainer& container, const patch_object& wire, const std::string& key) {
    const std::string reference = wire.Text(key, "");
    std::optional<plug_location> location;
    try {
        location = LocatePlug(container, reference);
    } catch (const patch_text_error& error) {
        wire.Fail(error.what());
    }
    if (!location) wire.Fail("\"" + key + "\": no module in \"" + reference + "\" (write \"Module/Plug\")");
    if (location->plug != nullptr) return {location->plug, {}, false};
    CPlug2* spare = NameTakingSpare(*location->module, wire);
    if (spare == nullptr)
        wire.Fail("\"" + key + "\": \"" + location->module->Title() + "\" has no plug \"" + location->plug_reference + "\"");
    return {spare, NameWithoutNumber(location->plug_reference), true};
}

void KeepWantedName(const wire_end& end) {
    if (!end.took_spare || end.plug->Name() == end.wanted_name || !end.plug->Is<CPlugNameable>()) return;
    static_cast<CPlugNameable*>(end.plug)->SetName(end.wanted_name);
}

// A plug named from a container: "Module/Plug", or through sub-containers,
// "Sub/Module/Plug".
CPlug2* FindNestedPlug(const CContainer& container, const std::string& reference) {
    if (std::optional<plug_location> found = LocatePlug(container, reference); found && found->plug != nullptr)
        return found->plug;
    for (std::size_t slash = reference.find('/'); slash != std::string::npos; slash = reference.find('/', slash + 1)) {
        const CUG* module = FindModule(container, reference.substr(0, slash));
        if (module == nullptr || !module->Is<CContainer>()) continue;
        if (CPlug2* plug = FindNestedPlug(static_cast<const CContainer&>(*module), reference.substr(slash + 1)))
            return plug;
    }
    return nullptr;
}

int32_t ParameterType(const patch_object& text) {
    const std::string name = text.Text("type", "");
    for (const auto& [type_name, type_id] : {std::pair{"list", DT_ENUM}, {"text", DT_TEXT}, {"bool", DT_BOOL},
                                             {"float", DT_FLOAT}, {"integer", DT_INT}})
        if (name == type_name) return type_id;
    text.Fail("\"type\" must be one of list, text, bool, float, integer");
}

patch_value ParameterValue(const patch_object& text, int32_t type_id, const JsonValue& value, const std::string& what) {
    switch (type_id) {
        case DT_ENUM: return static_cast<int16_t>(text.WholeNumber(value, what, INT16_MIN, INT16_MAX));
        case DT_TEXT: return text.TextOf(value, what);
        case DT_BOOL:
            if (value.kind != JsonValue::Kind::kBool) text.Fail(what + " must be true or false");
            return value.boolean;
        case DT_FLOAT:
            if (value.kind != JsonValue::Kind::kNumber) text.Fail(what + " must be a number");
            return static_cast<float>(value.number);
        default: return static_cast<int32_t>(text.WholeNumber(value, what, INT32_MIN, INT32_MAX));
    }
}

patch_parameter_record ReadParameter(const CContainer& container, const patch_object& text) {
    text.AllowOnly({"id", "type", "name", "plug", "ignore_program_change", "setting", "private", "value",
                    "program_values"});
    patch_parameter_record parameter;
    parameter.type_id = ParameterType(text);
    parameter.id = static_cast<int32_t>(text.Integer("id", -1, -1, 0xFFFF));
    parameter.name = text.Text("name", "");
    // Decompiling writes null for a parameter bound to no plug.
    if (const JsonValue* plug = text.Find("plug"); plug != nullptr && plug->kind != JsonValue::Kind::kNull) {
        const std::string reference = text.TextOf(*plug, "\"plug\"");
        parameter.plug = FindNestedPlug(container, reference);
        if (parameter.plug == nullptr) text.Fail("no plug \"" + reference + "\"");
    }
    parameter.ignore_program_change = text.Bool("ignore_program_change", false);
    parameter.setting = static_cast<int32_t>(text.Integer("setting", 0, INT32_MIN, INT32_MAX));
    parameter.is_private = text.Bool("private", false);
    parameter.values.assign(kProgramCount, DefaultPatchValue(parameter.type_id));
    if (const JsonValue* value = text.Find("value"))
        std::ranges::fill(parameter.values, ParameterValue(text, parameter.type_id, *value, "\"value\""));
    if (text.Has("program_values")) {
        const patch_object programs = text.Object("program_values");
        for (const auto& [key, value] : programs.Members())
            parameter.values[ProgramNumber(programs, key, kLastProgram)] =
                ParameterValue(programs, parameter.type_id, value, "the value of program " + key);
    }
    return parameter;
}

// After the modules and their plugs exist: parameters name the plugs they drive.
void SetParameters(CContainer& container, const patch_object& text) {
    if (!text.Has("parameters")) return;
    if (container.PatchManager() == nullptr) container.SetPatchManager(std::make_unique<CPatchManager>());
    const std::vector<JsonValue>& parameters = text.Items("parameters");
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        const patch_object parameter(parameters[i], text.Where() + ", parameter " + std::to_string(i + 1));
        container.PatchManager()->RegisterParameter(ReadParameter(container, parameter));
    }
}

void MakeWires(const CContainer& container, const patch_object& text) {
    const std::vector<JsonValue>& wires = text.Items("wires");
    for (std::size_t i = 0; i < wires.size(); ++i) {
        const patch_object wire(wires[i], text.Where() + ", wire " + std::to_string(i + 1));
        wire.AllowOnly({"from", "to"});
        const wire_end from = FindWireEnd(container, wire, "from");
        const wire_end to = FindWireEnd(container, wire, "to");
        std::string refusal;
        if (!CanConnect(*from.plug, *to.plug, refusal))
            wire.Fail("the plugs cannot be joined" + (refusal.empty() ? std::string() : ": " + refusal));
        if (Connect(from.plug, to.plug) == nullptr) wire.Fail("the plugs cannot be joined");
        KeepWantedName(from);
        KeepWantedName(to);
    }
}

class patch_compiler {
public:
    std::unique_ptr<project_document> Compile(const JsonValue& json);

private:
    std::unique_ptr<CDocOb> MakeObject(const patch_object& text, const std::string& path);
    void SetModuleFields(CUG& module, const patch_object& text);
    void FillContainer(CContainer& container, const patch_object& text, const std::string& path);
    void ConfigureIOModule(CContainer& container, const patch_object& text);

    // Every container with its text, inner ones before the container around them.
    std::vector<std::pair<CContainer*, patch_object>> containers_;
    std::map<CUG*, patch_object> module_texts_;
};

std::unique_ptr<project_document> patch_compiler::Compile(const JsonValue& json) {
    const patch_object top(json, "patch text");
    top.AllowOnly({"format", "settings", "title", "disabled", "position", "plugs", "hide_plugs", "programs",
                   "parameters", "modules", "wires"});
    if (top.Text("format", kPatchFormat) != kPatchFormat)
        top.Fail("\"format\" must be \"" + std::string(kPatchFormat) + "\"");
    auto document = std::make_unique<project_document>();
    ReadSettings(top, document->settings);

    std::unique_ptr<CDocOb> made = ModuleRegistry::Instance().CreateDocObject(kContainerType);
    if (!made || !made->Is<CContainer>()) top.Fail("the registry makes no \"Container\"");
    document->root.reset(static_cast<CContainer*>(made.release()));
    CContainer& root = *document->root;
    root.document = document.get();
    root.CreatePlugsFromType();
    SetModuleFields(root, top);
    FillContainer(root, top, "");
    root.Initialise(false);

    for (auto& [container, text] : containers_) SetPrograms(*container, text);
    for (auto& [container, text] : containers_) MakeWires(*container, text);
    for (auto& [module, text] : module_texts_) {
        SetPlugValues(*module, text);
        if (module->Is<CControl>()) SetControlValues(*static_cast<CControl*>(module), text);
    }
    for (auto& [container, text] : containers_) SetParameters(*container, text);
    document->modified = false;
    return document;
}

void patch_compiler::SetModuleFields(CUG& module, const patch_object& text) {
    module.SetTitle(text.Text("title", module.Title().empty() ? DisplayName(module) : module.Title()));
    module.SetDisabled(text.Bool("disabled", module.OwnDisabled()));
    module.SetPosition(text.Rect("position", module.Position()));
    if (module.Is<CContainer>())
        static_cast<CContainer&>(module).SetHidePlugs(text.Bool("hide_plugs", static_cast<CContainer&>(module).HidePlugs()));
    module_texts_.emplace(&module, text);
}

// The reader puts each child it reads in front of the others; so are they
// added here, last first, to stand in the order of the text.
void patch_compiler::FillContainer(CContainer& container, const patch_object& text, const std::string& path) {
    const std::vector<JsonValue>& modules = text.Items("modules");
    std::vector<std::unique_ptr<CDocOb>> made;
    bool io_module_given = false;
    for (std::size_t i = 0; i < modules.size(); ++i) {
        const patch_object module(modules[i], "module " + std::to_string(i + 1) + " in \"" + path + "/\"");
        const Module_Info* type = ModuleRegistry::Instance().FindModule(module.Text("type", ""));
        if (type == nullptr || (type->flags & MF_IO_MODULE) == 0) {
            made.push_back(MakeObject(module, path));
            continue;
        }
        if (io_module_given) module.Fail("a container has one IO module");
        io_module_given = true;
        ConfigureIOModule(container, module);
    }
    for (auto object = made.rbegin(); object != made.rend(); ++object) container.AddChild(std::move(*object));
    if (CUG* io = container.FindIOModule(); io != nullptr && io->Title().empty()) io->SetTitle(DisplayName(*io));
    containers_.emplace_back(&container, text);
}

void patch_compiler::ConfigureIOModule(CContainer& container, const patch_object& text) {
    text.AllowOnly({"type", "title", "disabled", "position", "plugs"});
    CUG* io = container.FindIOModule();
    if (io == nullptr || io->TypeId() != text.Text("type", "")) text.Fail("the container has no IO module of this type");
    SetModuleFields(*io, text);
}

std::unique_ptr<CDocOb> patch_compiler::MakeObject(const patch_object& text, const std::string& path) {
    const std::string type = text.Text("type", "");
    if (type.empty()) text.Fail("\"type\" is missing");
    std::unique_ptr<CDocOb> object = ModuleRegistry::Instance().CreateDocObject(type);
    if (!object) text.Fail("the registry knows no module type \"" + type + "\"");
    if (object->Is<CPortal>()) {
        text.AllowOnly({"type", "target", "scroll_bars"});
        auto& portal = static_cast<CPortal&>(*object);
        portal.target_name = text.Text("target", portal.target_name);
        portal.scroll_bars = static_cast<int32_t>(text.Integer("scroll_bars", portal.scroll_bars, 0, 2));
        return object;
    }
    if (object->Is<CPanelBox2>()) {
        text.AllowOnly({"type", "title"});
        auto& group = static_cast<CPanelBox2&>(*object);
        group.title = text.Text("title", group.title);
        return object;
    }
    if (!object->Is<CUG>()) text.Fail("modules of type \"" + type + "\" are not written in the patch text");
    auto& module = static_cast<CUG&>(*object);
    const patch_object named = text.At("module \"" + path + "/" + text.Text("title", DisplayName(module)) + "\"");
    if (module.Is<CContainer>())
        named.AllowOnly({"type", "title", "disabled", "position", "plugs", "hide_plugs", "programs", "parameters",
                         "modules", "wires"});
    else if (module.Is<CControl>())
        named.AllowOnly({"type", "title", "disabled", "position", "plugs", "value", "program_values"});
    else
        named.AllowOnly({"type", "title", "disabled", "position", "plugs"});
    module.CreatePlugsFromType();
    SetModuleFields(module, named);
    if (module.Is<CContainer>()) FillContainer(static_cast<CContainer&>(module), named, path + "/" + module.Title());
    return object;
}

}  // namespace

std::unique_ptr<project_document> CompilePatch(const JsonValue& text) { return patch_compiler().Compile(text); }

std::unique_ptr<project_document> CompilePatchText(const std::string& text) {
    JsonValue json;
    try {
        json = ParseJson(text);
    } catch (const std::runtime_error& error) {
        throw patch_text_error(error.what());
    }
    return CompilePatch(json);
}

}  // namespace tools
