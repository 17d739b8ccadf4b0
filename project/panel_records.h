// Panel objects of a project: panel groups, panel-control modules, control
// groups and paged groups, as their records store them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "project/doc_objects.h"

// "Panel Group": a titled frame on the panel.
class CPanelBox2 : public CDocOb {
    WS_DECLARE_CLASS(CPanelBox2)
public:
    void Serialize(archive_reader& archive) override;

    std::string title = "Group";
    ws_rect panel_rect{0, 0, 200, 150};
};

// A module that shows a panel control of its own; it keeps its own panel rectangle.
class control_ob_base : public CUG {
    WS_DECLARE_CLASS(control_ob_base)
public:
    void Serialize(archive_reader& archive) override;

    CDocOb* linked_object = nullptr;  // not owned
    ws_rect panel_rect{0, 0, 10, 10};
};

// A panel-control module built from a kind of skinned control.
class control_ob : public control_ob_base {
    WS_DECLARE_CLASS(control_ob)
public:
    void Serialize(archive_reader& archive) override;
};

class control_ob_bitmap : public control_ob {
    WS_DECLARE_CLASS(control_ob_bitmap)
};

class control_ob_bitmap_tinted : public control_ob {
    WS_DECLARE_CLASS(control_ob_bitmap_tinted)
};

class control_ob_bitmap_joystick : public control_ob {
    WS_DECLARE_CLASS(control_ob_bitmap_joystick)
};

class control_ob_text : public control_ob {
    WS_DECLARE_CLASS(control_ob_text)
};

class control_ob_list : public control_ob {
    WS_DECLARE_CLASS(control_ob_list)
};

// "Control Group": panel-control modules laid out together.
class control_group_ob : public control_ob_base {
    WS_DECLARE_CLASS(control_group_ob)
public:
    void Serialize(archive_reader& archive) override;

    std::vector<control_ob_base*> members;  // in order, not owned
};

// "Paged Group": document objects shown on numbered pages.
class CTabBox : public control_ob_base {
    WS_DECLARE_CLASS(CTabBox)
public:
    CTabBox();
    void Serialize(archive_reader& archive) override;

    struct page_entry {
        CDocOb* object;  // not owned
        int32_t page;
    };
    std::vector<page_entry> pages;  // each object once
};
