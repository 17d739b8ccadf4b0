// The plugs of a document module: their order, lookup, creation from the
// module type, the lists a module presents, and the removal of spent spares.
#include <algorithm>
#include <limits>
#include <utility>

#include "project/doc_objects.h"
#include "project/doc_plugs.h"
#include "project/module_registry.h"

namespace {

constexpr const char* kNoAutomaticEntries = "<none>";

// A new module makes its panel plugs before the others, so they lead; each
// group keeps ascending description indices.
std::pair<int, int> OrderKey(const CPlug2& plug) { return {plug.Is<CPlugGui>() ? 0 : 1, plug.description_index}; }

// Description lists longer than a 16-bit index can name are cut there.
std::size_t IndexableCount(std::size_t size) {
    return std::min<std::size_t>(size, std::size_t{std::numeric_limits<int16_t>::max()} + 1);
}

}  // namespace

CPlug2* CUG::AddPlug(std::unique_ptr<CPlug2> plug) {
    const auto key = OrderKey(*plug);
    // After every plug of the same or a lower index: a fresh copy lands behind its siblings.
    const auto place =
        std::find_if(plugs_.begin(), plugs_.end(), [&key](const auto& existing) { return OrderKey(*existing) > key; });
    plug->owner = this;
    CPlug2* added = plugs_.insert(place, std::move(plug))->get();
    AnnouncePlugsChanged(*this);
    return added;
}

std::unique_ptr<CPlug2> CUG::RemovePlug(CPlug2* plug) {
    const auto found =
        std::find_if(plugs_.begin(), plugs_.end(), [plug](const auto& existing) { return existing.get() == plug; });
    if (found == plugs_.end()) return nullptr;
    std::unique_ptr<CPlug2> removed = std::move(*found);
    plugs_.erase(found);
    AnnouncePlugsChanged(*this);
    return removed;
}

CPlug2* CUG::FindPlug(int32_t direction, int32_t data_type, int n) const {
    for (const auto& plug : plugs_) {
        if (plug->Direction() != direction || plug->DataType() != data_type) continue;
        if (n-- == 0) return plug.get();
    }
    return nullptr;
}

CPlug2* CUG::FindPlugByName(const std::string& name) const {
    for (const auto& plug : plugs_)
        if (plug->Name() == name) return plug.get();
    return nullptr;
}

int CUG::PlugIndex(const CPlug2* plug) const {
    for (std::size_t i = 0; i < plugs_.size(); ++i)
        if (plugs_[i].get() == plug) return static_cast<int>(i);
    return -1;
}

void CUG::CreatePlugsFromType() {
    const Module_Info* info = ModuleInfo();
    if (info == nullptr) return;
    for (std::size_t i = 0; i < IndexableCount(info->panel_plugs.size()); ++i)
        AddPlug(MakePanelPlug(info->panel_plugs[i], static_cast<int16_t>(i)));
    for (std::size_t i = 0; i < IndexableCount(info->plugs.size()); ++i)
        AddPlug(MakePlugForDescription(info->plugs[i], static_cast<int16_t>(i)));
}

const InterfaceObject* CUG::Description(int index) const {
    const Module_Info* info = ModuleInfo();
    if (info == nullptr || index < 0 || index >= static_cast<int>(info->plugs.size())) return nullptr;
    return &info->plugs[static_cast<std::size_t>(index)];
}

std::string CUG::PresentListText(const std::string& list_text) const {
    if (list_text != kAutomaticListText) return list_text;
    std::string names;
    bool any = false;
    for (const auto& plug : plugs_) {
        if ((plug->Flags() & DPF_AUTO_DUPLICATE) == 0 || plug->wires.empty()) continue;
        if (any) names += ',';
        names += plug->Name();
        any = true;
    }
    return any ? names : kNoAutomaticEntries;
}

void CUG::RefreshAutomaticLists() {
    for (const auto& plug : plugs_) {
        if (!plug->HasAutomaticList()) continue;
        if (plug->IsParameterStyle()) {
            // Whoever holds the plug's list reads it afresh.
            plug->Notify(NOTIFY_AUTO_LIST_CHANGED, plug.get());
        } else if (plug->Direction() == DR_IN) {
            // An output's list is the list of the input it feeds.
            for (const CLine2* wire : plug->wires)
                if (CPlug2* feeder = plug->OtherEnd(wire)) feeder->Notify(NOTIFY_AUTO_LIST_CHANGED, feeder, plug.get());
        } else {
            Notify(NOTIFY_AUTO_LIST_CHANGED, this, plug.get());
        }
    }
}

void CUG::CheckPlugForRemoval(CPlug2* plug) {
    // A plug that lost its last wire is a spare again, and a spare already stands behind it.
    if (plug == nullptr || !plug->IsSpare()) return;
    if (CPlugIO2* counterpart = plug->Counterpart()) {
        static_cast<CPlugIO2*>(plug)->counterpart = nullptr;  // only boundary plugs have counterparts
        counterpart->counterpart = nullptr;
        if (counterpart->owner != nullptr) counterpart->owner->RemovePlug(counterpart);
    }
    RemovePlug(plug);
}
