#include "project/doc_plugs.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "engine/ug_base.h"
#include "project/archive.h"
#include "project/doc_objects.h"
#include "project/enum_list.h"
#include "project/module_registry.h"
#include "project/project_document.h"

WS_IMPLEMENT_CLASS(CPlug2, CObject, 2, true);
WS_IMPLEMENT_CLASS(CPlugNameable, CPlug2, 1, false);
WS_IMPLEMENT_CLASS(CPlugIO2, CPlugNameable, 1, false);
WS_IMPLEMENT_CLASS(CPlugControled, CPlugNameable, 1, false);
WS_IMPLEMENT_CLASS(CPlugFeature, CPlug2, 1, false);
WS_IMPLEMENT_CLASS(CPlugFeature2, CPlugFeature, 1, false);
WS_IMPLEMENT_CLASS(CPlugFeature3, CPlugFeature, 1, false);
WS_IMPLEMENT_CLASS(CPlugFeature4, CPlugFeature, 1, false);
WS_IMPLEMENT_CLASS(CPlugGui, CPlug2, 1, false);

namespace {

// Boundary plugs keep their own type, duplicate and take the name of what they meet.
constexpr uint32_t kBoundaryFlags = DPF_OWN_TYPE | DPF_AUTO_DUPLICATE | DPF_TAKES_NAME;
// Patch-parameter bits belong to the represented plug alone, not to the plugs standing for it.
constexpr uint32_t kPatchParameterBits = 0x18000;
// Boundary chains are walked by following pointers a malformed project could loop.
constexpr int kRepresentedPlugSteps = 1001;
// The first archive version whose plugs list their wires.
constexpr int32_t kFirstVersionWithPlugWires = 36;
constexpr int32_t kFirstVersionWithBoundaryType = 94962;
constexpr int32_t kFirstVersionWithFeatureFlags = 95162;

// A plug outside its module type's list behaves as one with an empty description.
const InterfaceObject& DescriptionOf(const CPlug2& plug) {
    static const InterfaceObject empty;
    const InterfaceObject* description = plug.Description();
    return description != nullptr ? *description : empty;
}

void MarkModified(const CUG* module) {
    if (module == nullptr) return;
    if (project_document* document = module->Document()) document->modified = true;
}

std::string NumberText(float value) {
    char digits[32];
    const auto written = std::to_chars(digits, digits + sizeof digits, value);
    return std::string(digits, written.ptr);
}

bool HasWireToEnabledModule(const CPlug2& plug) {
    return std::any_of(plug.wires.begin(), plug.wires.end(), [&plug](const CLine2* wire) {
        const CPlug2* other = plug.OtherEnd(wire);
        return other != nullptr && other->owner != nullptr && !other->owner->IsDisabled();
    });
}

// Graph construction makes an audio plug for these document plugs only, in
// plug order; counting them finds a document plug's audio plug.
bool HasAudioPlug(const CPlug2& plug) {
    if (plug.IsSpare()) return false;
    return !plug.IsParameterStyle() || (plug.Flags() & DPF_PATCH_MANAGER) == DPF_PATCH_MANAGER;
}

bool TakesDefault(const CPlug2& plug) {
    if (plug.IsParameterStyle()) return false;
    if ((plug.Flags() & DPF_TAKES_VALUE) != 0) return true;
    const int32_t direction = plug.Direction();
    return (direction == DR_IN || direction == DR_PARAMETER) && !HasWireToEnabledModule(plug);
}

// A value typed while the patch plays reaches the running graph at once.
void ApplyDefaultToAudioSide(const CPlug2& plug, const std::string& text) {
    CUG* module = plug.owner;
    if (module == nullptr || module->unit_generator == nullptr) return;
    if (!TakesDefault(plug) || !HasAudioPlug(plug)) return;
    int position = 0;
    for (const auto& sibling : module->Plugs()) {
        if (sibling.get() == &plug) break;
        if (HasAudioPlug(*sibling)) ++position;
    }
    ug_base* unit_generator = module->unit_generator;
    if (position < unit_generator->PlugCount()) unit_generator->ApplyDefault(unit_generator->GetPlug(position), text);
}

void TakeNameFrom(CPlug2& plug, const CPlug2* other) {
    if (other == nullptr || !plug.Is<CPlugNameable>()) return;
    static_cast<CPlugNameable&>(plug).SetName(other->Name());
}

// Wiring a spare makes it a real plug; a new spare takes its place, and a
// boundary spare's new partner gets one on its side too.
void LeaveSpareBehind(CPlug2& plug, const CLine2& wire) {
    CPlugIO2* counterpart = plug.Counterpart();
    if (counterpart != nullptr && !counterpart->wires.empty()) return;
    if (counterpart != nullptr && counterpart->owner != nullptr) counterpart->owner->AddPlug(counterpart->FreshCopy());
    if ((plug.Flags() & DPF_TAKES_NAME) != 0) TakeNameFrom(plug, plug.OtherEnd(&wire));
    if (plug.owner != nullptr) plug.owner->AddPlug(plug.FreshCopy());
}

std::unique_ptr<CPlugIO2> MakeBoundaryPlug(const std::string& name, int16_t index) {
    auto plug = std::make_unique<CPlugIO2>();
    plug->description_index = index;
    plug->StoreName(name);
    return plug;
}

// One step from a boundary plug towards the module plug it stands for:
// across the boundary at a plug of the crossing direction, else along its first wire.
const CPlug2* NextTowardsRepresented(const CPlug2& at, int32_t crossing_direction) {
    if (at.Direction() == crossing_direction) return at.Counterpart();
    return at.wires.empty() ? nullptr : at.OtherEnd(at.wires.front());
}

const CPlug2* WalkBoundaryChain(const CPlugIO2& start, int32_t crossing_direction, int& steps_left) {
    const CPlug2* at = &start;
    while (steps_left > 0) {
        const CPlug2* next = NextTowardsRepresented(*at, crossing_direction);
        if (next == nullptr || next == &start || next->Direction() == DR_CONTAINER_IO) break;
        at = next;
        --steps_left;
    }
    return at;
}

bool AcceptsOneWireOnly(const CPlug2& plug) {
    const bool single = plug.IsParameterStyle() ? plug.Direction() != DR_IN : plug.Direction() == DR_IN;
    const int32_t type = plug.DataType();
    return single && type != DT_MIDI && type != DT_AUDIO;
}

bool RefusesFurtherWire(const CPlug2& plug) { return AcceptsOneWireOnly(plug) && !plug.wires.empty(); }

bool IsWiredListOutput(const CPlug2& plug) {
    return plug.DataType() == DT_ENUM && plug.Direction() == DR_OUT && !plug.wires.empty();
}

bool ListFits(const CPlug2& plug, const std::string& list_text) {
    return (plug.Flags() & DPF_ANY_LIST) != 0 || ListsCompatible(plug.ListText(), list_text);
}

bool AlreadyJoined(const CPlug2& a, const CPlug2& b) {
    return std::any_of(a.wires.begin(), a.wires.end(), [&](const CLine2* wire) { return a.OtherEnd(wire) == &b; });
}

bool Refuse(std::string& message, const char* text) {
    message = text;
    return false;
}

}  // namespace

// ---- CPlug2 -------------------------------------------------------------------

void CPlug2::Serialize(archive_reader& archive) {
    description_index = archive.ReadInt16();
    value_text_ = archive.ReadText();
    if (archive.version < kFirstVersionWithPlugWires) return;
    for (CLine2* wire : archive.ReadObjectList<CLine2>())
        if (wire != nullptr) wires.push_back(wire);
}

const InterfaceObject* CPlug2::Description() const {
    return owner != nullptr ? owner->Description(description_index) : nullptr;
}

int32_t CPlug2::Direction() const { return DescriptionOf(*this).direction; }
int32_t CPlug2::DataType() const { return DescriptionOf(*this).data_type; }
std::string CPlug2::Name() const { return DescriptionOf(*this).name; }
uint32_t CPlug2::Flags() const { return DescriptionOf(*this).flags; }
std::string CPlug2::RawListText() const { return DescriptionOf(*this).list_values; }

std::string CPlug2::DescriptionListText() const {
    return owner != nullptr ? owner->PresentListText(RawListText()) : RawListText();
}

std::unique_ptr<CPlug2> CPlug2::FreshCopy() const { return MakePlugForDescription(DescriptionOf(*this), description_index); }

bool CPlug2::IsSpare() const {
    if ((Flags() & DPF_AUTO_DUPLICATE) == 0 || !wires.empty()) return false;
    const CPlugIO2* counterpart = Counterpart();
    return counterpart == nullptr || counterpart->wires.empty();
}

bool CPlug2::IsShown() const {
    if (!wires.empty()) return true;
    const uint32_t flags = Flags();
    if ((flags & DPF_SHOWN_UNLESS_HIDE_PLUGS) != 0) {
        const CContainer* container = owner != nullptr ? owner->Parent() : nullptr;
        return container == nullptr || !container->HidePlugs();
    }
    if (Direction() == DR_PARAMETER || hidden) return false;
    return (flags & (DPF_HIDDEN | DPF_HIDDEN_2)) == 0;
}

bool CPlug2::HasAutomaticList() const {
    if (DataType() != DT_ENUM) return false;
    return IsParameterStyle() ? (Flags() & DPF_AUTOMATIC_LIST) != 0 : RawListText() == kAutomaticListText;
}

std::string CPlug2::ListText() const {
    if (Direction() != DR_OUT) return DescriptionListText();
    if (wires.empty()) return {};
    // The far end of an output's wire is an input with a list of its own;
    // asking it plainly keeps a malformed output-to-output wire from looping.
    const CPlug2* other = OtherEnd(wires.front());
    return other != nullptr ? other->DescriptionListText() : std::string();
}

CPlug2* CPlug2::OtherEnd(const CLine2* wire) const {
    if (wire == nullptr) return nullptr;
    return wire->from == this ? wire->to : wire->from;
}

void CPlug2::SetValueText(const std::string& text) {
    if (text == value_text_) return;
    value_text_ = text;
    Notify(NOTIFY_VALUE_CHANGED, this);
    ApplyDefaultToAudioSide(*this, text);
    MarkModified(owner);
}

void CPlug2::AttachWire(CLine2* wire) {
    wires.push_back(wire);
    if (wires.size() == 1) {
        if ((Flags() & DPF_TAKES_VALUE) != 0 && wire->to != nullptr) SetValueText(wire->to->ValueText());
        if ((Flags() & DPF_AUTO_DUPLICATE) != 0) LeaveSpareBehind(*this, *wire);
    }
    // The names of wired auto-duplicating plugs make up automatic lists.
    if (DataType() == DT_ENUM) Notify(NOTIFY_AUTO_LIST_CHANGED, this);
}

void CPlug2::DropWire(CLine2* wire) { std::erase(wires, wire); }

std::string CPlug2::getUnits() const { return DataType() == DT_AUDIO ? "Volts" : ""; }

std::string CPlug2::getFileType() const { return (Flags() & DPF_FILE_NAME) != 0 ? ListText() : std::string(); }

float CPlug2::getNormalised() const {
    switch (DataType()) {
        case DT_ENUM: {
            const it_enum_list list(ListText());
            const int64_t position = list.PositionOfValue(ReadListValue(value_text_));
            if (list.Count() < 2 || position < 0) return 0.0f;
            return static_cast<float>(static_cast<double>(position) / static_cast<double>(list.Count() - 1));
        }
        case DT_DOUBLE: return static_cast<float>(std::strtod(value_text_.c_str(), nullptr) * 0.1);
        case DT_BOOL: return value_text_ == "1" ? 1.0f : 0.0f;
        default: return 0.0f;
    }
}

void CPlug2::setNormalised(float value) {
    switch (DataType()) {
        case DT_ENUM: {
            const it_enum_list list(ListText());
            if (list.Count() == 0) return;
            // Values outside 0..1 (or not a number) pick the nearest end.
            const double last = static_cast<double>(list.Count() - 1);
            const double scaled = std::floor((static_cast<double>(list.Count()) - 0.00001) * value);
            const double position = scaled >= 0.0 ? std::min(scaled, last) : 0.0;
            SetValueText(std::to_string(list.ValueAt(static_cast<int64_t>(position))));
            return;
        }
        case DT_BOOL: SetValueText(value > 0.5f ? "1" : "0"); return;
        default: return;
    }
}

// ---- CPlugNameable ------------------------------------------------------------

void CPlugNameable::Serialize(archive_reader& archive) {
    CPlug2::Serialize(archive);
    name_ = archive.ReadText();
}

void CPlugNameable::SetName(const std::string& name) {
    if (name == name_) return;
    name_ = name;
    Notify(NOTIFY_PLUG_RENAMED, this);
    if (owner != nullptr) AnnouncePlugsChanged(*owner);
    // The two plugs of a boundary pair carry one name.
    if (CPlugIO2* counterpart = Counterpart()) counterpart->SetName(name);
}

// ---- CPlugIO2 -----------------------------------------------------------------

void CPlugIO2::Serialize(archive_reader& archive) {
    CPlugNameable::Serialize(archive);
    direction = archive.ReadInt16();
    counterpart = archive.ReadObjectOf<CPlugIO2>();
    if (archive.version >= kFirstVersionWithBoundaryType) data_type = archive.ReadInt16();
}

uint32_t CPlugIO2::Flags() const {
    const CPlug2* represented = RepresentedPlug();
    if (represented->Is<CPlugIO2>()) return DPF_ANY_LIST | kBoundaryFlags;
    return (represented->Flags() & ~kPatchParameterBits) | kBoundaryFlags;
}

std::string CPlugIO2::DescriptionListText() const {
    const CPlug2* represented = RepresentedPlug();
    if (represented->Is<CPlugIO2>() || represented->Direction() != DR_IN) return {};
    return represented->DescriptionListText();
}

std::unique_ptr<CPlug2> CPlugIO2::FreshCopy() const { return MakeBoundaryPlug(DescriptionOf(*this).name, description_index); }

CPlug2* CPlugIO2::RepresentedPlug() const {
    int steps_left = kRepresentedPlugSteps;
    // First the module input this plug's signal finally reaches, else the
    // module output that feeds it.
    for (const int32_t crossing_direction : {DR_IN, DR_OUT}) {
        const CPlug2* reached = WalkBoundaryChain(*this, crossing_direction, steps_left);
        if (!reached->Is<CPlugIO2>()) return const_cast<CPlug2*>(reached);
    }
    return const_cast<CPlugIO2*>(this);
}

void CPlugIO2::AttachWire(CLine2* wire) {
    const CPlug2* other = OtherEnd(wire);
    const bool pairing = counterpart == nullptr && other != nullptr;
    if (pairing) PairAcrossBoundary(*other);
    CPlug2::AttachWire(wire);
    if (pairing && counterpart != nullptr) counterpart->SetName(Name());
}

void CPlugIO2::PairAcrossBoundary(const CPlug2& other) {
    CPlugIO2* partner = SpareAcrossBoundary();
    const bool feeds_input = other.Direction() == DR_IN;
    data_type = other.DataType();
    direction = feeds_input ? DR_OUT : DR_IN;
    if (partner != nullptr) {
        counterpart = partner;
        partner->counterpart = this;
        partner->data_type = data_type;
        partner->direction = feeds_input ? DR_IN : DR_OUT;
        // The new outside input starts with the default of the inside input it feeds.
        if (feeds_input) partner->SetValueText(other.ValueText());
    }
    SetName(other.Name());
}

CPlugIO2* CPlugIO2::SpareAcrossBoundary() const {
    if (owner == nullptr) return nullptr;
    CUG* other_side = nullptr;
    if ((owner->TypeFlags() & MF_IO_MODULE) != 0)
        other_side = owner->Parent();
    else if (owner->Is<CContainer>())
        other_side = static_cast<CContainer*>(owner)->GetIOModule();
    if (other_side == nullptr) return nullptr;
    const auto& plugs = other_side->Plugs();
    for (auto it = plugs.rbegin(); it != plugs.rend(); ++it) {
        CPlug2* plug = it->get();
        if (plug != this && plug->Direction() == DR_CONTAINER_IO && plug->Is<CPlugIO2>()) return static_cast<CPlugIO2*>(plug);
    }
    return nullptr;
}

// ---- CPlugControled -----------------------------------------------------------

void CPlugControled::Serialize(archive_reader& archive) {
    CPlugNameable::Serialize(archive);
    direction = archive.ReadInt32();
    data_type = archive.ReadInt32();
    file_type = archive.ReadText();
}

uint32_t CPlugControled::Flags() const {
    uint32_t flags = DescriptionOf(*this).flags & ~uint32_t(DPF_HIDDEN);
    if (data_type == DT_TEXT && !file_type.empty()) flags |= DPF_FILE_NAME;
    if (direction == DR_OUT) flags |= DPF_TAKES_VALUE;
    return flags;
}

std::string CPlugControled::getFileType() const { return (Flags() & DPF_FILE_NAME) != 0 ? file_type : std::string(); }

void CPlugControled::setNormalised(float value) {
    if (data_type == DT_AUDIO)
        SetValueText(NumberText(value * 10.0f));
    else
        CPlug2::setNormalised(value);
}

// ---- CPlugFeature -------------------------------------------------------------

void CPlugFeature::Serialize(archive_reader& archive) {
    CPlug2::Serialize(archive);
    direction = archive.ReadInt32();
    data_type = archive.ReadInt32();
    feature_index = archive.ReadInt32();
    name = archive.ReadText();
    list_text = archive.ReadText();
    if (archive.version >= kFirstVersionWithFeatureFlags) own_flags = archive.ReadUInt32();
}

uint32_t CPlugFeature::Flags() const {
    if (const InterfaceObject* description = Description()) return description->flags;
    uint32_t flags = own_flags | DPF_PARAMETER_STYLE;
    // A file-name feature keeps its file type in the list text.
    if (data_type == DT_TEXT && feature_index >= 0 && !list_text.empty()) flags |= DPF_FILE_NAME;
    return flags;
}

std::unique_ptr<CPlug2> CPlugFeature::FreshCopy() const {
    if (Description() != nullptr) return CPlug2::FreshCopy();
    auto copy = std::make_unique<CPlugFeature>();
    copy->description_index = description_index;
    copy->name = "Spare";
    copy->direction = direction;
    copy->data_type = data_type;
    copy->list_text = list_text;
    copy->own_flags = own_flags;
    return copy;
}

void CPlugFeature3::Serialize(archive_reader& archive) {
    CPlugFeature::Serialize(archive);
    relay = archive.ReadBool();
}

// ---- CPlugGui -----------------------------------------------------------------

const InterfaceObject* CPlugGui::Description() const {
    const Module_Info* info = owner != nullptr ? owner->ModuleInfo() : nullptr;
    if (info == nullptr || description_index < 0 || description_index >= static_cast<int>(info->panel_plugs.size()))
        return nullptr;
    return &info->panel_plugs[static_cast<std::size_t>(description_index)];
}

std::unique_ptr<CPlug2> CPlugGui::FreshCopy() const { return MakePanelPlug(DescriptionOf(*this), description_index); }

// ---- making and joining plugs -------------------------------------------------

std::unique_ptr<CPlug2> MakePlugForDescription(const InterfaceObject& description, int16_t index) {
    if (description.direction == DR_CONTAINER_IO) return MakeBoundaryPlug(description.name, index);
    std::unique_ptr<CPlug2> plug;
    if ((description.flags & DPF_PARAMETER_STYLE) != 0) {
        auto feature = std::make_unique<CPlugFeature4>();
        feature->name = description.name;
        feature->direction = description.direction;
        feature->data_type = description.data_type;
        feature->list_text = description.list_values;
        plug = std::move(feature);
    } else if ((description.flags & DPF_TAKES_NAME) != 0) {
        auto nameable = std::make_unique<CPlugNameable>();
        nameable->StoreName(description.name);
        plug = std::move(nameable);
    } else {
        plug = std::make_unique<CPlug2>();
    }
    plug->description_index = index;
    plug->StoreValueText(description.default_value);
    return plug;
}

std::unique_ptr<CPlug2> MakePanelPlug(const InterfaceObject& description, int16_t index) {
    auto plug = std::make_unique<CPlugGui>();
    plug->description_index = index;
    plug->StoreValueText(description.default_value);
    return plug;
}

void AnnouncePlugsChanged(CUG& module) {
    if (CContainer* container = module.Parent()) container->Notify(NOTIFY_PLUGS_CHANGED, container, &module);
    module.RefreshAutomaticLists();
    MarkModified(&module);
}

bool CanConnect(const CPlug2& a, const CPlug2& b, std::string& message) {
    message.clear();
    if (&a == &b) return false;
    if (a.Direction() == b.Direction())
        return Refuse(message, "Can't connect. An output must go to an input (plugs on the left = Inputs, right = Outputs");
    if (a.Direction() != DR_CONTAINER_IO && b.Direction() != DR_CONTAINER_IO) {
        if (a.DataType() != b.DataType())
            return Refuse(message, "Can't connect different plug types (eg you can't connect a voltage p_to a filename)");
        if (a.IsParameterStyle() != b.IsParameterStyle()) return Refuse(message, "Can't connect different plug types");
    }
    if (RefusesFurtherWire(a)) return Refuse(message, "This type of plug accepts only one output");
    if (RefusesFurtherWire(b)) return Refuse(message, "This type of plug accepts only one input");
    if (IsWiredListOutput(b) && !ListFits(a, b.ListText())) return Refuse(message, "These plug's lists are not compatible");
    if (IsWiredListOutput(a) && !ListFits(b, a.ListText())) return Refuse(message, "These plug's lists are not compatible");
    if (AlreadyJoined(a, b)) return Refuse(message, "These two plugs are already connected");
    return true;
}
