#include "plugin/top_container.h"

#include "project/doc_objects.h"
#include "project/doc_plugs.h"
#include "project/patch_manager.h"

int CountWiredPlugs(const CContainer& top, int32_t direction, int32_t data_type) {
    int count = 0;
    for (const auto& plug : top.Plugs())
        if (plug->Direction() == direction && plug->DataType() == data_type && !plug->IsSpare()) ++count;
    return count;
}

const CPlug2* AudioPlug(const CContainer& top, int32_t direction, int index) {
    for (const auto& plug : top.Plugs()) {
        if (plug->Direction() != direction || plug->DataType() != DT_AUDIO) continue;
        if (index-- == 0) return plug.get();
    }
    return nullptr;
}
