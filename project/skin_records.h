// Skins as the project archive carries them: bitmaps with their descriptions,
// and text styles. The panel turns them into drawable skins.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "project/archive.h"

class CSkinBitmap : public CObject {
    WS_DECLARE_CLASS(CSkinBitmap)
public:
    void Serialize(archive_reader& archive) override;

    int32_t height = 0;
    int32_t width = 0;
    std::string name;
    int32_t mode = 0;  // 1: grey
    std::vector<uint8_t> png;       // the image as a PNG file (newer archives)
    std::vector<uint32_t> pixels;   // or as raw pixels (older archives)
};

class CAnimBitmap : public CSkinBitmap {
    WS_DECLARE_CLASS(CAnimBitmap)
public:
    void Serialize(archive_reader& archive) override;

    int32_t segment_count = 0;
    int32_t mouse_response = 0;
    int32_t range_end = 0;
    int32_t range_start = 0;
    ws_rect handle_rect;
    ws_point frame_size;
    int32_t last_frame = 0;
    int32_t type = 0;
    ws_rect padding;  // left, top, right, bottom
};

class SkinFontInfo : public CObject {
    WS_DECLARE_CLASS(SkinFontInfo)
public:
    void Serialize(archive_reader& archive) override;

    std::string name;
    std::string face = "Arial";
    int32_t size = 12;
    uint32_t text_colour = 0xFFFFFF;
    uint32_t background_colour = 0;
    uint32_t flags = 0;
};

struct skin_record {
    std::string name;
    std::vector<std::unique_ptr<CAnimBitmap>> bitmaps;
    std::vector<std::unique_ptr<SkinFontInfo>> text_styles;
};

// The skins block of the project header.
std::vector<skin_record> ReadSkins(archive_reader& archive);
