// Patch parameter values seen through the host's normalised 0..1 scale and as
// display texts, by kind. The panel side and the audio side use the same rules,
// so host automation lands on the same value whichever thread it comes from.
#pragma once

#include <optional>
#include <string>

#include "engine/message_stream.h"
#include "project/archive_out.h"
#include "project/patch_manager.h"

struct patch_metadata {
    // Floats: the range the normalised scale spans.
    float minimum = 0.0f;
    float maximum = 10.0f;
    // Lists: the entries a list value picks from.
    std::string list_text;
};

// Lists take the bound plug's list text; floats take a "range LO,HI" list text
// of the bound plug, else 0 to 10.
patch_metadata MetadataOf(const patch_parameter_record& parameter);

// The value as 0..1; integers and texts have none and read 0.
float NormalisedValue(const patch_value& value, const patch_metadata& metadata);
// The value a normalised position stands for; none for integers and texts.
std::optional<patch_value> ValueAtNormalised(const patch_value& kind, float normalised, const patch_metadata& metadata);
std::string DisplayText(const patch_value& value, const patch_metadata& metadata);
// A value in a message between the panel and the audio side: a list value in
// 16 bits, a float in 32, a bool in one byte, an integer in 32, a text as a
// message text. Reading takes the kind from `kind`.
void WriteMessageValue(message_out& message, const patch_value& value);
patch_value ReadMessageValue(message_stream& stream, const patch_value& kind);

// One value as archives and chunks store it (the reader is ReadPatchValue).
void WritePatchValue(archive_byte_writer& archive, const patch_value& value);

// Reads a display or stored text back; false when the text means nothing for the kind.
bool ParseValueText(const std::string& text, patch_value& value);
