#include "project/skin_records.h"

WS_IMPLEMENT_CLASS(CSkinBitmap, CObject, 1, false);
WS_IMPLEMENT_CLASS(CAnimBitmap, CSkinBitmap, 1, false);
WS_IMPLEMENT_CLASS(SkinFontInfo, CObject, 1, false);

void CSkinBitmap::Serialize(archive_reader& archive) {
    height = archive.ReadInt32();
    width = archive.ReadInt32();
    name = archive.ReadText();
    if (archive.version >= 95163) mode = archive.ReadInt32();
    if (archive.version >= 94961) {
        png = archive.ReadBytes(archive.ReadUInt32());
        return;
    }
    const uint32_t pixel_count = archive.ReadUInt32();
    archive.ReadInt32();
    archive.RequireBytes(static_cast<std::size_t>(pixel_count) * 4, "bitmap pixels");
    pixels.reserve(pixel_count);
    for (uint32_t i = 0; i < pixel_count; ++i) pixels.push_back(archive.ReadUInt32());
}

void CAnimBitmap::Serialize(archive_reader& archive) {
    CSkinBitmap::Serialize(archive);
    segment_count = archive.ReadInt32();
    mouse_response = archive.ReadInt32();
    range_end = archive.ReadInt32();
    range_start = archive.ReadInt32();
    handle_rect = archive.ReadRect();
    frame_size = archive.ReadPoint();
    last_frame = archive.ReadInt32();
    type = archive.ReadInt32();
    if (archive.version >= 95061) {
        padding.left = archive.ReadInt32();
        padding.right = archive.ReadInt32();
        padding.top = archive.ReadInt32();
        padding.bottom = archive.ReadInt32();
    }
}

void SkinFontInfo::Serialize(archive_reader& archive) {
    name = archive.ReadText();
    face = archive.ReadText();
    size = archive.ReadInt32();
    text_colour = archive.ReadUInt32();
    if (archive.version >= 95130) {
        background_colour = archive.ReadUInt32();
        flags = archive.ReadUInt32();
    }
}

std::vector<skin_record> ReadSkins(archive_reader& archive) {
    const uint32_t count = archive.version >= 59 ? archive.ReadUInt32() : 1;
    archive.RequireBytes(count, "the skins");
    std::vector<skin_record> skins;
    for (uint32_t i = 0; i < count; ++i) {
        skin_record skin;
        skin.name = archive.ReadText();
        while (CAnimBitmap* bitmap = archive.ReadObjectOf<CAnimBitmap>()) skin.bitmaps.push_back(archive.Adopt(bitmap));
        for (SkinFontInfo* style : archive.ReadObjectList<SkinFontInfo>()) skin.text_styles.push_back(archive.Adopt(style));
        skins.push_back(std::move(skin));
    }
    return skins;
}
