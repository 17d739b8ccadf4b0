// Hand-made module records for reader tests: the module fields every module
// record starts with, and reading one object of a record.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "project/archive.h"
#include "support/archive_bytes.h"

// The fields of a module without plugs, as a project of that version stores them.
inline archive_bytes ModuleFields(int32_t version, const std::string& title = "Module") {
    archive_bytes bytes;
    if (version >= 37) {
        if (version >= 79)
            bytes.Text("");
        else
            bytes.I32(-1);
        if (version <= 58) bytes.Null();
    }
    bytes.Count(0).Text(title).I16(0);
    if (version >= 37) bytes.Rect(0, 0, 20, 20);
    return bytes;
}

// Reads one object of class T that uses every byte.
template <class T>
std::unique_ptr<T> ReadRecord(const archive_bytes& bytes, int32_t version) {
    archive_reader archive(bytes.bytes);
    archive.version = version;
    T* object = archive.ReadObjectOf<T>();
    EXPECT_TRUE(archive.AtEnd()) << "bytes left at " << archive.Offset();
    return archive.Adopt(object);
}

// Reading fails with an archive error.
template <class T>
void ExpectMalformed(const archive_bytes& bytes, int32_t version) {
    archive_reader archive(bytes.bytes);
    archive.version = version;
    EXPECT_THROW(archive.ReadObjectOf<T>(), archive_error);
}
