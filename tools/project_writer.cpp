#include "tools/project_writer.h"

#include <variant>

#include "project/doc_objects.h"
#include "project/doc_plugs.h"
#include "project/patch_manager.h"
#include "project/patch_values.h"
#include "project/project_document.h"
#include "tools/archive_records.h"

namespace tools {

namespace {

constexpr int32_t kEndOfParameters = -1;

// The value type id repeats the parameter's type id; the reader does not use it.
void WritePatchParameter(archive_writer& archive, const patch_parameter_record& parameter) {
    archive.WriteInt32(parameter.type_id);
    archive.WriteInt32(parameter.id);
    archive.WriteObject(parameter.plug);
    archive.WriteText(parameter.name);
    archive.WriteBool(parameter.ignore_program_change);
    archive.WriteInt32(parameter.setting);
    archive.WriteBool(parameter.is_private);
    archive.WriteInt32(parameter.type_id);
    archive.WriteUInt32(static_cast<uint32_t>(parameter.values.size()));
    for (const patch_value& value : parameter.values) WritePatchValue(archive, value);
}

void WritePatchManager(archive_writer& archive, const CPatchManager& manager) {
    archive.WriteInt32(manager.CurrentProgram());
    archive.WriteInt32(static_cast<int32_t>(manager.ProgramNames().size()));
    for (const auto& [program, name] : manager.ProgramNames()) {
        archive.WriteInt32(program);
        archive.WriteText(name);
    }
    for (const patch_parameter_record& parameter : manager.Parameters()) WritePatchParameter(archive, parameter);
    archive.WriteInt32(kEndOfParameters);
}

void WriteEmbeddedFile(archive_writer& archive, const imbedded_file& file) {
    archive.WriteText(file.file_name);
    archive.WriteUInt32(static_cast<uint32_t>(file.content.size()));
    archive.WriteBytes(file.content);
}

// Newer archives hold bitmaps as PNG images only; raw pixels of an older
// archive would need encoding first.
void WriteSkinBitmap(archive_writer& archive, const CSkinBitmap& bitmap) {
    if (bitmap.png.empty() && !bitmap.pixels.empty())
        throw archive_write_error("skin bitmap \"" + bitmap.name + "\" holds raw pixels, not a PNG image");
    archive.WriteInt32(bitmap.height);
    archive.WriteInt32(bitmap.width);
    archive.WriteText(bitmap.name);
    archive.WriteInt32(bitmap.mode);
    archive.WriteUInt32(static_cast<uint32_t>(bitmap.png.size()));
    archive.WriteBytes(bitmap.png);
}

// The padding is stored left, right, top, bottom.
void WriteAnimatedBitmap(archive_writer& archive, const CAnimBitmap& bitmap) {
    WriteSkinBitmap(archive, bitmap);
    archive.WriteInt32(bitmap.segment_count);
    archive.WriteInt32(bitmap.mouse_response);
    archive.WriteInt32(bitmap.range_end);
    archive.WriteInt32(bitmap.range_start);
    archive.WriteRect(bitmap.handle_rect);
    archive.WritePoint(bitmap.frame_size);
    archive.WriteInt32(bitmap.last_frame);
    archive.WriteInt32(bitmap.type);
    archive.WriteInt32(bitmap.padding.left);
    archive.WriteInt32(bitmap.padding.right);
    archive.WriteInt32(bitmap.padding.top);
    archive.WriteInt32(bitmap.padding.bottom);
}

void WriteTextStyle(archive_writer& archive, const SkinFontInfo& style) {
    archive.WriteText(style.name);
    archive.WriteText(style.face);
    archive.WriteInt32(style.size);
    archive.WriteUInt32(style.text_colour);
    archive.WriteUInt32(style.background_colour);
    archive.WriteUInt32(style.flags);
}

void WriteSkins(archive_writer& archive, const std::vector<skin_record>& skins) {
    archive.WriteUInt32(static_cast<uint32_t>(skins.size()));
    for (const skin_record& skin : skins) {
        archive.WriteText(skin.name);
        for (const auto& bitmap : skin.bitmaps) archive.WriteObject(bitmap.get());
        archive.WriteObject(nullptr);
        archive.WriteObjectList(skin.text_styles);
    }
}

void WriteSettings(archive_writer& archive, const project_document& document) {
    const project_settings& s = document.settings;
    archive.WriteText(s.id_text);
    archive.WriteText(s.text_b);
    archive.WriteInt32(s.switch_b ? 1 : 0);
    archive.WriteText(s.text_c);
    archive.WriteInt32(s.can_mono ? 1 : 0);
    archive.WritePoint(s.panel_size);
    archive.WriteUInt32(s.options);
    archive.WriteInt32(s.program_count);
    archive.WriteText(s.vendor);
    archive.WriteText(s.text_d);
    archive.WriteText(s.product);
    archive.WriteInt32(document.skins.empty() ? 0 : 1);
    if (!document.skins.empty()) WriteSkins(archive, document.skins);
}

void WriteHeader(archive_writer& archive, const project_document& document) {
    const project_settings& s = document.settings;
    archive.WriteInt32(archive_writer::version);
    archive.WriteObjectList(document.embedded_files);
    archive.WriteText(s.text_a);
    archive.WriteInt32(s.switch_a ? 1 : 0);
    archive.WriteInt32(s.process_switch ? 1 : 0);
    WriteSettings(archive, document);
    archive.WriteByte(0);  // not used
}

}  // namespace

void AddProjectPartWriters(record_table& table) {
    AddRecordWriter<CPatchManager>(table, WritePatchManager);
    AddRecordWriter<imbedded_file>(table, WriteEmbeddedFile);
    AddRecordWriter<CSkinBitmap>(table, WriteSkinBitmap);
    AddRecordWriter<CAnimBitmap>(table, WriteAnimatedBitmap);
    AddRecordWriter<SkinFontInfo>(table, WriteTextStyle);
}

std::vector<uint8_t> WriteProjectArchive(const project_document& document) {
    if (!document.root) throw archive_write_error("the project has no root container");
    archive_writer archive(ProjectRecordWriters());
    WriteHeader(archive, document);
    archive.WriteObject(document.root.get());
    return archive.Bytes();
}

}  // namespace tools
