// Building the audio graph from the document: one unit generator per enabled
// module, plug connections from wires, defaults from plug values, container
// boundaries dissolved into direct connections, sort orders so that every
// unit generator runs after those that feed it, and the voices of
// polyphonic containers.
#pragma once

#include <memory>
#include <string>

#include "engine/ws_exception.h"

class CContainer;
class WsAudioMaster;
class ug_container;

// The unit generator of `root` holding the whole graph, ready for
// WsAudioMaster::Start. Every module that got a unit generator is linked to
// it (CUG::unit_generator).
// A feedback path or nested note sources throw WsException whose what() is
// the message for the user; the half-built graph is gone by then, its links
// cleared, and the wires that close a feedback path are highlighted.
std::unique_ptr<ug_container> BuildGraph(CContainer& root, WsAudioMaster& master);

// The message for a construction error. Worked out from the unit generators
// the error names, which must still exist, unless the error already carries it.
std::string GraphErrorMessage(const WsException& error);

// Forgets every module's unit generator; call before the graph is deleted.
void ClearUnitGeneratorLinks(CContainer& root);
