// Resources of Windows (PE) libraries, read and written in portable code, so
// that packing a Windows plug-in needs neither Windows nor a resource compiler.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tools {

// A resource's type, name or language: a text when `text` is not empty, else a number.
struct ResourceKey {
    std::u16string text;
    uint16_t number = 0;
    bool operator==(const ResourceKey&) const = default;
};

// The file starts like a PE image (the MZ mark); whether the rest holds up is
// for the functions below to say.
bool LooksLikePeImage(std::span<const uint8_t> file);

// The data of the resource of that type and name (the first language), or
// nothing when the image has none. Malformed images throw std::runtime_error.
std::optional<std::vector<uint8_t>> FindPeResource(std::span<const uint8_t> image, const ResourceKey& type,
                                                   const ResourceKey& name);

// A copy of the image that holds every resource it held before, except those
// of that type and name, plus that resource (language neutral) with `data`.
// The resources are written to a section of their own at the end of the image,
// replacing a resource section that was already last. Malformed images, and
// images with no room for another section header, throw std::runtime_error.
std::vector<uint8_t> WithPeResource(std::span<const uint8_t> image, const ResourceKey& type, const ResourceKey& name,
                                    std::span<const uint8_t> data);

}  // namespace tools
