#include "tools/project_info.h"

#include <sstream>

#include "project/controls.h"
#include "project/doc_objects.h"
#include "project/doc_plugs.h"
#include "project/panel_records.h"
#include "project/patch_manager.h"
#include "project/project_document.h"
#include "tools/json_writer.h"

namespace tools {

namespace {

constexpr int kIndentStep = 2;

const char* DirectionName(int32_t direction) {
    switch (direction) {
        case DR_IN: return "in";
        case DR_OUT: return "out";
        case DR_CONTAINER_IO: return "boundary";
        case DR_PARAMETER: return "parameter";
        default: return "?";
    }
}

const char* DataTypeName(int32_t data_type) {
    switch (data_type) {
        case DT_ENUM: return "list";
        case DT_TEXT: return "text";
        case DT_MIDI: return "midi";
        case DT_DOUBLE: return "double";
        case DT_BOOL: return "bool";
        case DT_AUDIO: return "audio";
        case DT_FLOAT: return "float";
        case DT_INT: return "int";
        default: return "?";
    }
}

const char* KindName(const CDocOb& object) {
    if (object.Is<CContainer>()) return "container";
    if (object.Is<CControl>()) return "control";
    if (object.Is<CUG>()) return "module";
    if (object.Is<CPortal>()) return "sub panel";
    if (object.Is<CPanelBox2>()) return "panel group";
    return "object";
}

// A wire end: the module's title, the plug's number in the module and its name.
std::string PlugEnd(const CPlug2* plug) {
    if (plug == nullptr) return "(none)";
    if (plug->owner == nullptr) return "(no module) plug " + JsonQuoted(plug->Name());
    return JsonQuoted(plug->owner->Title()) + " plug " + std::to_string(plug->owner->PlugIndex(plug)) + " " +
           JsonQuoted(plug->Name());
}

class tree_printer {
public:
    std::string Print(const CContainer& root) {
        Object(root, 0);
        return out_.str();
    }

private:
    std::ostream& Line(int depth) { return out_ << std::string(static_cast<std::size_t>(depth * kIndentStep), ' '); }

    void Object(const CDocOb& object, int depth) {
        if (object.Is<CLine2>()) {
            const auto& wire = static_cast<const CLine2&>(object);
            Line(depth) << "wire " << PlugEnd(wire.from) << " -> " << PlugEnd(wire.to) << "\n";
            return;
        }
        Line(depth) << KindName(object);
        if (object.Is<CUG>()) out_ << " " << JsonQuoted(static_cast<const CUG&>(object).Title());
        out_ << " [" << object.TypeId() << "]";
        if (object.ModuleInfo() == nullptr) out_ << " (type not known)";
        if (object.Is<CUG>()) Module(static_cast<const CUG&>(object), depth);
        else out_ << "\n";
        if (object.Is<CContainer>()) Contents(static_cast<const CContainer&>(object), depth + 1);
    }

    void Module(const CUG& module, int depth) {
        out_ << (module.OwnDisabled() ? " disabled" : "") << "\n";
        for (std::size_t i = 0; i < module.Plugs().size(); ++i) {
            const CPlug2& plug = *module.Plugs()[i];
            Line(depth + 1) << "plug " << i << " " << JsonQuoted(plug.Name()) << " " << DirectionName(plug.Direction())
                            << " " << DataTypeName(plug.DataType()) << " = " << JsonQuoted(plug.ValueText());
            if (!plug.wires.empty()) out_ << " (" << plug.wires.size() << (plug.wires.size() == 1 ? " wire)" : " wires)");
            out_ << "\n";
        }
        if (module.Is<CControl>()) ControlValues(static_cast<const CControl&>(module), depth + 1);
    }

    void ControlValues(const CControl& control, int depth) {
        if (control.ValueCount() == 0) return;
        int differing = 0;
        for (int32_t program = 1; program < control.ValueCount(); ++program)
            if (control.ValueText(program) != control.ValueText(0)) ++differing;
        Line(depth) << "value " << JsonQuoted(control.ValueText(0)) << " in program 0";
        if (differing > 0) out_ << ", other values in " << differing << " of " << control.ValueCount() << " programs";
        out_ << "\n";
    }

    void Contents(const CContainer& container, int depth) {
        if (const CPatchManager* manager = container.PatchManager()) {
            Line(depth) << "programs: current " << manager->CurrentProgram();
            for (const auto& [program, name] : manager->ProgramNames()) out_ << ", " << program << " " << JsonQuoted(name);
            out_ << "\n";
            for (const patch_parameter_record& parameter : manager->Parameters())
                Line(depth) << "patch parameter " << parameter.id << " " << JsonQuoted(parameter.name) << " "
                            << DataTypeName(parameter.type_id) << " on " << PlugEnd(parameter.plug) << "\n";
        }
        for (const auto& child : container.Children()) Object(*child, depth);
    }

    std::ostringstream out_;
};

}  // namespace

std::string ProjectSummaryText(const project_document& document) {
    const project_settings& s = document.settings;
    std::ostringstream out;
    out << "project " << JsonQuoted(s.product) << " by " << JsonQuoted(s.vendor) << "\n"
        << "unique id:    " << JsonQuoted(s.id_text) << "\n"
        << "options:      " << s.options << "\n"
        << "programs:     " << s.program_count << "\n"
        << "can mono:     " << (s.can_mono ? "yes" : "no") << "\n"
        << "panel size:   " << s.panel_size.x << " x " << s.panel_size.y << "\n"
        << "embedded:     " << document.embedded_files.size() << " files\n"
        << "skins:        " << document.skins.size() << "\n";
    const CContainer* top = document.TopContainer();
    out << "top container: " << (top != nullptr ? JsonQuoted(top->Title()) : "(none)") << "\n";
    return out.str();
}

std::string ProjectTreeText(const project_document& document) {
    return document.root ? tree_printer().Print(*document.root) : std::string("(no root container)\n");
}

}  // namespace tools
