#include "modules/patch_memory.h"

#include "project/module_registry.h"

namespace {

ug_registration<ug_param_float_in2> register_float_in("PatchMemFloatIn");
ug_registration<ug_param_enum_in2> register_list_in("PatchMemListIn2");
ug_registration<ug_param_text_in> register_text_in("Patch Mem - Text in");

}  // namespace

void ug_param_text_in::ListInterface(std::vector<InterfaceObject>& list) {
    constexpr uint32_t kBoundToPatchManager = IO_PANEL_ONLY | IO_PATCH_PARAMETER_HIGH;
    AddInterface(list, {.direction = DR_IN, .name = "Value", .flags = kBoundToPatchManager, .data_type = DT_TEXT,
                        .variable = &value_});
    AddInterface(list, {.direction = DR_OUT, .name = "Text Out", .data_type = DT_TEXT, .variable = &value_});
    AddInterface(list, {.direction = DR_IN, .name = "File Dialog", .default_value = "0", .flags = IO_PANEL_ONLY,
                        .data_type = DT_BOOL});
}
