#include "project/panel_records.h"
#include "tools/archive_records.h"

namespace tools {

namespace {

constexpr int32_t kEndOfControlRecords = -1;

void WritePanelGroup(archive_writer& archive, const CPanelBox2& group) {
    WriteDocObFields(archive, group);
    archive.WriteText(group.title);
    archive.WriteRect(group.panel_rect);
}

void WriteControlModuleBase(archive_writer& archive, const control_ob_base& module) {
    WriteUGFields(archive, module);
    archive.WriteObject(module.linked_object);
    archive.WriteRect(module.panel_rect);
}

// The settings records of older panels are not kept; the list is stored empty.
void WriteControlModule(archive_writer& archive, const control_ob& module) {
    WriteControlModuleBase(archive, module);
    archive.WriteInt32(kEndOfControlRecords);
}

void WriteControlGroup(archive_writer& archive, const control_group_ob& group) {
    WriteControlModuleBase(archive, group);
    for (const control_ob_base* member : group.members) archive.WriteObject(member);
    archive.WriteObject(nullptr);
}

// The record holds the panel rectangle twice; the reader keeps the second.
void WritePagedGroup(archive_writer& archive, const CTabBox& group) {
    WriteControlModuleBase(archive, group);
    archive.WriteRect(group.panel_rect);
    for (const CTabBox::page_entry& entry : group.pages) {
        archive.WriteObject(entry.object);
        archive.WriteInt32(entry.page);
    }
    archive.WriteObject(nullptr);
}

template <class... Classes>
void AddControlModuleClasses(record_table& table) {
    (AddRecordWriter<Classes, control_ob>(table, WriteControlModule), ...);
}

}  // namespace

void AddPanelWriters(record_table& table) {
    AddRecordWriter<CPanelBox2>(table, WritePanelGroup);
    AddRecordWriter<control_ob_base>(table, WriteControlModuleBase);
    AddControlModuleClasses<control_ob, control_ob_bitmap, control_ob_bitmap_tinted, control_ob_bitmap_joystick,
                            control_ob_text, control_ob_list>(table);
    AddRecordWriter<control_group_ob>(table, WriteControlGroup);
    AddRecordWriter<CTabBox>(table, WritePagedGroup);
}

}  // namespace tools
