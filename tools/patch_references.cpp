#include "tools/patch_references.h"

#include <algorithm>
#include <cctype>

#include "project/doc_objects.h"
#include "project/doc_plugs.h"

namespace tools {

namespace {

struct numbered_name {
    std::string name;
    int n = 0;
};

// "Name#n" with n a plain decimal number from 1.
std::optional<numbered_name> SplitNumber(const std::string& reference) {
    const std::size_t hash = reference.rfind('#');
    if (hash == std::string::npos) return std::nullopt;
    const std::string digits = reference.substr(hash + 1);
    const bool plain = !digits.empty() && digits.size() < 6 && digits[0] != '0' &&
                       std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); });
    if (!plain) return std::nullopt;
    return numbered_name{reference.substr(0, hash), std::stoi(digits)};
}

template <class Item, class NameOf>
Item* FindNamed(const std::vector<Item*>& items, const std::string& reference, NameOf name_of) {
    for (Item* item : items)
        if (name_of(*item) == reference) return item;
    const std::optional<numbered_name> numbered = SplitNumber(reference);
    if (!numbered) return nullptr;
    int seen = 0;
    for (Item* item : items)
        if (name_of(*item) == numbered->name && ++seen == numbered->n) return item;
    return nullptr;
}

template <class Item, class NameOf>
std::string NameFor(const std::vector<Item*>& items, const Item& item, NameOf name_of, const std::string& what) {
    const std::string name = name_of(item);
    int position = 0;
    for (const Item* other : items) {
        if (name_of(*other) == name) ++position;
        if (other == &item) break;
    }
    const std::string reference = position == 1 && !name.empty() ? name : name + "#" + std::to_string(position);
    if (FindNamed(items, reference, name_of) != &item)
        throw patch_text_error(what + " \"" + name + "\" cannot be told apart from another by its name");
    return reference;
}

std::string TitleOf(const CUG& module) { return module.Title(); }
std::string NameOf(const CPlug2& plug) { return plug.Name(); }

std::vector<CPlug2*> PlugsOf(const CUG& module) {
    std::vector<CPlug2*> plugs;
    for (const auto& plug : module.Plugs()) plugs.push_back(plug.get());
    return plugs;
}

}  // namespace

std::vector<CUG*> NamedModules(const CContainer& container) {
    std::vector<CUG*> modules;
    for (const auto& child : container.Children())
        if (child->Is<CUG>()) modules.push_back(static_cast<CUG*>(child.get()));
    return modules;
}

CUG* FindModule(const CContainer& container, const std::string& reference) {
    return FindNamed(NamedModules(container), reference, TitleOf);
}

CPlug2* FindPlug(const CUG& module, const std::string& reference) { return FindNamed(PlugsOf(module), reference, NameOf); }

std::string NameWithoutNumber(const std::string& reference) {
    const std::optional<numbered_name> numbered = SplitNumber(reference);
    return numbered ? numbered->name : reference;
}

std::string ModuleReference(const CContainer& container, const CUG& module) {
    return NameFor(NamedModules(container), module, TitleOf, "module");
}

std::string PlugReference(const CUG& module, const CPlug2& plug) {
    return NameFor(PlugsOf(module), plug, NameOf, "plug of \"" + module.Title() + "\"");
}

std::optional<plug_location> LocatePlug(const CContainer& container, const std::string& reference) {
    std::vector<plug_location> found;
    std::vector<plug_location> modules_only;
    for (std::size_t slash = reference.find('/'); slash != std::string::npos; slash = reference.find('/', slash + 1)) {
        CUG* module = FindModule(container, reference.substr(0, slash));
        if (module == nullptr) continue;
        const std::string plug_reference = reference.substr(slash + 1);
        if (CPlug2* plug = FindPlug(*module, plug_reference))
            found.push_back({module, plug, plug_reference});
        else
            modules_only.push_back({module, nullptr, plug_reference});
    }
    const std::vector<plug_location>& candidates = found.empty() ? modules_only : found;
    if (candidates.size() > 1) throw patch_text_error("\"" + reference + "\" names more than one plug");
    if (candidates.empty()) return std::nullopt;
    return candidates.front();
}

std::string PlugPath(const CContainer& container, const CPlug2& plug) {
    const std::string path = ModuleReference(container, *plug.owner) + "/" + PlugReference(*plug.owner, plug);
    const std::optional<plug_location> located = LocatePlug(container, path);
    if (!located || located->plug != &plug) throw patch_text_error("\"" + path + "\" does not name one plug alone");
    return path;
}

}  // namespace tools
