#include "project/programs.h"

#include <algorithm>
#include <cstdio>

#include "project/controls.h"
#include "project/doc_objects.h"
#include "project/patch_manager.h"

namespace {

// The notification that makes a control's unit generator jump to its value.
constexpr int32_t kLoadValueAtOnce = 2;

void CollectControls(const CContainer& container, std::vector<CControl*>& controls) {
    for (const auto& child : container.Children()) {
        if (auto* control = dynamic_cast<CControl*>(child.get())) {
            controls.push_back(control);
        } else if (const auto* sub = dynamic_cast<const CContainer*>(child.get());
                   sub != nullptr && !sub->Feature(CF_IGNORE_PROGRAM_CHANGE)) {
            CollectControls(*sub, controls);
        }
    }
}

void SelectInChildren(CContainer& container, int32_t program) {
    for (const auto& child : container.Children()) {
        if (auto* control = dynamic_cast<CControl*>(child.get())) {
            if (control->FollowsPrograms()) {
                control->Notify(NOTIFY_VALUE_CHANGED, control);
                control->NotifyUnitGenerator(kLoadValueAtOnce);
            }
        } else if (auto* sub = dynamic_cast<CContainer*>(child.get());
                   sub != nullptr && !sub->Feature(CF_IGNORE_PROGRAM_CHANGE)) {
            SelectProgram(*sub, program);
        }
    }
}

}  // namespace

CPatchManager* ProgramsOf(const CContainer& container) {
    for (const CContainer* at = &container; at != nullptr; at = at->Parent())
        if (at->PatchManager() != nullptr) return at->PatchManager();
    return nullptr;
}

CContainer* ProgramOwner(CContainer& container) {
    for (CContainer* at = &container; at != nullptr; at = at->Parent())
        if (at->PatchManager() != nullptr) return at;
    return &container;
}

std::vector<CControl*> ParameterControls(const CContainer& container) {
    std::vector<CControl*> controls;
    CollectControls(container, controls);
    return controls;
}

void SelectProgram(CContainer& container, int32_t program) {
    if (CPatchManager* own = container.PatchManager()) {
        if (program == own->CurrentProgram()) return;
        own->SelectProgram(program);
    }
    container.Notify(NOTIFY_VALUE_CHANGED, &container);
    SelectInChildren(container, program);
}

void CopyProgram(CContainer& container, int32_t first, int32_t last) {
    CPatchManager* programs = ProgramsOf(container);
    if (programs == nullptr) return;
    const std::string current_name = programs->ProgramName(-1);
    int copies = 0;
    for (int32_t program = first; program <= last; ++program) {
        char name[512];
        std::snprintf(name, sizeof name, "(Copy %d) %s", ++copies, current_name.c_str());
        programs->SetProgramName(program, name);
    }
    const int32_t current = programs->CurrentProgram();
    for (CControl* control : ParameterControls(container)) control->CopyValue(current, first, last);
    programs->CopyCurrentProgram(first, last);
}
