#include "project/patch_values.h"

#include <algorithm>
#include <cmath>
#include <charconv>
#include <cstdlib>
#include <string_view>

#include "project/doc_objects.h"
#include "project/doc_plugs.h"
#include "project/enum_list.h"

namespace {

// "range 20,20000" as a float range; false for any other text.
bool ReadFloatRange(const std::string& text, float& minimum, float& maximum) {
    constexpr std::string_view kPrefix = "range ";
    if (text.rfind(kPrefix, 0) != 0) return false;
    const char* const last = text.data() + text.size();
    float low = 0.0f;
    float high = 0.0f;
    const auto [comma, low_error] = std::from_chars(text.data() + kPrefix.size(), last, low);
    if (low_error != std::errc() || comma == last || *comma != ',') return false;
    if (std::from_chars(comma + 1, last, high).ec != std::errc()) return false;
    if (!std::isfinite(low) || !std::isfinite(high) || low == high) return false;
    minimum = low;
    maximum = high;
    return true;
}

template <class... Kinds>
struct overloaded : Kinds... {
    using Kinds::operator()...;
};

}  // namespace

namespace {

// A list's entries: the bound plug's own list, else the list a list output of
// the same module leads to (a patch-memory list takes the list of what it feeds).
std::string ListTextFor(const CPlug2& plug) {
    std::string text = plug.ListText();
    if (!text.empty() || plug.owner == nullptr) return text;
    for (const auto& other : plug.owner->Plugs()) {
        if (other->Direction() != DR_OUT || other->DataType() != DT_ENUM) continue;
        text = other->ListText();
        if (!text.empty()) break;
    }
    return text;
}

// A float's range: the bound plug's "range" list, else the module's "Min Value"
// and "Max Value" when they differ; false leaves the default.
bool ReadModuleRange(const CPlug2& plug, float& minimum, float& maximum) {
    if (ReadFloatRange(plug.ListText(), minimum, maximum)) return true;
    const CPlug2* low = plug.owner != nullptr ? plug.owner->FindPlugByName("Min Value") : nullptr;
    const CPlug2* high = plug.owner != nullptr ? plug.owner->FindPlugByName("Max Value") : nullptr;
    if (low == nullptr || high == nullptr) return false;
    patch_value low_value = 0.0f;
    patch_value high_value = 0.0f;
    if (!ParseValueText(low->ValueText(), low_value) || !ParseValueText(high->ValueText(), high_value)) return false;
    if (low_value == high_value) return false;
    minimum = std::get<float>(low_value);
    maximum = std::get<float>(high_value);
    return true;
}

}  // namespace

patch_metadata MetadataOf(const patch_parameter_record& parameter) {
    patch_metadata metadata;
    if (parameter.plug == nullptr) return metadata;
    if (parameter.type_id == DT_FLOAT)
        ReadModuleRange(*parameter.plug, metadata.minimum, metadata.maximum);
    else
        metadata.list_text = ListTextFor(*parameter.plug);
    return metadata;
}

float NormalisedValue(const patch_value& value, const patch_metadata& metadata) {
    return std::visit(
        overloaded{
            [&](int16_t list_value) {
                const it_enum_list list(metadata.list_text);
                const int64_t position = list.PositionOfValue(list_value);
                if (list.Count() < 2 || position < 0) return 0.0f;
                return static_cast<float>(static_cast<double>(position) / static_cast<double>(list.Count() - 1));
            },
            [&](float number) {
                const float position = (number - metadata.minimum) / (metadata.maximum - metadata.minimum);
                return std::isnan(position) ? 0.0f : std::clamp(position, 0.0f, 1.0f);
            },
            [](bool on) { return on ? 1.0f : 0.0f; },
            [](const auto&) { return 0.0f; },
        },
        value);
}

std::optional<patch_value> ValueAtNormalised(const patch_value& kind, float normalised, const patch_metadata& metadata) {
    // A host may send anything; the scale is 0..1.
    const float v = std::isnan(normalised) ? 0.0f : std::clamp(normalised, 0.0f, 1.0f);
    return std::visit(
        overloaded{
            [&](int16_t) -> std::optional<patch_value> {
                const it_enum_list list(metadata.list_text);
                const int64_t count = list.Count();
                if (count == 0) return patch_value{int16_t{0}};
                const int64_t position = std::min(static_cast<int64_t>(static_cast<double>(v) * count), count - 1);
                return patch_value{static_cast<int16_t>(list.ValueAt(position))};
            },
            [&](float) -> std::optional<patch_value> {
                return patch_value{metadata.minimum + (metadata.maximum - metadata.minimum) * v};
            },
            [&](bool) -> std::optional<patch_value> { return patch_value{v >= 0.5f}; },
            [](const auto&) -> std::optional<patch_value> { return std::nullopt; },
        },
        kind);
}

std::string DisplayText(const patch_value& value, const patch_metadata& metadata) {
    char text[64];
    return std::visit(
        overloaded{
            [&](int16_t list_value) {
                const it_enum_list list(metadata.list_text);
                const int64_t position = list.PositionOfValue(list_value);
                if (position < 0) return std::to_string(list_value);
                // List texts are written with blanks after their commas.
                std::string name = list.NameAt(position);
                name.erase(0, name.find_first_not_of(' '));
                return name;
            },
            [&](float number) {
                // Not printf: the host's locale must not turn the point into a comma.
                const auto written = std::to_chars(text, text + sizeof text, number, std::chars_format::fixed, 3);
                return std::string(text, written.ptr);
            },
            [](bool on) { return std::string(on ? "On" : "Off"); },
            [](int32_t number) { return std::to_string(number); },
            [](const std::string& words) { return words; },
        },
        value);
}

bool ParseValueText(const std::string& text, patch_value& value) {
    char* end = nullptr;
    return std::visit(
        overloaded{
            [&](int16_t& list_value) {
                const long number = std::strtol(text.c_str(), &end, 10);
                if (end == text.c_str() || number < INT16_MIN || number > INT16_MAX) return false;
                list_value = static_cast<int16_t>(number);
                return true;
            },
            [&](float& number) {
                float read = 0.0f;
                const char* first = text.data();
                while (first != text.data() + text.size() && *first == ' ') ++first;
                if (std::from_chars(first, text.data() + text.size(), read).ec != std::errc() || !std::isfinite(read))
                    return false;
                number = read;
                return true;
            },
            [&](bool& on) {
                on = text == "1" || text == "On" || text == "on" || text == "true";
                return true;
            },
            [&](int32_t& number) {
                const long long read = std::strtoll(text.c_str(), &end, 10);
                if (end == text.c_str() || read < INT32_MIN || read > INT32_MAX) return false;
                number = static_cast<int32_t>(read);
                return true;
            },
            [&](std::string& words) {
                words = text;
                return true;
            },
        },
        value);
}

void WriteMessageValue(message_out& message, const patch_value& value) {
    std::visit([&](const auto& held) { WriteValue(message, held); }, value);
}

patch_value ReadMessageValue(message_stream& stream, const patch_value& kind) {
    patch_value value = kind;
    std::visit([&](auto& held) { ReadValue(stream, held); }, value);
    return value;
}

void WritePatchValue(archive_byte_writer& archive, const patch_value& value) {
    std::visit(overloaded{
                   [&](int16_t list_value) { archive.WriteInt16(list_value); },
                   [&](float number) { archive.WriteFloat(number); },
                   [&](bool on) { archive.WriteBool(on); },
                   [&](int32_t number) { archive.WriteInt32(number); },
                   [&](const std::string& words) { archive.WriteText(words); },
               },
               value);
}
