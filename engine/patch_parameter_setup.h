// Graph construction's part in patch parameters: the audio-side manager of a
// container's patch memory, and the "init" message that makes each parameter.
#pragma once

#include <cstdint>

class CPatchManager;
class message_out;
class ug_container;
struct patch_parameter_record;

// Makes the audio-side manager of `panel` for the container that keeps the
// patch memory, registered under the panel manager's identity, and posts one
// "init" per panel-side parameter on the panel-to-audio queue. With the engine
// stopped each is handled at once.
void CreateDspPatchManager(const CPatchManager& panel, ug_container& parameters);

// The payload of "init" for one panel-side parameter: the kind's number, then
// the creation record with the value that `program` shows. The metadata comes
// from the bound plug (see the .cpp); false for a type with no audio side.
bool WriteParameterInit(message_out& out, const patch_parameter_record& parameter, int32_t program);
