#include "project/doc_objects.h"
#include "project/doc_plugs.h"
#include "tools/archive_records.h"

namespace tools {

namespace {

void WritePlugFields(archive_writer& archive, const CPlug2& plug) {
    archive.WriteInt16(plug.description_index);
    archive.WriteText(plug.ValueText());
    archive.WriteObjectList(plug.wires);
}

void WriteNameablePlug(archive_writer& archive, const CPlugNameable& plug) {
    WritePlugFields(archive, plug);
    archive.WriteText(plug.Name());
}

void WriteBoundaryPlug(archive_writer& archive, const CPlugIO2& plug) {
    WriteNameablePlug(archive, plug);
    archive.WriteInt16(static_cast<int16_t>(plug.direction));
    archive.WriteObject(plug.counterpart);
    archive.WriteInt16(static_cast<int16_t>(plug.data_type));
}

void WriteControlledPlug(archive_writer& archive, const CPlugControled& plug) {
    WriteNameablePlug(archive, plug);
    archive.WriteInt32(plug.direction);
    archive.WriteInt32(plug.data_type);
    archive.WriteText(plug.file_type);
}

void WriteFeaturePlug(archive_writer& archive, const CPlugFeature& plug) {
    WritePlugFields(archive, plug);
    archive.WriteInt32(plug.direction);
    archive.WriteInt32(plug.data_type);
    archive.WriteInt32(plug.feature_index);
    archive.WriteText(plug.name);
    archive.WriteText(plug.list_text);
    archive.WriteUInt32(plug.own_flags);
}

void WriteRelayFeaturePlug(archive_writer& archive, const CPlugFeature3& plug) {
    WriteFeaturePlug(archive, plug);
    archive.WriteBool(plug.relay);
}

}  // namespace

void AddPlugWriters(record_table& table) {
    AddRecordWriter<CPlug2>(table, WritePlugFields);
    AddRecordWriter<CPlugGui, CPlug2>(table, WritePlugFields);
    AddRecordWriter<CPlugNameable>(table, WriteNameablePlug);
    AddRecordWriter<CPlugIO2>(table, WriteBoundaryPlug);
    AddRecordWriter<CPlugControled>(table, WriteControlledPlug);
    AddRecordWriter<CPlugFeature>(table, WriteFeaturePlug);
    AddRecordWriter<CPlugFeature2, CPlugFeature>(table, WriteFeaturePlug);
    AddRecordWriter<CPlugFeature4, CPlugFeature>(table, WriteFeaturePlug);
    AddRecordWriter<CPlugFeature3>(table, WriteRelayFeaturePlug);
}

}  // namespace tools
