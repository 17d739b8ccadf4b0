#include "engine/graph_builder.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <stdexcept>
#include <unordered_map>
#include <vector>

#include "engine/audio_master.h"
#include "engine/patch_parameter_setup.h"
#include "engine/ug_container.h"
#include "project/doc_objects.h"
#include "project/doc_plugs.h"
#include "project/module_registry.h"
#include "project/patch_manager.h"

namespace {

constexpr const char* kNestedNoteSourcesText =
    "ERROR: You have more than one 'MidiToCv', 'Soundfont Player', or 'Drum Trigger' in same container (or in a "
    "sub-container).";
constexpr const char* kFeedbackText = "This patch contains a FEEDBACK path, Please remove.";
constexpr const char* kHighlightedSuffix = " (highlighed in red)";

bool HasWireToEnabledModule(const CPlug2& plug) {
    return std::ranges::any_of(plug.wires, [&plug](const CLine2* wire) {
        const CPlug2* other = plug.OtherEnd(wire);
        return other != nullptr && other->owner != nullptr && !other->owner->IsDisabled();
    });
}

bool IsInput(const CPlug2& plug) { return plug.Direction() == DR_IN || plug.Direction() == DR_PARAMETER; }

bool TakesDefault(const CPlug2& plug) {
    const uint32_t flags = plug.Flags();
    if (IsInput(plug)) return (flags & DPF_PATCH_MANAGER) == DPF_PATCH_MANAGER || !HasWireToEnabledModule(plug);
    return plug.Direction() == DR_OUT && (flags & DPF_TAKES_VALUE) != 0;
}

bool HoldsModuleWithFlag(const CContainer& container, uint32_t flag, bool enabled_only) {
    return std::ranges::any_of(container.Children(), [&](const auto& child) {
        if (!child->template Is<CUG>() || (child->TypeFlags() & flag) == 0) return false;
        return !enabled_only || !static_cast<const CUG&>(*child).IsDisabled();
    });
}

// A document module and its unit generator share one message identity.
int32_t MessageIdentity(const CDocOb& module) { return module.MessageHandle(); }

template <class Function>
void ForEachConnection(const ug_base& ug, int32_t direction, Function function) {
    for (int i = ug.PlugCount() - 1; i >= 0; --i) {
        const UPlug* plug = ug.GetPlug(i);
        if (plug->direction != direction) continue;
        for (plug_connection* connection : plug->connections) function(connection);
    }
}

// ---- construction ------------------------------------------------------------

class graph_builder {
public:
    explicit graph_builder(WsAudioMaster& master) : master_(master) {}

    // `top` holds the graph from the start, so that a failure can still name
    // the unit generators involved.
    void Build(CContainer& root, std::unique_ptr<ug_container>& top);

private:
    std::unique_ptr<ug_base> CreateUnitGenerator(CUG& module);
    UPlug* MakePlug(ug_base& ug, const CPlug2& plug, const Module_Info& entry,
                    const std::vector<InterfaceObject>& list) const;
    void BuildContainer(CContainer& document, ug_container& self, ug_container& list, ug_container& given);
    void BuildSubcontainer(CContainer& document, ug_container& list, ug_container& parameters);
    void BuildModule(CUG& module, ug_container& list, ug_container& parameters);
    void LinkBoundaryPartners(const CUG& io_module);
    void ConnectWires(const CContainer& document);
    void ApplyDocumentDefaults(const CUG& module);
    UPlug* AudioPlug(const CPlug2* plug) const;

    WsAudioMaster& master_;
    std::unordered_map<const CPlug2*, UPlug*> audio_plugs_;
    const CContainer* root_ = nullptr;
};

std::unique_ptr<ug_base> graph_builder::CreateUnitGenerator(CUG& module) {
    const Module_Info* entry = module.ModuleInfo();
    if (entry == nullptr || module.IsDisabled()) return nullptr;
    std::unique_ptr<ug_base> ug = entry->CreateDspObject();
    if (!ug) return nullptr;  // no audio side
    ug->audio_master = &master_;
    std::vector<InterfaceObject> list;
    ug->ListInterface(list);
    for (const auto& plug : module.Plugs())
        if (UPlug* made = MakePlug(*ug, *plug, *entry, list)) audio_plugs_[plug.get()] = made;
    ug->document_module = &module;
    module.unit_generator = ug.get();
    master_.RegisterTarget(ug.get(), MessageIdentity(module));
    ug->SetupPlugs();
    return ug;
}

UPlug* graph_builder::MakePlug(ug_base& ug, const CPlug2& plug, const Module_Info& entry,
                               const std::vector<InterfaceObject>& list) const {
    const uint32_t flags = plug.Flags();
    if ((flags & DPF_PARAMETER_STYLE) != 0 && (flags & IO_PATCH_PARAMETER_HIGH) == 0) return nullptr;
    if ((flags & (DPF_AUTO_DUPLICATE | DPF_OWN_TYPE)) != 0)
        return plug.IsSpare() ? nullptr : ug.AddPlug(plug.Direction(), plug.DataType());
    const auto index = static_cast<std::size_t>(plug.description_index);
    if ((entry.flags & MF_REGISTERED_FROM_ARGUMENTS) != 0)
        return plug.description_index >= 0 && index < list.size()
                   ? ug.AddPlugFromDescription(list[index], plug.description_index)
                   : nullptr;
    // Static plug rows carry no member addresses: the module binds them in PlugCreated.
    if (plug.description_index < 0 || index >= entry.plugs.size())
        throw std::invalid_argument("document plug outside its module type's plug list");
    return ug.AddPlugFromDescription(entry.plugs[index], -1);
}

void graph_builder::Build(CContainer& root, std::unique_ptr<ug_container>& top) {
    root_ = &root;
    std::unique_ptr<ug_base> made = CreateUnitGenerator(root);
    if (auto* container = dynamic_cast<ug_container*>(made.get())) {
        made.release();
        top.reset(container);
    } else {
        // A root without an audio side plays nothing.
        top = std::make_unique<ug_container>();
        top->audio_master = &master_;
        return;
    }
    BuildContainer(root, *top, *top, *top);
    ApplyDocumentDefaults(root);
}

void graph_builder::BuildContainer(CContainer& document, ug_container& self, ug_container& list,
                                   ug_container& given) {
    const bool own_parameters = &document == root_ || document.Feature(CF_IGNORE_PROGRAM_CHANGE) ||
                                document.HoldsPatchSelect();
    ug_container& parameters = own_parameters ? self : given;
    for (const auto& child : document.Children()) {
        if (child->Is<CContainer>())
            BuildSubcontainer(static_cast<CContainer&>(*child), list, parameters);
        else if (child->Is<CUG>())
            BuildModule(static_cast<CUG&>(*child), list, parameters);
    }
    ConnectWires(document);
    if (const CPatchManager* programs = document.PatchManager()) CreateDspPatchManager(*programs, parameters);
}

void graph_builder::BuildSubcontainer(CContainer& document, ug_container& list, ug_container& parameters) {
    std::unique_ptr<ug_base> made = CreateUnitGenerator(document);
    if (!made) return;
    ug_base* ug = list.Add(std::move(made));
    ug->parameter_container = &parameters;
    auto* self = dynamic_cast<ug_container*>(ug);
    if (self != nullptr) {
        // Voice-grouping modules (note sources, MIDI automators) need voices of the container's own.
        const bool own_voices = HoldsModuleWithFlag(document, MF_OWN_VOICE_LIST, true);
        BuildContainer(document, *self, own_voices ? *self : list, parameters);
    }
    ApplyDocumentDefaults(document);
    if (!HoldsModuleWithFlag(document, MF_VOICE_SOURCE, false)) return;
    for (const CContainer* outer = document.Parent(); outer != nullptr; outer = outer->Parent())
        if (HoldsModuleWithFlag(*outer, MF_VOICE_SOURCE, false))
            throw WsException(WSE_NESTED_NOTE_SOURCES, document.Parent()->unit_generator, ug);
}

void graph_builder::BuildModule(CUG& module, ug_container& list, ug_container& parameters) {
    std::unique_ptr<ug_base> made = CreateUnitGenerator(module);
    if (!made) return;
    ug_base* ug = list.Add(std::move(made));
    if ((module.TypeFlags() & MF_IO_MODULE) != 0) LinkBoundaryPartners(module);
    ug->parameter_container = &parameters;
    ApplyDocumentDefaults(module);
}

void graph_builder::LinkBoundaryPartners(const CUG& io_module) {
    for (const auto& plug : io_module.Plugs()) {
        UPlug* inside = AudioPlug(plug.get());
        UPlug* outside = AudioPlug(plug->Counterpart());
        if (inside == nullptr || outside == nullptr) continue;
        inside->partner = outside;
        outside->partner = inside;
    }
}

// A wire into a container's boundary is made only when the signal is used on
// the other side.
void graph_builder::ConnectWires(const CContainer& document) {
    for (const auto& child : document.Children()) {
        if (!child->Is<CUG>()) continue;
        for (const auto& plug : static_cast<const CUG&>(*child).Plugs()) {
            if (plug->Direction() != DR_OUT || plug->IsParameterStyle()) continue;
            UPlug* from = AudioPlug(plug.get());
            for (const CLine2* wire : plug->wires) {
                const CPlug2* destination = plug->OtherEnd(wire);
                UPlug* to = AudioPlug(destination);
                if (from == nullptr || to == nullptr) continue;
                const CPlug2* partner = destination->Counterpart();
                if (partner == nullptr || HasWireToEnabledModule(*partner)) Connect(from, to);
            }
        }
    }
}

void graph_builder::ApplyDocumentDefaults(const CUG& module) {
    for (const auto& plug : module.Plugs()) {
        UPlug* audio = AudioPlug(plug.get());
        if (audio != nullptr && TakesDefault(*plug)) audio->owner->ApplyDefault(audio, plug->ValueText());
    }
}

UPlug* graph_builder::AudioPlug(const CPlug2* plug) const {
    auto found = audio_plugs_.find(plug);
    return found != audio_plugs_.end() ? found->second : nullptr;
}

// ---- sort order ----------------------------------------------------------------

constexpr int32_t kUnsorted = -1;
constexpr int32_t kVisiting = -2;
constexpr int32_t kSortStep = 4;
constexpr int32_t kRaise = 200;

int32_t Raise(const ug_base& ug) { return (ug.flags & UGF_SORT_RAISED) != 0 ? kRaise : 0; }

// A container contributes its contents first, then itself.
void CollectUnitGenerators(ug_container& container, std::vector<ug_base*>& all) {
    for (int index = 0; index < container.VoiceCount(); ++index) {
        for (ug_base* ug : container.GetVoice(index).unit_generators) {
            if (auto* inner = dynamic_cast<ug_container*>(ug)) CollectUnitGenerators(*inner, all);
            all.push_back(ug);
        }
    }
}

void ResetMarks(const std::vector<ug_base*>& marked) {
    for (ug_base* ug : marked) ug->sort_order = kUnsorted;
}

// Follows first unsorted destinations downstream until there are none.
ug_base* FindStart(ug_base* ug) {
    std::vector<ug_base*> visited;
    for (;;) {
        ug->sort_order = kVisiting;
        visited.push_back(ug);
        ug_base* next = nullptr;
        ForEachConnection(*ug, DR_OUT, [&next](const plug_connection* connection) {
            if (next == nullptr && connection->to->owner->sort_order == kUnsorted) next = connection->to->owner;
        });
        if (next == nullptr) break;
        ug = next;
    }
    ResetMarks(visited);
    return ug;
}

// One more than the deepest destination; a destination on the path being
// measured counts as kVisiting.
int32_t Depth(ug_base* ug, std::vector<ug_base*>& marked) {
    if (ug->sort_order != kUnsorted) return ug->sort_order;
    ug->sort_order = kVisiting;
    marked.push_back(ug);
    bool any = false;
    int32_t deepest = 0;
    ForEachConnection(*ug, DR_OUT, [&](const plug_connection* connection) {
        const int32_t depth = Depth(connection->to->owner, marked);
        deepest = any ? std::max(deepest, depth) : depth;
        any = true;
    });
    return any ? deepest + 1 : 0;
}

void SortStart(ug_base* start) {
    std::vector<ug_base*> marked;
    const int32_t depth = Depth(start, marked);
    ResetMarks(marked);
    start->sort_order = depth + Raise(*start);
}

void QueueSource(ug_base* source, std::deque<ug_base*>& work) {
    source->sort_order = kVisiting;
    work.push_back(source);
}

void CheckStartInputs(ug_base* start, std::deque<ug_base*>& work) {
    ForEachConnection(*start, DR_IN, [&](const plug_connection* connection) {
        ug_base* source = connection->from->owner;
        if (source == start) throw WsException(WSE_FEEDBACK, start, start);
        if (source->sort_order == kUnsorted)
            QueueSource(source, work);
        else if (source->sort_order >= 0 && source->sort_order < start->sort_order)
            throw WsException(WSE_FEEDBACK, start, source);
    });
}

// Sorts `ug` 4 above the highest module it feeds, once all of them are sorted.
void SortFromDestinations(ug_base* ug, std::deque<ug_base*>& work) {
    bool pending = false;
    int32_t highest = -1;
    ForEachConnection(*ug, DR_OUT, [&](const plug_connection* connection) {
        const int32_t order = connection->to->owner->sort_order;
        if (order < 0)
            pending = true;
        else
            highest = std::max(highest, order);
    });
    if (pending) {
        ug->sort_order = kUnsorted;  // a later round reaches it again
        return;
    }
    int32_t lowest_source = INT32_MAX;
    ug_base* last_sorted_source = nullptr;
    ForEachConnection(*ug, DR_IN, [&](const plug_connection* connection) {
        ug_base* source = connection->from->owner;
        if (source->sort_order == kUnsorted) {
            QueueSource(source, work);
        } else if (source->sort_order >= 0) {
            lowest_source = std::min(lowest_source, source->sort_order);
            last_sorted_source = source;
        }
    });
    ug->sort_order = highest + kSortStep + Raise(*ug);
    if (lowest_source < ug->sort_order) throw WsException(WSE_FEEDBACK, ug, last_sorted_source);
}

// Higher runs earlier: sinks sort lowest, every module at least 4 above what it feeds.
void ComputeSortOrders(ug_container& top) {
    std::vector<ug_base*> all;
    CollectUnitGenerators(top, all);
    for (ug_base* ug : all) ug->sort_order = kUnsorted;  // hidden sources come with a provisional one
    std::size_t front = 0;
    for (;;) {
        while (front < all.size() && all[front]->sort_order >= 0) ++front;
        if (front == all.size()) return;
        ug_base* start = FindStart(all[front]);
        SortStart(start);
        std::deque<ug_base*> work;
        CheckStartInputs(start, work);
        while (!work.empty()) {
            ug_base* ug = work.front();
            work.pop_front();
            if (ug->sort_order < 0) SortFromDestinations(ug, work);
        }
    }
}

// ---- messages ------------------------------------------------------------------

// Hidden helpers have no module to name: the nearest module downstream stands in.
CUG* NearestDocumentModule(const ug_base* ug) {
    constexpr int kSteps = 4;
    for (int step = 0; ug != nullptr; ++step) {
        if (ug->document_module != nullptr) return ug->document_module;
        if (step == kSteps) break;
        const ug_base* next = nullptr;
        for (int i = ug->PlugCount() - 1; i >= 0 && next == nullptr; --i) {
            const UPlug* plug = ug->GetPlug(i);
            if (plug->direction == DR_OUT && !plug->connections.empty()) next = plug->connections.front()->to->owner;
        }
        ug = next;
    }
    return nullptr;
}

bool HighlightWires(const CUG& from, const CUG& to) {
    bool any = false;
    for (const auto& plug : from.Plugs()) {
        for (CLine2* wire : plug->wires) {
            if (wire->from != plug.get() || wire->to == nullptr || wire->to->owner != &to) continue;
            wire->SetHighlighted(true);
            any = true;
        }
    }
    return any;
}

std::string ContainerTitle(const CUG& module) { return module.Parent() != nullptr ? module.Parent()->Title() : ""; }

void ClearLinks(CUG& module) {
    module.unit_generator = nullptr;
    if (!module.Is<CContainer>()) return;
    for (const auto& child : static_cast<CContainer&>(module).Children())
        if (child->Is<CUG>()) ClearLinks(static_cast<CUG&>(*child));
}

}  // namespace

std::unique_ptr<ug_container> BuildGraph(CContainer& root, WsAudioMaster& master) {
    std::unique_ptr<ug_container> top;
    try {
        graph_builder(master).Build(root, top);
        top->DissolveBoundaries();
        ComputeSortOrders(*top);
        top->CreateRemainingVoices();
        return top;
    } catch (const WsException& error) {
        std::string message = GraphErrorMessage(error);
        top.reset();
        ClearUnitGeneratorLinks(root);
        throw WsException(error.code, nullptr, nullptr, std::move(message));
    } catch (...) {
        top.reset();
        ClearUnitGeneratorLinks(root);
        throw;
    }
}

std::string GraphErrorMessage(const WsException& error) {
    if (*error.what() != '\0') return error.what();
    if (error.code == WSE_NESTED_NOTE_SOURCES) return kNestedNoteSourcesText;
    const CUG* first = NearestDocumentModule(error.first);
    const CUG* second = NearestDocumentModule(error.second);
    if (first == nullptr || second == nullptr) return kFeedbackText;
    const bool highlighted = HighlightWires(*second, *first);
    return std::string("This patch contains a FEEDBACK path") + (highlighted ? kHighlightedSuffix : "") +
           ", Please remove.\n " + ContainerTitle(*first) + "." + first->Title() + " -> " + ContainerTitle(*second) +
           "." + second->Title();
}

void ClearUnitGeneratorLinks(CContainer& root) { ClearLinks(root); }
