#include "project/panel_records.h"

#include <algorithm>

WS_IMPLEMENT_CLASS(CPanelBox2, CDocOb, 1, false);
WS_IMPLEMENT_CLASS(control_ob_base, CUG, 1, false);
WS_IMPLEMENT_CLASS(control_ob, control_ob_base, 1, false);
WS_IMPLEMENT_CLASS(control_ob_bitmap, control_ob, 1, false);
WS_IMPLEMENT_CLASS(control_ob_bitmap_tinted, control_ob, 1, false);
WS_IMPLEMENT_CLASS(control_ob_bitmap_joystick, control_ob, 1, false);
WS_IMPLEMENT_CLASS(control_ob_text, control_ob, 1, false);
WS_IMPLEMENT_CLASS(control_ob_list, control_ob, 1, false);
WS_IMPLEMENT_CLASS(control_group_ob, control_ob_base, 1, false);
WS_IMPLEMENT_CLASS(CTabBox, control_ob_base, 1, false);

namespace {
constexpr int32_t kLastPanelGroupWithoutDocOb = 40;
constexpr int32_t kEndOfControlRecords = -1;
// Three 32-bit values follow each control record's index.
constexpr std::size_t kControlRecordValues = 12;
}  // namespace

void CPanelBox2::Serialize(archive_reader& archive) {
    if (archive.version > kLastPanelGroupWithoutDocOb)
        ReadDocObFields(archive);
    else
        SetModuleType("Panel Group");
    title = archive.ReadText();
    panel_rect = archive.ReadRect();
}

void control_ob_base::Serialize(archive_reader& archive) {
    CUG::Serialize(archive);
    linked_object = archive.ReadObjectOf<CDocOb>();
    panel_rect = archive.ReadRect();
}

// The records describe the control's settings of an older panel; the panel
// builds its controls from the module's feature plugs instead.
void control_ob::Serialize(archive_reader& archive) {
    control_ob_base::Serialize(archive);
    while (archive.ReadInt32() != kEndOfControlRecords) archive.Skip(kControlRecordValues);
}

void control_group_ob::Serialize(archive_reader& archive) {
    control_ob_base::Serialize(archive);
    while (control_ob_base* member = archive.ReadObjectOf<control_ob_base>()) members.push_back(member);
}

CTabBox::CTabBox() { panel_rect = {0, 0, 200, 100}; }

void CTabBox::Serialize(archive_reader& archive) {
    control_ob_base::Serialize(archive);
    panel_rect = archive.ReadRect();
    while (CObject* object = archive.ReadObjectOf<CObject>()) {
        // Only document objects carry a page number; anything else cannot be shown on a page.
        if (!object->Is<CDocOb>()) continue;
        auto* document_object = static_cast<CDocOb*>(object);
        const int32_t page = archive.ReadInt32();
        const bool listed = std::any_of(pages.begin(), pages.end(),
                                        [document_object](const page_entry& entry) { return entry.object == document_object; });
        if (!listed) pages.push_back({document_object, page});
    }
}
