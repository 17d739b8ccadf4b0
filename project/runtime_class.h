// Run-time class records of the serialisable classes: the archive names a
// class by its name, and the reader makes objects of it by that name.
#pragma once

#include <memory>
#include <string_view>

class CObject;
class archive_reader;

struct runtime_class {
    const char* name;
    int schema;
    bool versionable;  // accepts any stored schema and keeps it
    const runtime_class* base;
    std::unique_ptr<CObject> (*create)();  // none for abstract classes

    bool IsDerivedFrom(const runtime_class* other) const;
    // The class of that name, or none.
    static const runtime_class* Find(std::string_view name);
};

// Enters a class into the table that Find searches, at start-up.
struct runtime_class_registration {
    explicit runtime_class_registration(const runtime_class* record);
};

class CObject {
public:
    static const runtime_class class_info;
    virtual ~CObject() = default;
    virtual const runtime_class* GetRuntimeClass() const = 0;
    // Reads the object's fields, its base class's first.
    virtual void Serialize(archive_reader& archive) {}

    bool IsKindOf(const runtime_class* record) const { return GetRuntimeClass()->IsDerivedFrom(record); }
    template <class T>
    bool Is() const {
        return IsKindOf(&T::class_info);
    }
};

// In a class body: its run-time class record.
#define WS_DECLARE_CLASS(cls)                                                    \
public:                                                                          \
    static const runtime_class class_info;                                       \
    const runtime_class* GetRuntimeClass() const override { return &class_info; }

// In a source file: the record of a class that archives create by name.
#define WS_IMPLEMENT_CLASS(cls, base_cls, schema_number, is_versionable)                             \
    const runtime_class cls::class_info{#cls, schema_number, is_versionable, &base_cls::class_info,  \
                                        [] { return std::unique_ptr<CObject>(new cls); }};           \
    static const runtime_class_registration register_##cls(&cls::class_info)

// The record of an abstract class (none is ever read as such).
#define WS_IMPLEMENT_ABSTRACT_CLASS(cls, base_cls) \
    const runtime_class cls::class_info{#cls, 1, false, &base_cls::class_info, nullptr}
