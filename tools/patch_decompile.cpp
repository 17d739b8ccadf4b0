// Document to patch text: what the compiler reads, with every value that
// equals what the compiler would give by itself left out.
#include <functional>
#include <set>
#include <variant>

#include "project/controls.h"
#include "project/doc_objects.h"
#include "project/doc_plugs.h"
#include "project/module_registry.h"
#include "project/panel_records.h"
#include "project/patch_manager.h"
#include "project/project_document.h"
#include "tools/json_writer.h"
#include "tools/patch_text.h"

namespace tools {

namespace {

JsonValue NumberList(std::initializer_list<int32_t> numbers) {
    JsonValue list = JsonValue::Array();
    for (int32_t number : numbers) list.Add(JsonValue::Number(number));
    return list;
}

JsonValue RectText(const ws_rect& rect) { return NumberList({rect.left, rect.top, rect.right, rect.bottom}); }

std::string DisplayName(const CDocOb& object) {
    const Module_Info* info = object.ModuleInfo();
    return info != nullptr ? ModuleRegistry::Instance().DisplayName(*info) : object.TypeId();
}

bool IsIOModule(const CUG& module) {
    return module.Parent() != nullptr && module.Parent()->FindIOModule() == &module;
}

// Where the model places a new module; a container's IO module is placed
// with the container, so it is where a new container of that type has it.
ws_rect NewPosition(const CUG& module) {
    const ws_rect new_module = CUG().Position();
    if (!IsIOModule(module)) return new_module;
    const std::unique_ptr<CDocOb> container = ModuleRegistry::Instance().CreateDocObject(module.Parent()->TypeId());
    const CUG* io = container && container->Is<CContainer>() ? static_cast<CContainer&>(*container).FindIOModule() : nullptr;
    return io != nullptr ? io->Position() : new_module;
}

JsonValue SettingsText(const project_settings& settings) {
    return JsonValue::Object()
        .Add("id", JsonValue::Text(settings.id_text))
        .Add("vendor", JsonValue::Text(settings.vendor))
        .Add("product", JsonValue::Text(settings.product))
        .Add("options", JsonValue::Number(settings.options))
        .Add("program_count", JsonValue::Number(settings.program_count))
        .Add("can_mono", JsonValue::Boolean(settings.can_mono))
        .Add("panel_size", NumberList({settings.panel_size.x, settings.panel_size.y}));
}

// Which plug values the text lists.
using listed_plugs = std::function<bool(const CPlug2&)>;

// A value other than the description's default; boundary plugs start empty.
bool DiffersFromDefault(const CPlug2& plug) {
    const InterfaceObject* description = plug.Is<CPlugIO2>() ? nullptr : plug.Description();
    return plug.ValueText() != (description != nullptr ? description->default_value : std::string());
}

JsonValue PlugValues(const CUG& module, const listed_plugs& listed) {
    JsonValue values = JsonValue::Object();
    for (const auto& plug : module.Plugs())
        if (listed(*plug)) values.Add(PlugReference(module, *plug), JsonValue::Text(plug->ValueText()));
    return values;
}

// Program 0's value as "value", then the programs whose value differs from it;
// both left out where they hold what a new module holds.
template <class ValueOf>
void AddProgramValues(JsonValue& text, int32_t count, ValueOf value_of, const JsonValue& new_value) {
    if (count == 0) return;
    const JsonValue first = value_of(0);
    const auto same = [](const JsonValue& a, const JsonValue& b) {
        return a.kind == b.kind && a.text == b.text && a.number == b.number && a.boolean == b.boolean;
    };
    if (!same(first, new_value)) text.Add("value", first);
    JsonValue differing = JsonValue::Object();
    for (int32_t program = 1; program < count; ++program)
        if (JsonValue value = value_of(program); !same(value, first)) differing.Add(std::to_string(program), value);
    if (!differing.members.empty()) text.Add("program_values", differing);
}

void AddControlValues(JsonValue& text, const CControl& control) {
    const bool is_text = control.getDataType() == DT_TEXT;
    AddProgramValues(
        text, control.ValueCount(),
        [&](int32_t program) {
            return is_text ? JsonValue::Text(control.ValueText(program)) : JsonValue::Number(control.Value(program));
        },
        is_text ? JsonValue::Text("") : JsonValue::Number(0));
}

void AddModuleFields(JsonValue& text, const CUG& module, const listed_plugs& listed) {
    text.Add("title", JsonValue::Text(module.Title()));
    if (module.OwnDisabled()) text.Add("disabled", JsonValue::Boolean(true));
    if (module.Position() != NewPosition(module)) text.Add("position", RectText(module.Position()));
    if (JsonValue values = PlugValues(module, listed); !values.members.empty()) text.Add("plugs", values);
    if (module.Is<CControl>()) AddControlValues(text, static_cast<const CControl&>(module));
}

JsonValue ProgramsText(const CPatchManager& manager) {
    JsonValue names = JsonValue::Object();
    for (const auto& [program, name] : manager.ProgramNames()) names.Add(std::to_string(program), JsonValue::Text(name));
    JsonValue programs = JsonValue::Object().Add("current", JsonValue::Number(manager.CurrentProgram()));
    if (!names.members.empty()) programs.Add("names", names);
    return programs;
}

const char* ParameterTypeName(int32_t type_id) {
    switch (type_id) {
        case DT_ENUM: return "list";
        case DT_TEXT: return "text";
        case DT_BOOL: return "bool";
        case DT_FLOAT: return "float";
        default: return "integer";
    }
}

JsonValue PatchValueText(const patch_value& value) {
    return std::visit(
        [](const auto& held) {
            using held_type = std::decay_t<decltype(held)>;
            if constexpr (std::is_same_v<held_type, std::string>) return JsonValue::Text(held);
            else if constexpr (std::is_same_v<held_type, bool>) return JsonValue::Boolean(held);
            else return JsonValue::Number(static_cast<double>(held));
        },
        value);
}

// A plug inside a container or any container within it, named from the outer one.
JsonValue NestedPlugPath(const CContainer& container, const CPlug2* plug) {
    if (plug == nullptr || plug->owner == nullptr) return {};
    std::string path;
    for (const CUG* module = plug->owner; module->Parent() != nullptr; module = module->Parent()) {
        const CContainer& parent = *module->Parent();
        path = (module == plug->owner ? PlugPath(parent, *plug) : ModuleReference(parent, *module) + "/" + path);
        if (&parent == &container) return JsonValue::Text(path);
    }
    return {};
}

JsonValue ParametersText(const CContainer& container, const CPatchManager& manager) {
    JsonValue parameters = JsonValue::Array();
    for (const patch_parameter_record& parameter : manager.Parameters()) {
        JsonValue text = JsonValue::Object()
                             .Add("id", JsonValue::Number(parameter.id))
                             .Add("type", JsonValue::Text(ParameterTypeName(parameter.type_id)))
                             .Add("name", JsonValue::Text(parameter.name))
                             .Add("plug", NestedPlugPath(container, parameter.plug))
                             .Add("ignore_program_change", JsonValue::Boolean(parameter.ignore_program_change))
                             .Add("setting", JsonValue::Number(parameter.setting))
                             .Add("private", JsonValue::Boolean(parameter.is_private));
        AddProgramValues(
            text, static_cast<int32_t>(parameter.values.size()),
            [&](int32_t program) { return PatchValueText(parameter.values[static_cast<std::size_t>(program)]); },
            PatchValueText(DefaultPatchValue(parameter.type_id)));
        parameters.Add(text);
    }
    return parameters;
}

JsonValue WireText(const CContainer& container, const CLine2& wire) {
    for (const CPlug2* end : {wire.from, wire.to})
        if (end == nullptr || end->owner == nullptr || end->owner->Parent() != &container)
            throw patch_text_error("a wire in \"" + container.Title() + "\" does not join two of its modules");
    return JsonValue::Object()
        .Add("from", JsonValue::Text(PlugPath(container, *wire.from)))
        .Add("to", JsonValue::Text(PlugPath(container, *wire.to)));
}

void AddContainerBody(JsonValue& text, const CContainer& container, const listed_plugs& listed);

// The IO module is made with its container; it is listed only where it
// differs from a new one.
bool IsListed(const CUG& module, const listed_plugs& listed) {
    if (!IsIOModule(module)) return true;
    JsonValue fields = JsonValue::Object();
    AddModuleFields(fields, module, listed);
    return fields.members.size() > 1 || module.Title() != DisplayName(module);
}

JsonValue ChildText(const CDocOb& child, const listed_plugs& listed) {
    JsonValue text = JsonValue::Object().Add("type", JsonValue::Text(child.TypeId()));
    if (child.Is<CPortal>()) {
        const auto& portal = static_cast<const CPortal&>(child);
        return text.Add("target", JsonValue::Text(portal.target_name)).Add("scroll_bars", JsonValue::Number(portal.scroll_bars));
    }
    if (child.Is<CPanelBox2>()) return text.Add("title", JsonValue::Text(static_cast<const CPanelBox2&>(child).title));
    if (!child.Is<CUG>())
        throw patch_text_error(std::string("a \"") + child.GetRuntimeClass()->name + "\" cannot be written in the patch text");
    AddModuleFields(text, static_cast<const CUG&>(child), listed);
    if (child.Is<CContainer>()) AddContainerBody(text, static_cast<const CContainer&>(child), listed);
    return text;
}

void AddContainerBody(JsonValue& text, const CContainer& container, const listed_plugs& listed) {
    if (container.HidePlugs()) text.Add("hide_plugs", JsonValue::Boolean(true));
    if (const CPatchManager* manager = container.PatchManager()) {
        if (manager->CurrentProgram() != 0 || !manager->ProgramNames().empty()) text.Add("programs", ProgramsText(*manager));
        if (!manager->Parameters().empty()) text.Add("parameters", ParametersText(container, *manager));
    }
    JsonValue modules = JsonValue::Array();
    JsonValue wires = JsonValue::Array();
    for (const auto& child : container.Children()) {
        if (child->Is<CLine2>())
            wires.Add(WireText(container, static_cast<const CLine2&>(*child)));
        else if (!child->Is<CUG>() || IsListed(static_cast<const CUG&>(*child), listed))
            modules.Add(ChildText(*child, listed));
    }
    if (!modules.items.empty()) text.Add("modules", modules);
    if (!wires.items.empty()) text.Add("wires", wires);
}

JsonValue PatchText(const project_document& document, const listed_plugs& listed) {
    JsonValue text = JsonValue::Object()
                         .Add("format", JsonValue::Text(kPatchFormat))
                         .Add("settings", SettingsText(document.settings));
    AddModuleFields(text, *document.root, listed);
    AddContainerBody(text, *document.root, listed);
    return text;
}

// The plugs of `module` whose value differs in its twin, and so on within.
void FindChangedValues(const CUG& module, const CUG& twin, std::set<const CPlug2*>& changed) {
    for (const auto& plug : module.Plugs()) {
        const CPlug2* twin_plug = FindPlug(twin, PlugReference(module, *plug));
        if (twin_plug != nullptr && twin_plug->ValueText() != plug->ValueText()) changed.insert(plug.get());
    }
    if (!module.Is<CContainer>() || !twin.Is<CContainer>()) return;
    const auto& container = static_cast<const CContainer&>(module);
    for (const CUG* child : NamedModules(container))
        if (const CUG* twin_child = FindModule(static_cast<const CContainer&>(twin), ModuleReference(container, *child)))
            FindChangedValues(*child, *twin_child, changed);
}

}  // namespace

// The values building a patch gives its plugs depend on how it is wired (an
// outside input takes the default of the inside input it feeds, some plugs
// take the value of what they feed), so the text without plug values is
// compiled, and the text lists the values that came out otherwise. A text
// that does not compile (a module type the registry does not know) lists the
// values that differ from their defaults.
std::string DecompileToPatchText(const project_document& document) {
    if (!document.root) throw patch_text_error("the project has no root container");
    std::set<const CPlug2*> changed;
    try {
        FindChangedValues(*document.root, *CompilePatch(PatchText(document, [](const CPlug2&) { return false; }))->root,
                          changed);
    } catch (const patch_text_error&) {
        return FormatJson(PatchText(document, DiffersFromDefault));
    }
    return FormatJson(PatchText(document, [&changed](const CPlug2& plug) { return changed.count(&plug) != 0; }));
}

}  // namespace tools
