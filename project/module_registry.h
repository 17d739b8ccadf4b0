// The registry of module types: every kind of module a patch can hold, found
// by its unique ID (or legacy number), with the factories of its document
// object and its unit generator and the descriptions of its plugs.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/plug.h"

class ug_base;
class CDocOb;
struct Module_Info;

// Module type flags.
enum module_flags : uint32_t {
    MF_CONTAINER = 0x1,
    MF_IO_MODULE = 0x4,
    MF_VOICE_SOURCE = 0x20,
    MF_OWN_VOICE_LIST = 0x40,
    MF_PANEL = 0x80,
    MF_INSERTABLE = 0x100,
    MF_REGISTERED_FROM_ARGUMENTS = 0x1000,
    MF_MAKES_VISUAL = 0x2000,
};

using doc_factory = std::function<std::unique_ptr<CDocOb>(Module_Info*)>;
using ug_factory = std::function<std::unique_ptr<ug_base>()>;

struct Module_Info {
    virtual ~Module_Info() = default;
    virtual const std::string& GetUniqueId() const { return unique_id; }
    // A new unit generator of this type, or none for panel-only modules.
    virtual std::unique_ptr<ug_base> CreateDspObject() const;

    doc_factory make_document;  // empty: an object of document_class
    ug_factory make_unit_generator;
    std::string unique_id;
    // Run-time class of the module's document object; made by that name.
    std::string document_class = "CUG";
    std::string third_text;
    std::string group_text;
    std::vector<InterfaceObject> plugs;
    std::vector<InterfaceObject> panel_plugs;  // panel plug list, for types that have one
    int32_t name_string_id = 0;
    int32_t group_string_id = 0;
    uint32_t flags = 0;
    int32_t legacy_id = -1;
};

struct file_type {
    std::string extension;
    std::string type_name;
    std::string folder;
};

class ModuleRegistry {
public:
    static ModuleRegistry& Instance();

    // Takes the entry; false for an empty ID. A duplicate ID shows
    // "RegisterModule Error. Module found twice. %s" and keeps the first.
    bool RegisterModule(std::unique_ptr<Module_Info> entry);
    // By unique ID, or "BI" followed by a legacy number.
    Module_Info* FindModule(const std::string& unique_id) const;
    std::string NameForLegacyId(int32_t legacy_id) const;
    // The module's document object, bound to its entry; none for an unknown ID
    // or while its class is not available.
    std::unique_ptr<CDocOb> CreateDocObject(const std::string& unique_id) const;
    std::unique_ptr<ug_base> CreateUnitGenerator(const std::string& unique_id) const;
    // A compiled-in unit generator joins the entry of its module type (made
    // now if the table has none) and gives it its plug descriptions, unless
    // the type describes its plugs in static rows. A second unit generator
    // for the same type is reported as a duplicate and left out.
    void AttachUnitGenerator(const std::string& unique_id, ug_factory factory);

    std::string DisplayName(const Module_Info& entry) const;
    std::string GroupName(const Module_Info& entry) const;
    // Entries in ID order.
    const std::map<std::string, std::unique_ptr<Module_Info>>& Entries() const { return entries_; }

    // File types; their folder is set once the library's data folder is known.
    void SetDataFolder(const std::string& folder);
    // The first type with that extension (any case), else the first ("default").
    const file_type& FileTypeForExtension(const std::string& extension) const;
    const std::vector<file_type>& FileTypes() const { return file_types_; }
    // Module-library file names (filled by the module-library loader).
    std::vector<std::string>& LibraryFiles() { return library_files_; }

private:
    ModuleRegistry();
    void RegisterBuiltInTypes();

    std::map<std::string, std::unique_ptr<Module_Info>> entries_;
    std::vector<file_type> file_types_;
    std::vector<std::string> library_files_;
};

// Registers a unit generator class under a module's unique ID at start-up.
template <class Module>
struct ug_registration {
    explicit ug_registration(const char* unique_id) {
        ModuleRegistry::Instance().AttachUnitGenerator(unique_id, [] { return std::make_unique<Module>(); });
    }
};
