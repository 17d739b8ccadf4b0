// What a project holds besides its objects: the header settings, the embedded
// files, the skins, and the root container.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "project/archive.h"
#include "project/skin_records.h"

class CContainer;

// An embedded file as the project carries it.
class imbedded_file : public CObject {
    WS_DECLARE_CLASS(imbedded_file)
public:
    void Serialize(archive_reader& archive) override;
    std::string file_name;
    std::vector<uint8_t> content;
};

struct project_settings {
    std::string text_a, text_b, text_c, text_d;
    bool switch_a = false;
    bool switch_b = false;
    bool process_switch = false;
    std::string id_text;
    std::string vendor;
    std::string product;
    uint32_t options = 0;
    int32_t program_count = 16;
    bool can_mono = true;
    ws_point panel_size;
};

class project_document {
public:
    project_document();
    ~project_document();

    project_settings settings;
    std::vector<std::unique_ptr<imbedded_file>> embedded_files;
    std::vector<skin_record> skins;
    std::unique_ptr<CContainer> root;
    // Objects the archive held outside the tree; kept because others may point at them.
    std::vector<std::unique_ptr<CObject>> orphans;
    int32_t version = kNewestArchiveVersion;
    bool modified = false;

    // The container the plug-in exposes: the root's first enabled container child.
    CContainer* TopContainer() const;

    // Audio is stopped around structural edits and started again after.
    std::function<bool()> stop_audio;
    std::function<void()> start_audio;
};

// Reads a whole project. With keep_settings the document's own texts and
// switches stay. Failures: the "Load Cancelled" message for newer versions
// (shown through the message sink), archive_error for malformed input.
enum class project_read_result { ok, newer_version };
project_read_result ReadProject(std::span<const uint8_t> bytes, project_document& document, bool keep_settings);
