#include "project/wiring.h"

#include <memory>
#include <string>

#include "platform/platform.h"
#include "project/doc_objects.h"
#include "project/doc_plugs.h"
#include "project/module_registry.h"
#include "project/project_document.h"

namespace {

// Stops the engine for a structural edit; true when it was running.
bool StopAudio(project_document* document) {
    return document != nullptr && document->stop_audio && document->stop_audio();
}

void RestartAudio(project_document* document, bool was_running) {
    if (was_running && document->start_audio) document->start_audio();
}

}  // namespace

CLine2* Connect(CPlug2* a, CPlug2* b) {
    std::string refusal;
    if (!CanConnect(*a, *b, refusal)) {
        if (!refusal.empty()) platform::ShowMessage(refusal);
        return nullptr;
    }
    // A plug outside any container has nowhere to keep a wire.
    CContainer* container = a->owner != nullptr ? a->owner->Parent() : nullptr;
    if (container == nullptr) return nullptr;
    project_document* document = container->Document();
    if (document != nullptr) document->modified = true;
    const bool was_running = StopAudio(document);

    auto made = std::make_unique<CLine2>();
    made->SetModuleInfo(ModuleRegistry::Instance().FindModule("Line"));
    made->SetEnds(a, b);
    auto* wire = static_cast<CLine2*>(container->AddChild(std::move(made)));
    wire->from->AttachWire(wire);
    wire->to->AttachWire(wire);

    RestartAudio(document, was_running);
    return wire;
}

void DeleteWire(CLine2* wire) {
    CContainer* container = wire->Parent();
    // Held until the plugs are done with it; a wire outside any container is not ours to delete.
    std::unique_ptr<CDocOb> owned = container != nullptr ? container->RemoveChild(wire) : nullptr;
    CPlug2* from = wire->from;
    CPlug2* to = wire->to;
    if (from != nullptr) from->DropWire(wire);
    if (to != nullptr) to->DropWire(wire);
    // Removing one end of a boundary pair removes the other with it.
    const bool to_goes_with_from = from != nullptr && from->Counterpart() == to;
    if (from != nullptr && from->owner != nullptr) from->owner->CheckPlugForRemoval(from);
    if (to != nullptr && to->owner != nullptr && !to_goes_with_from) to->owner->CheckPlugForRemoval(to);
}
