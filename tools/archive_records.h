// The record writers of the project's classes: each writes what the class's
// Serialize reads at the newest version, its base class's fields first.
#pragma once

#include "tools/archive_writer.h"

class CDocOb;
class CUG;
class CControl;

namespace tools {

// Every class the project reader reads.
const record_table& ProjectRecordWriters();

// Enters `write` as the record writer of class T; `write` may be the writer of
// a base class whose record T shares.
template <class T, class Base = T>
void AddRecordWriter(record_table& table, void (*write)(archive_writer&, const Base&)) {
    table[&T::class_info] = [write](archive_writer& archive, const CObject& object) {
        write(archive, static_cast<const T&>(object));
    };
}

// Fields shared by the families.
void WriteDocObFields(archive_writer& archive, const CDocOb& object);
void WriteUGFields(archive_writer& archive, const CUG& module);
void WriteControlFields(archive_writer& archive, const CControl& control);

// The families, each in a file of its own.
void AddDocumentObjectWriters(record_table& table);
void AddPlugWriters(record_table& table);
void AddControlWriters(record_table& table);
void AddPanelWriters(record_table& table);
void AddProjectPartWriters(record_table& table);

}  // namespace tools
