#include "tools/archive_records.h"

#include <algorithm>

#include "project/doc_objects.h"
#include "project/doc_plugs.h"
#include "project/patch_manager.h"

namespace tools {

namespace {

// The reader puts every child it reads in front of the ones before it, and
// wires behind: so the other children go in reverse, to come back in order.
void WriteChildren(archive_writer& archive, const CContainer& container) {
    const auto& children = container.Children();
    const auto is_wire = [](const auto& child) { return child->template Is<CLine2>(); };
    std::for_each(children.rbegin(), children.rend(), [&](const auto& child) {
        if (!is_wire(child)) archive.WriteObject(child.get());
    });
    for (const auto& child : children)
        if (is_wire(child)) archive.WriteObject(child.get());
    archive.WriteObject(nullptr);
}

void WriteContainer(archive_writer& archive, const CContainer& container) {
    WriteUGFields(archive, container);
    archive.WriteObject(container.PatchManager());
    WriteChildren(archive, container);
    archive.WriteRect(container.ContainerRect());
    // The placements of the container's views belong to the editing
    // application; the model does not offer them, so new ones are stored.
    archive.WriteRect({});
    archive.WriteRect({});
    archive.WritePoint({});
    archive.WritePoint({});
    archive.WriteUInt32(container.ContainerFlags());
    archive.WriteText(container.SkinName());
    archive.WriteBool(container.HidePlugs());
}

void WriteWire(archive_writer& archive, const CLine2& wire) {
    WriteDocObFields(archive, wire);
    archive.WriteObject(wire.from);
    archive.WriteObject(wire.to);
}

void WritePortal(archive_writer& archive, const CPortal& portal) {
    WriteDocObFields(archive, portal);
    archive.WriteText(portal.target_name);
    archive.WriteRect(portal.panel_rect);
    archive.WriteInt32(portal.scroll_bars);
}

void WriteUG2(archive_writer& archive, const CUG2& module) {
    WriteUGFields(archive, module);
    archive.WriteRect(module.rect);
}

void WritePlugin(archive_writer& archive, const CPlugin& module) {
    WriteUGFields(archive, module);
    archive.WriteText(module.library_name);
}

void WritePlugin2(archive_writer& archive, const CPlugin2& module) {
    WritePlugin(archive, module);
    archive.WriteRect(module.rect);
}

record_table MakeProjectRecordWriters() {
    record_table table;
    AddDocumentObjectWriters(table);
    AddPlugWriters(table);
    AddControlWriters(table);
    AddPanelWriters(table);
    AddProjectPartWriters(table);
    return table;
}

}  // namespace

const record_table& ProjectRecordWriters() {
    static const record_table table = MakeProjectRecordWriters();
    return table;
}

void WriteDocObFields(archive_writer& archive, const CDocOb& object) { archive.WriteText(object.TypeId()); }

void WriteUGFields(archive_writer& archive, const CUG& module) {
    WriteDocObFields(archive, module);
    archive.WriteObjectList(module.Plugs());
    archive.WriteText(module.Title());
    archive.WriteInt16(module.OwnDisabled() ? 1 : 0);
    archive.WriteRect(module.Position());
}

void AddDocumentObjectWriters(record_table& table) {
    AddRecordWriter<CUG>(table, WriteUGFields);
    AddRecordWriter<CUG_with_patches, CUG>(table, WriteUGFields);
    AddRecordWriter<CControlPlugs, CUG>(table, WriteUGFields);
    AddRecordWriter<CContainer>(table, WriteContainer);
    AddRecordWriter<CLine2>(table, WriteWire);
    AddRecordWriter<CPortal>(table, WritePortal);
    AddRecordWriter<CUG2>(table, WriteUG2);
    AddRecordWriter<CPlugin>(table, WritePlugin);
    AddRecordWriter<CPlugin2>(table, WritePlugin2);
}

}  // namespace tools
