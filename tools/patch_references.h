// How the patch text names modules within a container and plugs within a
// module. A name alone is the first one of that name, in child or plug order;
// "Name#n" is the n-th (from 1) of that name, for names that repeat (the
// spares of auto-duplicating plugs, or two modules with one title). A name
// that is itself written "Name#n" is found as it is first.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

class CContainer;
class CUG;
class CPlug2;

namespace tools {

class patch_text_error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The modules of a container that the text can name, in child order.
std::vector<CUG*> NamedModules(const CContainer& container);

CUG* FindModule(const CContainer& container, const std::string& reference);
// "Name" of "Name#n"; any other reference as it is.
std::string NameWithoutNumber(const std::string& reference);
CPlug2* FindPlug(const CUG& module, const std::string& reference);

// The names that find these again; throws patch_text_error when none does.
std::string ModuleReference(const CContainer& container, const CUG& module);
std::string PlugReference(const CUG& module, const CPlug2& plug);

// A module's plug named from the container: "Module/Plug". Titles and plug
// names may hold "/" themselves, so every split that finds a plug counts and
// more than one is an error.
struct plug_location {
    CUG* module = nullptr;
    CPlug2* plug = nullptr;  // none: the module has no plug of that name yet
    std::string plug_reference;
};
// The plug, or when no split finds one, the module whose name the text starts
// with (for a wire to its spare); std::nullopt when no module is found.
std::optional<plug_location> LocatePlug(const CContainer& container, const std::string& reference);
std::string PlugPath(const CContainer& container, const CPlug2& plug);

}  // namespace tools
