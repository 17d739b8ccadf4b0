// The document objects a project is made of: modules, containers, wires and
// sub-panel portals. A container owns its children, a module its plugs.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/msg_target.h"
#include "engine/plug.h"
#include "project/archive.h"
#include "project/generic_parameter.h"
#include "project/message_handle.h"
#include "project/notifier.h"

class CContainer;
class CLine2;
class CPlug2;
class CPatchManager;
class ug_base;
struct Module_Info;
class project_document;

// A named switchable feature of a document object (has_features).
struct doc_feature {
    std::string name;
    int32_t data_type;
    uint32_t flags;
};

class CDocOb : public CObject, public Notifier2 {
    WS_DECLARE_CLASS(CDocOb)
public:
    void Serialize(archive_reader& archive) override;

    Module_Info* ModuleInfo() const { return module_info_; }
    void SetModuleInfo(Module_Info* info) { module_info_ = info; }
    uint32_t TypeFlags() const;
    const std::string& TypeId() const;

    CContainer* Parent() const { return parent_; }
    void SetParent(CContainer* parent) { parent_ = parent; }
    // The document this object belongs to, through its root container.
    project_document* Document() const;

    // Named parameters, such as "Title" or "Program"; none by default.
    virtual generic_parameter* FindParameter(const std::string& name) { return nullptr; }
    virtual std::vector<doc_feature> Features() const { return {}; }
    // Called once after reading, or after creation.
    virtual void Initialise(bool after_load) {}

    // The identity this object and its unit generator answer messages under.
    int32_t MessageHandle() const { return message_handle_; }

protected:
    // The CDocOb fields; the class reads them itself where its record says.
    void ReadDocObFields(archive_reader& archive);
    // Binds the object to the registry entry of that ID (or "BI" + legacy number).
    void SetModuleType(const std::string& unique_id);

private:
    Module_Info* module_info_ = nullptr;
    CContainer* parent_ = nullptr;
    int32_t message_handle_ = message_handles::Next();
    // The type ID an archive named when the registry does not know it.
    std::string unknown_type_id_;
};

class CUG : public CDocOb, public ui_msg_target {
    WS_DECLARE_CLASS(CUG)
public:
    // "refr" from the unit generator: the module shows what the audio side holds.
    void OnPanelMessage(int32_t code, message_stream& stream) override;
    virtual void OnRefresh() {}

    CUG();
    ~CUG() override;
    void Serialize(archive_reader& archive) override;

    // Plugs, kept in ascending order of description index.
    const std::vector<std::unique_ptr<CPlug2>>& Plugs() const { return plugs_; }
    CPlug2* AddPlug(std::unique_ptr<CPlug2> plug);
    std::unique_ptr<CPlug2> RemovePlug(CPlug2* plug);
    // The n-th plug (from 0) with that direction and data type, or none.
    CPlug2* FindPlug(int32_t direction, int32_t data_type, int n = 0) const;
    CPlug2* FindPlugByName(const std::string& name) const;
    int PlugIndex(const CPlug2* plug) const;

    // Gives a new module its plugs from its module type's descriptions.
    void CreatePlugsFromType();
    // The description at that index of the type's plug list, or none.
    const InterfaceObject* Description(int index) const;
    // The list text as this module presents it: "{AUTO}" becomes the names of
    // its wired auto-duplicating plugs.
    std::string PresentListText(const std::string& list_text) const;
    void RefreshAutomaticLists();
    // After a wire went: removes an auto-duplicating plug left without wires.
    void CheckPlugForRemoval(CPlug2* plug);

    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& title) { title_ = title; }
    // Own flag, or any container above disabled.
    bool IsDisabled() const;
    bool OwnDisabled() const { return disabled_; }
    void SetDisabled(bool disabled);
    const ws_rect& Position() const { return position_; }
    void SetPosition(const ws_rect& rect) { position_ = rect; }
    std::vector<doc_feature> Features() const override;
    generic_parameter* FindParameter(const std::string& name) override;
    void Initialise(bool after_load) override;

    // Set by graph construction, cleared when the graph goes; not owned.
    ug_base* unit_generator = nullptr;
    // Tells the unit generator, if the engine runs, through the panel queue.
    void NotifyUnitGenerator(int32_t code, int32_t value = 0) const;

protected:
    void ReadUGFields(archive_reader& archive);

private:
    std::vector<std::unique_ptr<CPlug2>> plugs_;
    std::unique_ptr<generic_parameter> title_parameter_;
    std::string title_;
    bool disabled_ = false;
    ws_rect position_{0, 0, 20, 20};
};

class CUG_with_patches : public CUG {
    WS_DECLARE_CLASS(CUG_with_patches)
};

// Feature indices of a container.
enum container_feature : int {
    CF_CONTROLS_ON_PARENT = 0,
    CF_CONTROLS_ON_MODULE = 1,
    CF_IGNORE_PROGRAM_CHANGE = 2,
};

class CContainer : public CUG_with_patches {
    WS_DECLARE_CLASS(CContainer)
public:
    CContainer();
    ~CContainer() override;
    void Serialize(archive_reader& archive) override;

    const std::vector<std::unique_ptr<CDocOb>>& Children() const { return children_; }
    // Wires go to the end, anything else to the front.
    CDocOb* AddChild(std::unique_ptr<CDocOb> child);
    std::unique_ptr<CDocOb> RemoveChild(CDocOb* child);
    // The child that is this container's "IO Mod", made when missing.
    CUG* GetIOModule();
    CUG* FindIOModule() const;

    CPatchManager* PatchManager() const { return patch_manager_.get(); }
    void SetPatchManager(std::unique_ptr<CPatchManager> manager);
    bool HoldsPatchSelect() const;
    // Whether this container follows the host's program changes.
    bool FollowsProgramChanges() const;

    bool Feature(container_feature feature) const { return features_[feature]; }
    void SetFeature(container_feature feature, bool on) { features_[feature] = on; }
    std::vector<doc_feature> Features() const override;
    const std::string& SkinName() const { return skin_name_; }
    // "Skin", "Program" and "Program Name", besides the module's own.
    generic_parameter* FindParameter(const std::string& name) override;
    bool HidePlugs() const { return hide_plugs_; }
    void SetHidePlugs(bool hide) { hide_plugs_ = hide; }
    uint32_t ContainerFlags() const { return flags_; }
    const ws_rect& ContainerRect() const { return container_rect_; }
    void Initialise(bool after_load) override;

    // Set on the root container only.
    project_document* document = nullptr;

private:
    void ReadOldPrograms(archive_reader& archive);

    std::vector<std::unique_ptr<CDocOb>> children_;
    std::unique_ptr<CPatchManager> patch_manager_;
    bool features_[3] = {false, false, false};
    ws_rect container_rect_;
    ws_rect view_rects_[2];
    ws_point view_points_[2];
    uint32_t flags_ = 0;
    std::string skin_name_ = "default";
    bool hide_plugs_ = false;
    std::vector<std::unique_ptr<generic_parameter>> container_parameters_;
};

class CLine2 : public CDocOb {
    WS_DECLARE_CLASS(CLine2)
public:
    void Serialize(archive_reader& archive) override;
    // From plug: A unless A is an input or B an output.
    void SetEnds(CPlug2* a, CPlug2* b);

    CPlug2* from = nullptr;
    CPlug2* to = nullptr;
    bool Highlighted() const { return highlighted_; }
    void SetHighlighted(bool on);

private:
    bool highlighted_ = false;
};

class CPortal : public CDocOb {
    WS_DECLARE_CLASS(CPortal)
public:
    void Serialize(archive_reader& archive) override;
    generic_parameter* FindParameter(const std::string& name) override;

    // The container (or hosted plug-in module) whose panel the portal shows.
    CDocOb* Target() const;
    std::string SubPanelListText() const;

    std::string target_name;
    ws_rect panel_rect{0, 0, 200, 150};
    int32_t scroll_bars = 0;  // 0 Auto, 1 None, 2 Enable

private:
    std::unique_ptr<generic_parameter> sub_panel_parameter_;
    std::unique_ptr<generic_parameter> scroll_bars_parameter_;
};

// Module classes with a record beyond their base's.
class CUG2 : public CUG {
    WS_DECLARE_CLASS(CUG2)
public:
    void Serialize(archive_reader& archive) override;
    ws_rect rect;
};

class CControlPlugs : public CUG {
    WS_DECLARE_CLASS(CControlPlugs)
};

class CPlugin : public CUG {
    WS_DECLARE_CLASS(CPlugin)
public:
    void Serialize(archive_reader& archive) override;
    std::string library_name;
};

class CPlugin2 : public CPlugin {
    WS_DECLARE_CLASS(CPlugin2)
public:
    void Serialize(archive_reader& archive) override;
    ws_rect rect;
};
