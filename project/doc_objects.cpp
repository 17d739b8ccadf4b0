#include "project/doc_objects.h"

#include <algorithm>
#include <cstdlib>

#include "engine/audio_master.h"
#include "engine/ug_base.h"
#include "project/doc_parameters.h"
#include "project/enum_list.h"
#include "project/doc_plugs.h"
#include "project/module_registry.h"
#include "project/patch_manager.h"
#include "project/programs.h"
#include "project/project_document.h"

WS_IMPLEMENT_ABSTRACT_CLASS(CDocOb, CObject);
WS_IMPLEMENT_CLASS(CUG, CDocOb, 1, false);
WS_IMPLEMENT_CLASS(CUG_with_patches, CUG, 1, false);
WS_IMPLEMENT_CLASS(CContainer, CUG_with_patches, 95, true);
WS_IMPLEMENT_CLASS(CLine2, CDocOb, 1, false);
WS_IMPLEMENT_CLASS(CPortal, CDocOb, 1, false);
WS_IMPLEMENT_CLASS(CUG2, CUG, 1, false);
WS_IMPLEMENT_CLASS(CControlPlugs, CUG, 1, false);
WS_IMPLEMENT_CLASS(CPlugin, CUG, 1, false);
WS_IMPLEMENT_CLASS(CPlugin2, CPlugin, 1, false);

namespace {
const std::string kNoTypeId;

// Version rules of the records below.
constexpr int32_t kFirstWithDocObFields = 8;       // CDocOb type field
constexpr int32_t kFirstWithTypeIdText = 79;       // type named by text, not legacy number
constexpr int32_t kLastWithParentLink = 58;        // old parent reference
constexpr int32_t kFirstModuleWithDocOb = 37;      // CUG records carry the CDocOb part
constexpr int32_t kFirstWithChildTerminator = 95321;
}  // namespace

// ---- CDocOb -------------------------------------------------------------------

void CDocOb::Serialize(archive_reader& archive) { ReadDocObFields(archive); }

void CDocOb::ReadDocObFields(archive_reader& archive) {
    if (archive.version >= kFirstWithDocObFields) {
        if (archive.version < kFirstWithTypeIdText) {
            const int32_t legacy_id = archive.ReadInt32();
            if (legacy_id >= 0) SetModuleType(ModuleRegistry::Instance().NameForLegacyId(legacy_id));
        } else {
            SetModuleType(archive.ReadText());
        }
    }
    if (archive.version <= kLastWithParentLink) archive.ReadObjectOf<CDocOb>();
}

void CDocOb::SetModuleType(const std::string& unique_id) {
    module_info_ = ModuleRegistry::Instance().FindModule(unique_id);
    unknown_type_id_ = module_info_ == nullptr ? unique_id : std::string();
}

uint32_t CDocOb::TypeFlags() const { return module_info_ != nullptr ? module_info_->flags : 0; }

const std::string& CDocOb::TypeId() const {
    return module_info_ != nullptr ? module_info_->unique_id : unknown_type_id_.empty() ? kNoTypeId : unknown_type_id_;
}

project_document* CDocOb::Document() const {
    const CDocOb* object = this;
    while (object->parent_ != nullptr) object = object->parent_;
    const auto* root = dynamic_cast<const CContainer*>(object);
    return root != nullptr ? root->document : nullptr;
}

// ---- CUG ----------------------------------------------------------------------

CUG::CUG() = default;
CUG::~CUG() = default;

void CUG::Serialize(archive_reader& archive) {
    if (archive.version >= kFirstModuleWithDocOb) ReadDocObFields(archive);
    ReadUGFields(archive);
}

void CUG::ReadUGFields(archive_reader& archive) {
    for (CPlug2* plug : archive.ReadObjectList<CPlug2>()) {
        plug->owner = this;
        plugs_.push_back(archive.Adopt(plug));
    }
    title_ = archive.ReadText();
    if (archive.version < kFirstWithDocObFields) {
        const int32_t legacy_id = archive.ReadInt32();
        SetModuleType(ModuleRegistry::Instance().NameForLegacyId(legacy_id));
    }
    disabled_ = archive.ReadInt16() != 0;
    if (archive.version >= kFirstModuleWithDocOb) position_ = archive.ReadRect();
}

bool CUG::IsDisabled() const {
    if (disabled_) return true;
    for (const CContainer* container = Parent(); container != nullptr; container = container->Parent())
        if (container->OwnDisabled()) return true;
    return false;
}

void CUG::SetDisabled(bool disabled) {
    if (disabled == disabled_) return;
    disabled_ = disabled;
    Notify(NOTIFY_DISABLED_CHANGED, this);
}

std::vector<doc_feature> CUG::Features() const { return {{"Short Name", DT_TEXT, 0x100}}; }

generic_parameter* CUG::FindParameter(const std::string& name) {
    if (name != "Title") return nullptr;
    if (!title_parameter_) {
        title_parameter_ = std::make_unique<field_parameter>(
            "Title", DT_TEXT, [this] { return title_; }, [this](const std::string& text) { title_ = text; });
    }
    return title_parameter_.get();
}

void CUG::OnPanelMessage(int32_t code, message_stream& stream) {
    if (code == MessageCode("refr")) OnRefresh();
}

void CUG::NotifyUnitGenerator(int32_t code, int32_t value) const {
    if (unit_generator != nullptr && unit_generator->audio_master != nullptr)
        unit_generator->audio_master->PostPanelNotification(unit_generator->Handle(), code, value);
}

void CUG::Initialise(bool after_load) {
    for (const auto& plug : plugs_) plug->owner = this;
}

// ---- CContainer ---------------------------------------------------------------

CContainer::CContainer() = default;

CContainer::~CContainer() {
    // Wires first: they point at plugs of the modules that follow.
    while (!children_.empty()) children_.pop_back();
}

void CContainer::Serialize(archive_reader& archive) {
    CUG::Serialize(archive);
    const int32_t v = archive.version;
    if (v < 10) {
        for (CDocOb* child : archive.ReadObjectList<CDocOb>()) AddChild(archive.Adopt(child));
    } else {
        if (v > 95269) {
            if (CPatchManager* manager = archive.ReadObjectOf<CPatchManager>()) patch_manager_ = archive.Adopt(manager);
        }
        const bool counted = v < kFirstWithChildTerminator;
        const int64_t count = counted ? archive.ReadInt32() : -1;
        for (int64_t read = 0; !counted || read < count; ++read) {
            CObject* child = archive.ReadObject(nullptr);
            if (child == nullptr) break;
            if (child->Is<CDocOb>() && archive.IsUnowned(child))
                AddChild(archive.Adopt(static_cast<CDocOb*>(child)));
        }
    }
    if (v > 94950) container_rect_ = archive.ReadRect();
    view_rects_[0] = archive.ReadRect();
    view_rects_[1] = archive.ReadRect();
    if (v > 27) {
        view_points_[0] = archive.ReadPoint();
        view_points_[1] = archive.ReadPoint();
    }
    if (v > 8) flags_ = archive.ReadUInt32();
    if (v > 47) skin_name_ = archive.ReadText();
    if (v > 49 && v < 95270) ReadOldPrograms(archive);
    if (v > 94950) hide_plugs_ = archive.ReadBool();
    if (v < 94811) SetModuleType("Container");
}

void CContainer::ReadOldPrograms(archive_reader& archive) {
    const std::vector<std::string> names = archive.ReadTextList();
    const int32_t current = archive.ReadInt32();
    if (!patch_manager_) patch_manager_ = std::make_unique<CPatchManager>();
    for (std::size_t program = 0; program < names.size(); ++program)
        patch_manager_->SetProgramName(static_cast<int>(program), names[program]);
    patch_manager_->SetCurrentProgram(current);
}

CDocOb* CContainer::AddChild(std::unique_ptr<CDocOb> child) {
    child->SetParent(this);
    CDocOb* added = child.get();
    if (added->Is<CLine2>())
        children_.push_back(std::move(child));
    else
        children_.insert(children_.begin(), std::move(child));
    Notify(NOTIFY_CHILD_ADDED, this, added);
    return added;
}

std::unique_ptr<CDocOb> CContainer::RemoveChild(CDocOb* child) {
    auto found = std::find_if(children_.begin(), children_.end(), [child](const auto& c) { return c.get() == child; });
    if (found == children_.end()) return nullptr;
    std::unique_ptr<CDocOb> removed = std::move(*found);
    children_.erase(found);
    removed->Notify(NOTIFY_CHILD_REMOVED, removed.get());
    removed->SetParent(nullptr);
    return removed;
}

CUG* CContainer::FindIOModule() const {
    for (const auto& child : children_)
        if ((child->TypeFlags() & MF_IO_MODULE) != 0 && child->Is<CUG>()) return static_cast<CUG*>(child.get());
    return nullptr;
}

CUG* CContainer::GetIOModule() {
    if (CUG* existing = FindIOModule()) return existing;
    std::unique_ptr<CDocOb> created = ModuleRegistry::Instance().CreateDocObject("IO Mod");
    if (!created || !created->Is<CUG>()) return nullptr;
    auto* io = static_cast<CUG*>(AddChild(std::move(created)));
    io->CreatePlugsFromType();
    io->Initialise(false);
    ws_rect rect = io->Position();
    rect.left += 20;
    rect.right += 20;
    rect.top += 20;
    rect.bottom += 20;
    io->SetPosition(rect);
    return io;
}

void CContainer::SetPatchManager(std::unique_ptr<CPatchManager> manager) { patch_manager_ = std::move(manager); }

bool CContainer::HoldsPatchSelect() const {
    return std::any_of(children_.begin(), children_.end(),
                       [](const auto& child) { return child->TypeId() == "Patch Select"; });
}

bool CContainer::FollowsProgramChanges() const {
    for (const CContainer* container = this; container != nullptr; container = container->Parent()) {
        if (container->HoldsPatchSelect()) return true;
        if (container->Feature(CF_IGNORE_PROGRAM_CHANGE)) return false;
    }
    return false;
}

namespace {

std::vector<std::string> SkinNames(const CContainer& container) {
    std::vector<std::string> names;
    if (const project_document* document = container.Document())
        for (const skin_record& skin : document->skins) names.push_back(skin.name);
    if (names.empty()) names.push_back("default");
    return names;
}

std::string JoinedNames(const std::vector<std::string>& names) {
    std::string joined;
    for (const std::string& name : names) joined += (joined.empty() ? "" : ",") + name;
    return joined;
}

}  // namespace

generic_parameter* CContainer::FindParameter(const std::string& name) {
    if (container_parameters_.empty()) {
        container_parameters_.push_back(std::make_unique<field_parameter>(
            "Skin", DT_INT,
            [this] {
                const std::vector<std::string> names = SkinNames(*this);
                const auto found = std::ranges::find(names, skin_name_);
                return std::to_string(found != names.end() ? found - names.begin() : 0);
            },
            [this](const std::string& text) {
                const std::vector<std::string> names = SkinNames(*this);
                const int index = ReadListValue(text);
                if (index >= 0 && index < static_cast<int>(names.size())) skin_name_ = names[index];
            },
            [this] { return JoinedNames(SkinNames(*this)); }));
        container_parameters_.push_back(std::make_unique<field_parameter>(
            "Program", DT_INT,
            [this] {
                const CPatchManager* programs = ProgramsOf(*this);
                return std::to_string(programs != nullptr ? programs->CurrentProgram() : 0);
            },
            [this](const std::string& text) { SelectProgram(*ProgramOwner(*this), ReadListValue(text)); }));
        container_parameters_.push_back(std::make_unique<field_parameter>(
            "Program Name", DT_TEXT,
            [this] {
                const CPatchManager* programs = ProgramsOf(*this);
                return programs != nullptr ? programs->ProgramName(-1) : std::string();
            },
            [this](const std::string& text) {
                if (CPatchManager* programs = ProgramsOf(*this)) programs->SetProgramName(-1, text);
            },
            [this] {
                std::vector<std::string> names;
                const CPatchManager* programs = ProgramsOf(*this);
                for (int32_t program = 0; programs != nullptr && program < kProgramCount; ++program)
                    names.push_back(programs->ProgramName(program) + (program == 0 ? "=0" : ""));
                return JoinedNames(names);
            }));
    }
    for (const auto& parameter : container_parameters_)
        if (parameter->getName() == name) return parameter.get();
    return CUG::FindParameter(name);
}

std::vector<doc_feature> CContainer::Features() const {
    std::vector<doc_feature> features = CUG::Features();
    features.push_back({"Controls on Parent", DT_BOOL, 0x1000});
    features.push_back({"Controls on Module", DT_BOOL, 0x2000});
    features.push_back({"Ignore Program Change", DT_BOOL, 0x2000});
    return features;
}

void CContainer::Initialise(bool after_load) {
    if (!patch_manager_ && (Parent() == nullptr || HoldsPatchSelect())) patch_manager_ = std::make_unique<CPatchManager>();
    CUG::Initialise(after_load);
    for (const auto& child : children_) child->Initialise(after_load);
    if (after_load) {
        if (CPlug2* spare = FindPlugByName("Spare")) spare->hidden = hide_plugs_;
    }
}

// ---- CLine2 -------------------------------------------------------------------

void CLine2::Serialize(archive_reader& archive) {
    if (archive.version >= kFirstModuleWithDocOb) {
        ReadDocObFields(archive);
        if (archive.version < 94811 && ModuleInfo() == nullptr) SetModuleType("Line");
    }
    from = archive.ReadObjectOf<CPlug2>();
    to = archive.ReadObjectOf<CPlug2>();
}

void CLine2::SetEnds(CPlug2* a, CPlug2* b) {
    const bool a_is_from = a->Direction() != DR_IN && b->Direction() != DR_OUT;
    from = a_is_from ? a : b;
    to = a_is_from ? b : a;
}

void CLine2::SetHighlighted(bool on) {
    highlighted_ = on;
    Notify(NOTIFY_RECT_CHANGED, this);
    Notify(NOTIFY_HIGHLIGHT_CHANGED, this);
}

// ---- CPortal ------------------------------------------------------------------

void CPortal::Serialize(archive_reader& archive) {
    ReadDocObFields(archive);
    target_name = archive.ReadText();
    panel_rect = archive.ReadRect();
    scroll_bars = archive.version >= 68 ? archive.ReadInt32() : 3;
}

namespace {
bool CanBePortalTarget(const CDocOb& object) {
    return object.Is<CContainer>() || object.TypeId() == "VST Plugin";
}

std::string TitleOf(const CDocOb& object) {
    return object.Is<CUG>() ? static_cast<const CUG&>(object).Title() : std::string();
}
}  // namespace

CDocOb* CPortal::Target() const {
    if (target_name.empty() || Parent() == nullptr) return nullptr;
    for (const auto& child : Parent()->Children())
        if (CanBePortalTarget(*child) && TitleOf(*child) == target_name) return child.get();
    return nullptr;
}

std::string CPortal::SubPanelListText() const {
    std::string list = "<none>";
    if (Parent() == nullptr) return list;
    for (const auto& child : Parent()->Children())
        if (CanBePortalTarget(*child)) list += "," + TitleOf(*child);
    return list;
}

generic_parameter* CPortal::FindParameter(const std::string& name) {
    const auto changed = [this] {
        Notify(NOTIFY_PORTAL_CHANGED, this);
        if (Parent() != nullptr) Parent()->Notify(NOTIFY_PLUGS_CHANGED, Parent(), this);
    };
    if (name == "Sub Panel") {
        if (!sub_panel_parameter_) {
            sub_panel_parameter_ = std::make_unique<field_parameter>(
                "Sub Panel", DT_ENUM,
                [this] {
                    const it_enum_list list(SubPanelListText());
                    for (int64_t i = 0; i < list.Count(); ++i)
                        if (list.NameAt(i) == target_name) return std::to_string(list.ValueAt(i));
                    return std::string("0");
                },
                [this, changed](const std::string& text) {
                    const it_enum_list list(SubPanelListText());
                    const int64_t position = list.PositionOfValue(std::atoi(text.c_str()));
                    target_name = position > 0 ? list.NameAt(position) : std::string();
                    changed();
                },
                [this] { return SubPanelListText(); });
        }
        return sub_panel_parameter_.get();
    }
    if (name == "Scroll Bars") {
        if (!scroll_bars_parameter_) {
            scroll_bars_parameter_ = std::make_unique<field_parameter>(
                "Scroll Bars", DT_ENUM, [this] { return std::to_string(scroll_bars); },
                [this, changed](const std::string& text) {
                    scroll_bars = std::atoi(text.c_str());
                    changed();
                },
                [] { return std::string("Auto,None,Enable"); });
        }
        return scroll_bars_parameter_.get();
    }
    return nullptr;
}

// ---- modules with a record of their own ------------------------------------------

void CUG2::Serialize(archive_reader& archive) {
    CUG::Serialize(archive);
    rect = archive.ReadRect();
}

void CPlugin::Serialize(archive_reader& archive) {
    CUG::Serialize(archive);
    library_name = archive.ReadText();
}

void CPlugin2::Serialize(archive_reader& archive) {
    CPlugin::Serialize(archive);
    rect = archive.ReadRect();
}
