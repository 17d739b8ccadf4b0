// The compiled-in module types, in the order the registry registers them.
#pragma once

#include <cstdint>
#include <span>

// A row of the built-in table: its legacy number is its position, from 1. A row
// with an empty ID only uses up its number; the row "***" ends the table.
struct built_in_row {
    const char* unique_id;
    uint32_t flags;
    int32_t name_string_id;
    int32_t group_string_id;
    const char* document_class;
};

// A module type registered from arguments.
struct module_type_row {
    const char* unique_id;
    int32_t legacy_id;  // -1: none
    uint32_t flags;
    int32_t name_string_id;
    int32_t group_string_id;
    const char* document_class;
};

// One plug of a module type that describes its plugs in a static record.
struct plug_row {
    const char* name;
    int32_t direction;
    int32_t data_type;
    const char* default_value;
    const char* list_values;
    uint32_t flags;
};

// A module type whose plugs come from its own rows rather than from its unit
// generator; its flags are used as they are.
struct static_module_record {
    const char* unique_id;
    int32_t name_string_id;
    int32_t group_string_id;
    const char* document_class;
    uint32_t flags;
    std::span<const plug_row> plugs;
};

inline constexpr const char* kBuiltInTableEnd = "***";

std::span<const built_in_row> BuiltInModuleTable();
std::span<const module_type_row> ArgumentModuleTable();
std::span<const static_module_record> StaticModuleRecords();
