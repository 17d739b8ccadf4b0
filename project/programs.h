// Programs of a container as the host and the panel see them: which patch
// manager keeps them, which controls follow them, and selecting, copying and
// naming them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CContainer;
class CControl;
class CPatchManager;

// The patch manager that keeps a container's programs: its own, or that of
// the nearest container above that has one.
CPatchManager* ProgramsOf(const CContainer& container);
// The container that patch manager belongs to.
CContainer* ProgramOwner(CContainer& container);

// The controls whose values follow the container's programs: its children in
// child order, entering sub-containers that do not ignore program changes.
std::vector<CControl*> ParameterControls(const CContainer& container);
// The order the host sees parameters and chunks list controls in: inputs
// before outputs, then by name in byte order.
template <class Parameter>
bool InHostOrder(const Parameter& a, const Parameter& b) {
    if (a.isOutput() != b.isOutput()) return !a.isOutput();
    return a.getName() < b.getName();
}

// Selects program n: the patch parameters show its values, the controls and
// sub-containers that follow programs follow, and their unit generators are told.
void SelectProgram(CContainer& container, int32_t program);
// Copies the current program into programs first..last, naming each copy.
void CopyProgram(CContainer& container, int32_t first, int32_t last);
