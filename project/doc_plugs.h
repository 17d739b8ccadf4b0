// Plugs of document modules: what a plug is, how it is wired, and the rules
// that keep spares ready and pair plugs across container boundaries.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/plug.h"
#include "project/generic_parameter.h"
#include "project/notifier.h"
#include "project/runtime_class.h"

class CUG;
class CLine2;
class CPlugIO2;

// Plug flags the document layer reads.
enum doc_plug_flags : uint32_t {
    DPF_TAKES_NAME = 0x4,
    DPF_AUTO_DUPLICATE = 0x8,
    DPF_FILE_NAME = 0x10,
    DPF_TAKES_VALUE = 0x20,
    DPF_OWN_TYPE = 0x40,
    DPF_HIDDEN = 0x100,
    DPF_PARAMETER_STYLE = 0x400,
    DPF_AUTOMATIC_LIST = 0x800,
    DPF_SHOWN_UNLESS_HIDE_PLUGS = 0x1000,
    DPF_HIDDEN_2 = 0x2000,
    DPF_ANY_LIST = 0x4000,
    DPF_PATCH_MANAGER = 0x8400,
    DPF_PATCH_MANAGER_INPUT = 0x10000,
};

// The list text that a module replaces by the names of its wired auto-duplicating plugs.
inline constexpr const char* kAutomaticListText = "{AUTO}";

class CPlug2 : public CObject, public generic_parameter, public Notifier2 {
    WS_DECLARE_CLASS(CPlug2)
public:
    void Serialize(archive_reader& archive) override;

    CUG* owner = nullptr;
    int16_t description_index = 0;
    std::vector<CLine2*> wires;
    bool hidden = false;

    // From the description unless the class keeps its own.
    virtual int32_t Direction() const;
    virtual int32_t DataType() const;
    virtual std::string Name() const;
    virtual uint32_t Flags() const;
    // The list text of the description, as the module presents it.
    virtual std::string DescriptionListText() const;
    virtual CPlugIO2* Counterpart() const { return nullptr; }
    // A new plug made from the same description (a spare's successor).
    virtual std::unique_ptr<CPlug2> FreshCopy() const;

    // None when the index is outside the module type's list.
    virtual const InterfaceObject* Description() const;
    bool IsParameterStyle() const { return (Flags() & DPF_PARAMETER_STYLE) != 0; }
    bool IsSpare() const;
    bool IsShown() const;
    // A list plug whose entries are the names of its module's wired auto-duplicating plugs.
    bool HasAutomaticList() const;
    // An output's list is the one at the other end of its first wire.
    std::string ListText() const;
    // The plug at the other end of a wire.
    CPlug2* OtherEnd(const CLine2* wire) const;

    const std::string& ValueText() const { return value_text_; }
    void SetValueText(const std::string& text);
    // Stores a value text without telling anyone (reading, copying).
    void StoreValueText(const std::string& text) { value_text_ = text; }

    virtual void AttachWire(CLine2* wire);
    void DropWire(CLine2* wire);

    // generic_parameter
    std::string getName() const override { return Name(); }
    std::string getValueText() const override { return value_text_; }
    void setValueText(const std::string& text) override { SetValueText(text); }
    int32_t getDataType() const override { return DataType(); }
    std::string getListText() const override { return ListText(); }
    std::string getUnits() const override;
    std::string getFileType() const override;
    float getNormalised() const override;
    void setNormalised(float value) override;

protected:
    // The list text before the module presents it.
    virtual std::string RawListText() const;

    std::string value_text_;
};

class CPlugNameable : public CPlug2 {
    WS_DECLARE_CLASS(CPlugNameable)
public:
    void Serialize(archive_reader& archive) override;
    std::string Name() const override { return name_; }
    void SetName(const std::string& name);
    // Stores a name without telling anyone (reading).
    void StoreName(const std::string& name) { name_ = name; }

protected:
    std::string name_;
};

// A container boundary plug: one of a pair, one on the container and one on its IO module.
class CPlugIO2 : public CPlugNameable {
    WS_DECLARE_CLASS(CPlugIO2)
public:
    void Serialize(archive_reader& archive) override;
    int32_t Direction() const override { return direction; }
    int32_t DataType() const override { return data_type; }
    uint32_t Flags() const override;
    std::string DescriptionListText() const override;
    CPlugIO2* Counterpart() const override { return counterpart; }
    std::unique_ptr<CPlug2> FreshCopy() const override;
    // The module plug this boundary plug stands for, through any number of boundaries.
    CPlug2* RepresentedPlug() const;
    // A spare pairs with the other side's spare when it gets its first wire.
    void AttachWire(CLine2* wire) override;

    int32_t direction = DR_CONTAINER_IO;
    int32_t data_type = DT_AUDIO;
    CPlugIO2* counterpart = nullptr;

private:
    void PairAcrossBoundary(const CPlug2& other);
    CPlugIO2* SpareAcrossBoundary() const;
};

// A plug added to a "Control Plugs" module.
class CPlugControled : public CPlugNameable {
    WS_DECLARE_CLASS(CPlugControled)
public:
    void Serialize(archive_reader& archive) override;
    int32_t Direction() const override { return direction; }
    int32_t DataType() const override { return data_type; }
    uint32_t Flags() const override;
    std::string getFileType() const override;
    void setNormalised(float value) override;

    int32_t direction = DR_IN;
    int32_t data_type = DT_AUDIO;
    std::string file_type;
};

// A plug that carries one of its module's features.
class CPlugFeature : public CPlug2 {
    WS_DECLARE_CLASS(CPlugFeature)
public:
    void Serialize(archive_reader& archive) override;
    int32_t Direction() const override { return direction; }
    int32_t DataType() const override { return data_type; }
    std::string Name() const override { return name; }
    uint32_t Flags() const override;
    std::unique_ptr<CPlug2> FreshCopy() const override;

    int32_t feature_index = -1;
    int32_t direction = DR_IN;
    int32_t data_type = DT_FLOAT;
    std::string name;
    std::string list_text;
    uint32_t own_flags = 0;

protected:
    std::string RawListText() const override { return list_text; }
};

class CPlugFeature2 : public CPlugFeature {
    WS_DECLARE_CLASS(CPlugFeature2)
};

class CPlugFeature3 : public CPlugFeature {
    WS_DECLARE_CLASS(CPlugFeature3)
public:
    void Serialize(archive_reader& archive) override;
    bool relay = false;
};

class CPlugFeature4 : public CPlugFeature {
    WS_DECLARE_CLASS(CPlugFeature4)
};

// A panel-side plug, one per entry of a module type's panel plug list.
class CPlugGui : public CPlug2 {
    WS_DECLARE_CLASS(CPlugGui)
public:
    // Described by the panel plug list, not the plug list.
    const InterfaceObject* Description() const override;
    std::unique_ptr<CPlug2> FreshCopy() const override;
};

// The plug class a description calls for, with its default value.
std::unique_ptr<CPlug2> MakePlugForDescription(const InterfaceObject& description, int16_t index);
// The plug for an entry of a module type's panel plug list.
std::unique_ptr<CPlug2> MakePanelPlug(const InterfaceObject& description, int16_t index);
// Tells the module's container that the module's plugs changed, refreshes the
// module's automatic lists and marks the document modified.
void AnnouncePlugsChanged(CUG& module);

// Whether a wire may join A (where the connection starts) and B; a refusal
// may carry a message for the user.
bool CanConnect(const CPlug2& a, const CPlug2& b, std::string& message);
