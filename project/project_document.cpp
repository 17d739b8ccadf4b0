#include "project/project_document.h"

#include <cstdio>

#include "platform/platform.h"
#include "project/doc_objects.h"
#include "project/doc_plugs.h"

WS_IMPLEMENT_CLASS(imbedded_file, CObject, 1, false);

void imbedded_file::Serialize(archive_reader& archive) {
    file_name = archive.ReadText();
    content = archive.ReadBytes(archive.ReadUInt32());
}

project_document::project_document() = default;
project_document::~project_document() = default;

CContainer* project_document::TopContainer() const {
    if (!root) return nullptr;
    for (const auto& child : root->Children())
        if (child->Is<CContainer>() && !static_cast<CContainer*>(child.get())->IsDisabled())
            return static_cast<CContainer*>(child.get());
    return nullptr;
}

namespace {

// Everything of the header, read before anything replaces the document's own.
struct header_fields {
    std::vector<std::unique_ptr<imbedded_file>> embedded_files;
    std::vector<skin_record> skins;
    project_settings settings;
};

void ReadSettingsBlock(archive_reader& archive, header_fields& header) {
    const int32_t v = archive.version;
    project_settings& s = header.settings;
    s.id_text = archive.ReadText();
    if (v > 61) s.text_b = archive.ReadText();
    if (v > 57) {
        s.switch_b = archive.ReadInt32() != 0;
        s.text_c = archive.ReadText();
    }
    if (v > 63) s.can_mono = archive.ReadInt32() != 0;
    if (v > 56) s.panel_size = archive.ReadPoint();
    if (v > 68) {
        s.options = archive.ReadUInt32();
        s.program_count = archive.ReadInt32();
        if (v > 70) s.vendor = archive.ReadText();
        if (v > 85) s.text_d = archive.ReadText();
        if (v < 94400) archive.ReadText();
        s.product = archive.ReadText();
    }
    if (archive.ReadInt32() != 0) header.skins = ReadSkins(archive);
}

header_fields ReadHeader(archive_reader& archive) {
    const int32_t v = archive.version;
    header_fields header;
    project_settings& s = header.settings;
    if (v > 82) {
        for (imbedded_file* file : archive.ReadObjectList<imbedded_file>())
            header.embedded_files.push_back(archive.Adopt(file));
    }
    if (v > 15 && v < 49) archive.ReadText();
    if (v > 20 && v < 48) archive.Skip(3 * 60);
    s.text_a = archive.ReadText();
    if (v > 8) s.switch_a = archive.ReadInt32() != 0;
    if (v > 19 && v < 94960) archive.ReadInt32();
    if (v > 44) s.process_switch = archive.ReadInt32() != 0;
    if (v > 55) ReadSettingsBlock(archive, header);
    return header;
}

// The texts and switches that stay with the document when settings are kept
// are replaced only on a plain read.
void ApplySettings(const project_settings& read, project_settings& document, bool keep_settings) {
    if (!keep_settings) {
        document.text_a = read.text_a;
        document.switch_a = read.switch_a;
        document.process_switch = read.process_switch;
        document.text_b = read.text_b;
        document.product = read.product;
        document.text_d = read.text_d;
    }
    document.id_text = read.id_text;
    document.switch_b = read.switch_b;
    document.can_mono = read.can_mono;
    document.text_c = read.text_c;
    document.options = read.options;
    document.program_count = read.program_count;
    document.vendor = read.vendor;
    document.panel_size = read.panel_size;
}

// Archives before wires kept their own ends hand their wires to the plugs now.
void AttachOldWires(CContainer& container) {
    for (const auto& child : container.Children()) {
        if (child->Is<CContainer>()) AttachOldWires(static_cast<CContainer&>(*child));
        if (!child->Is<CLine2>()) continue;
        auto& wire = static_cast<CLine2&>(*child);
        if (wire.from != nullptr) wire.from->wires.push_back(&wire);
        if (wire.to != nullptr) wire.to->wires.push_back(&wire);
    }
}

}  // namespace

project_read_result ReadProject(std::span<const uint8_t> bytes, project_document& document, bool keep_settings) {
    archive_reader archive(bytes);
    archive.version = archive.ReadInt32();
    if (archive.version > kNewestArchiveVersion) {
        char message[200];
        std::snprintf(message, sizeof message,
                      "Load Cancelled.  File created by a newer version of Wirestack (V%.2f). See Wirestack web "
                      "site for latest version.",
                      archive.version * 0.01);
        platform::ShowMessage(message, platform::kMessageOk);
        return project_read_result::newer_version;
    }
    header_fields header = ReadHeader(archive);
    if (archive.version > 95272) archive.ReadByte();
    CContainer* root = archive.ReadObjectOf<CContainer>();
    if (root == nullptr) archive.Fail("the project holds no root container");
    std::unique_ptr<CContainer> owned_root = archive.Adopt(root);
    if (archive.version > 10 && archive.version < 16) archive.ReadText();
    if (archive.version < 37) AttachOldWires(*owned_root);

    // Nothing of the document changes until the whole archive has been read.
    ApplySettings(header.settings, document.settings, keep_settings);
    document.embedded_files = std::move(header.embedded_files);
    document.skins = std::move(header.skins);
    document.root = std::move(owned_root);
    document.orphans = archive.TakeUnowned();
    document.root->document = &document;
    document.root->Initialise(true);
    document.version = kNewestArchiveVersion;
    return project_read_result::ok;
}
