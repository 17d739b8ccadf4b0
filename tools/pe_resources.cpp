#include "tools/pe_resources.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <stdexcept>

namespace tools {

namespace {

constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kDirectoryHeaderSize = 16;
constexpr std::size_t kDirectoryEntrySize = 8;
constexpr std::size_t kDataEntrySize = 16;
constexpr uint32_t kResourceDirectory = 2;
constexpr uint32_t kCertificateDirectory = 4;
constexpr uint32_t kHighBit = 0x80000000u;
constexpr uint32_t kResourceSectionFlags = 0x40000040u;  // initialised data, readable
constexpr char kResourceSectionName[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};

[[noreturn]] void Malformed(const std::string& what) {
    throw std::runtime_error("malformed Windows library: " + what);
}

uint32_t Read16(std::span<const uint8_t> bytes, std::size_t at) {
    if (at > bytes.size() || bytes.size() - at < 2) Malformed("a field lies beyond the end of the file");
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8;
}

uint32_t Read32(std::span<const uint8_t> bytes, std::size_t at) { return Read16(bytes, at) | Read16(bytes, at + 2) << 16; }

void Write16(std::vector<uint8_t>& bytes, std::size_t at, uint32_t value) {
    bytes[at] = uint8_t(value);
    bytes[at + 1] = uint8_t(value >> 8);
}

void Write32(std::vector<uint8_t>& bytes, std::size_t at, uint32_t value) {
    Write16(bytes, at, value & 0xFFFF);
    Write16(bytes, at + 2, value >> 16);
}

std::size_t AlignUp(std::size_t value, std::size_t alignment) { return (value + alignment - 1) / alignment * alignment; }

bool IsPowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

struct Section {
    std::size_t header_at;  // file offset of its header
    uint32_t virtual_size, virtual_address, raw_size, raw_at;
    uint32_t VirtualEnd() const { return virtual_address + std::max(virtual_size, raw_size); }
};

// Where the headers of an image are and what they say.
struct PeLayout {
    std::size_t optional_at = 0;
    std::size_t directories_at = 0;
    uint32_t directory_count = 0;
    uint32_t section_alignment = 0, file_alignment = 0, headers_size = 0;
    std::size_t section_table_at = 0;
    std::vector<Section> sections;

    std::size_t DirectoryAt(uint32_t index) const { return directories_at + 8 * std::size_t(index); }
    std::size_t NumberOfSectionsAt() const { return optional_at - 20 + 2; }
    std::size_t SizeOfImageAt() const { return optional_at + 56; }
    std::size_t CheckSumAt() const { return optional_at + 64; }

    // The file offset of `length` bytes at `rva`, all inside one section's file data.
    std::size_t OffsetOf(uint32_t rva, std::size_t length) const {
        for (const Section& section : sections) {
            if (rva < section.virtual_address) continue;
            const std::size_t into = rva - section.virtual_address;
            if (into < section.raw_size && section.raw_size - into >= length) return section.raw_at + into;
        }
        Malformed("an address lies outside the sections' file data");
    }
};

PeLayout ReadLayout(std::span<const uint8_t> image) {
    if (!LooksLikePeImage(image)) Malformed("no MZ header");
    const std::size_t pe_at = Read32(image, 0x3C);
    if (Read32(image, pe_at) != 0x00004550) Malformed("no PE signature");
    PeLayout layout;
    const std::size_t coff_at = pe_at + 4;
    const uint32_t section_count = Read16(image, coff_at + 2);
    const uint32_t optional_size = Read16(image, coff_at + 16);
    layout.optional_at = coff_at + 20;
    const uint32_t magic = Read16(image, layout.optional_at);
    if (magic != 0x10B && magic != 0x20B) Malformed("unknown optional header kind");
    const std::size_t fixed_part = magic == 0x10B ? 96 : 112;
    layout.directories_at = layout.optional_at + fixed_part;
    layout.directory_count = Read32(image, layout.directories_at - 4);
    if (optional_size < fixed_part || (optional_size - fixed_part) / 8 < layout.directory_count)
        Malformed("the data directories do not fit the optional header");
    if (layout.directory_count <= kResourceDirectory) Malformed("no resource directory entry");
    layout.section_alignment = Read32(image, layout.optional_at + 32);
    layout.file_alignment = Read32(image, layout.optional_at + 36);
    layout.headers_size = Read32(image, layout.optional_at + 60);
    if (!IsPowerOfTwo(layout.file_alignment) || !IsPowerOfTwo(layout.section_alignment))
        Malformed("alignments that are not powers of two");
    layout.section_table_at = layout.optional_at + optional_size;
    for (uint32_t i = 0; i < section_count; ++i) {
        const std::size_t at = layout.section_table_at + i * kSectionHeaderSize;
        Section section{at, Read32(image, at + 8), Read32(image, at + 12), Read32(image, at + 16), Read32(image, at + 20)};
        if (section.raw_at > image.size() || image.size() - section.raw_at < section.raw_size)
            Malformed("a section's data lies beyond the end of the file");
        layout.sections.push_back(section);
    }
    return layout;
}

// Named keys come first, ordered by their upper-cased text, then numbered ones
// in rising order: the order in which the system's loader searches them.
struct KeyOrder {
    static std::u16string Upper(const std::u16string& text) {
        std::u16string upper = text;
        for (char16_t& c : upper)
            if (c >= u'a' && c <= u'z') c = char16_t(c - u'a' + u'A');
        return upper;
    }
    bool operator()(const ResourceKey& a, const ResourceKey& b) const {
        if (a.text.empty() != b.text.empty()) return !a.text.empty();
        if (!a.text.empty()) return Upper(a.text) < Upper(b.text);
        return a.number < b.number;
    }
};

struct ResourceData {
    uint32_t code_page = 0;
    std::vector<uint8_t> bytes;
};

using Languages = std::map<ResourceKey, ResourceData, KeyOrder>;
using Names = std::map<ResourceKey, Languages, KeyOrder>;
using ResourceTree = std::map<ResourceKey, Names, KeyOrder>;

// Reads the three levels of the resource directory (type, name, language).
class TreeReader {
public:
    TreeReader(std::span<const uint8_t> image, const PeLayout& layout, uint32_t rva) : image_(image), layout_(layout) {
        base_ = layout.OffsetOf(rva, kDirectoryHeaderSize);
        for (const Section& section : layout.sections)
            if (section.raw_at <= base_ && base_ < section.raw_at + section.raw_size)
                area_ = image.subspan(base_, section.raw_at + section.raw_size - base_);
    }

    ResourceTree Read() {
        ResourceTree tree;
        ForEachEntry(0, [&](const ResourceKey& type, uint32_t target) {
            ForEachEntry(Subdirectory(target), [&](const ResourceKey& name, uint32_t target2) {
                ForEachEntry(Subdirectory(target2), [&](const ResourceKey& language, uint32_t target3) {
                    if ((target3 & kHighBit) != 0) Malformed("a resource directory nested too deep");
                    tree[type][name][language] = Data(target3);
                });
            });
        });
        return tree;
    }

private:
    template <typename Visit>
    void ForEachEntry(std::size_t directory_at, Visit visit) {
        const uint32_t count = Read16(area_, directory_at + 12) + Read16(area_, directory_at + 14);
        // A well-formed tree visits each entry once, and entries cannot outnumber
        // the bytes they take; directories shared between entries could
        // otherwise make the walk take ages.
        entries_seen_ += count;
        if (entries_seen_ > area_.size() / kDirectoryEntrySize) Malformed("resource directories that repeat");
        for (uint32_t i = 0; i < count; ++i) {
            const std::size_t entry_at = directory_at + kDirectoryHeaderSize + i * kDirectoryEntrySize;
            visit(Key(Read32(area_, entry_at)), Read32(area_, entry_at + 4));
        }
    }

    ResourceKey Key(uint32_t field) const {
        if ((field & kHighBit) == 0) {
            if (field > 0xFFFF) Malformed("a resource number out of range");
            return {{}, uint16_t(field)};
        }
        const std::size_t at = field & ~kHighBit;
        const uint32_t length = Read16(area_, at);
        if (length == 0) Malformed("an empty resource name");
        ResourceKey key;
        for (uint32_t i = 0; i < length; ++i) key.text.push_back(char16_t(Read16(area_, at + 2 + 2 * i)));
        return key;
    }

    static std::size_t Subdirectory(uint32_t target) {
        if ((target & kHighBit) == 0) Malformed("resource data where a directory belongs");
        return target & ~kHighBit;
    }

    ResourceData Data(uint32_t entry_at) const {
        const uint32_t rva = Read32(area_, entry_at);
        const uint32_t size = Read32(area_, entry_at + 4);
        const std::size_t at = layout_.OffsetOf(rva, size);
        ResourceData data{Read32(area_, entry_at + 8), {}};
        data.bytes.assign(image_.begin() + std::ptrdiff_t(at), image_.begin() + std::ptrdiff_t(at + size));
        return data;
    }

    std::span<const uint8_t> image_;
    const PeLayout& layout_;
    std::size_t base_ = 0;
    std::span<const uint8_t> area_;
    std::size_t entries_seen_ = 0;
};

ResourceTree ReadTree(std::span<const uint8_t> image, const PeLayout& layout) {
    const std::size_t directory = layout.DirectoryAt(kResourceDirectory);
    const uint32_t rva = Read32(image, directory);
    if (rva == 0 || Read32(image, directory + 4) == 0) return {};
    return TreeReader(image, layout, rva).Read();
}

// Lays the tree out as the loader reads it: every directory, then the data
// entries, then the names, then the data, each piece of data 8-byte aligned.
class TreeWriter {
public:
    TreeWriter(const ResourceTree& tree, uint32_t section_rva) : tree_(tree), section_rva_(section_rva) {}

    std::vector<uint8_t> Write() {
        LayOutDirectories();
        std::size_t data_count = 0;
        for (const auto& [type, names] : tree_)
            for (const auto& [name, languages] : names) data_count += languages.size();
        bytes_.resize(data_entries_at_ + kDataEntrySize * data_count);
        WriteDirectories();
        WriteData();
        return std::move(bytes_);
    }

private:
    static std::size_t DirectorySize(std::size_t entries) { return kDirectoryHeaderSize + kDirectoryEntrySize * entries; }

    // The root, then every type's directory, then every name's directory.
    void LayOutDirectories() {
        std::size_t at = DirectorySize(tree_.size());
        for (const auto& [type, names] : tree_) {
            type_directories_.push_back(at);
            at += DirectorySize(names.size());
        }
        for (const auto& [type, names] : tree_)
            for (const auto& [name, languages] : names) {
                name_directories_.push_back(at);
                at += DirectorySize(languages.size());
            }
        data_entries_at_ = at;
    }

    void WriteDirectories() {
        std::vector<uint32_t> root_targets;
        std::size_t type_index = 0, name_index = 0, data_entry = 0;
        for (const auto& [type, names] : tree_) {
            std::vector<uint32_t> name_targets;
            for (const auto& [name, languages] : names) {
                std::vector<uint32_t> language_targets;
                for (std::size_t i = 0; i < languages.size(); ++i)
                    language_targets.push_back(uint32_t(data_entries_at_ + kDataEntrySize * data_entry++));
                name_targets.push_back(uint32_t(name_directories_[name_index]) | kHighBit);
                WriteDirectory(name_directories_[name_index++], languages, language_targets);
            }
            root_targets.push_back(uint32_t(type_directories_[type_index]) | kHighBit);
            WriteDirectory(type_directories_[type_index++], names, name_targets);
        }
        WriteDirectory(0, tree_, root_targets);
    }

    template <typename Level>
    void WriteDirectory(std::size_t at, const Level& level, const std::vector<uint32_t>& targets) {
        std::size_t named = 0;
        for (const auto& entry : level) named += entry.first.text.empty() ? 0 : 1;
        Write16(bytes_, at + 12, uint32_t(named));
        Write16(bytes_, at + 14, uint32_t(level.size() - named));
        std::size_t index = 0;
        for (const auto& entry : level) {
            const std::size_t entry_at = at + kDirectoryHeaderSize + kDirectoryEntrySize * index;
            Write32(bytes_, entry_at, KeyField(entry.first));
            Write32(bytes_, entry_at + 4, targets[index++]);
        }
    }

    uint32_t KeyField(const ResourceKey& key) {
        if (key.text.empty()) return key.number;
        const std::size_t at = AlignUp(bytes_.size(), 2);
        bytes_.resize(at + 2 + 2 * key.text.size());
        Write16(bytes_, at, uint32_t(key.text.size()));
        for (std::size_t i = 0; i < key.text.size(); ++i) Write16(bytes_, at + 2 + 2 * i, key.text[i]);
        return uint32_t(at) | kHighBit;
    }

    void WriteData() {
        std::size_t entry_at = data_entries_at_;
        for (const auto& [type, names] : tree_)
            for (const auto& [name, languages] : names)
                for (const auto& [language, data] : languages) {
                    const std::size_t at = AlignUp(bytes_.size(), 8);
                    bytes_.resize(at);
                    bytes_.insert(bytes_.end(), data.bytes.begin(), data.bytes.end());
                    Write32(bytes_, entry_at, section_rva_ + uint32_t(at));
                    Write32(bytes_, entry_at + 4, uint32_t(data.bytes.size()));
                    Write32(bytes_, entry_at + 8, data.code_page);
                    entry_at += kDataEntrySize;
                }
    }

    const ResourceTree& tree_;
    uint32_t section_rva_;
    std::vector<std::size_t> type_directories_, name_directories_;
    std::size_t data_entries_at_ = 0;
    std::vector<uint8_t> bytes_;
};

// The image's checksum: 16-bit words summed with end-around carry, the
// checksum field itself left out, plus the file's length.
uint32_t ImageCheckSum(const std::vector<uint8_t>& image, std::size_t checksum_at) {
    uint64_t sum = 0;
    for (std::size_t at = 0; at < image.size(); at += 2) {
        if (at >= checksum_at && at < checksum_at + 4) continue;
        sum += image[at] | (at + 1 < image.size() ? uint32_t(image[at + 1]) << 8 : 0);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return uint32_t(sum + image.size());
}

// The section that holds the resources, when it is the image's last section,
// named as a resource section, and nothing follows it in the file: it can be dropped.
const Section* ReplaceableResourceSection(std::span<const uint8_t> image, const PeLayout& layout) {
    if (layout.sections.empty()) return nullptr;
    const Section& last = layout.sections.back();
    const uint32_t rva = Read32(image, layout.DirectoryAt(kResourceDirectory));
    const bool holds_resources = rva != 0 && rva >= last.virtual_address && rva < last.VirtualEnd();
    const bool named = std::memcmp(image.data() + last.header_at, kResourceSectionName, 8) == 0;
    const bool at_end = std::size_t(last.raw_at) + last.raw_size == image.size();
    return holds_resources && named && at_end ? &last : nullptr;
}

}  // namespace

bool LooksLikePeImage(std::span<const uint8_t> file) { return file.size() >= 0x40 && file[0] == 'M' && file[1] == 'Z'; }

std::optional<std::vector<uint8_t>> FindPeResource(std::span<const uint8_t> image, const ResourceKey& type,
                                                   const ResourceKey& name) {
    const PeLayout layout = ReadLayout(image);
    const ResourceTree tree = ReadTree(image, layout);
    const auto found_type = tree.find(type);
    if (found_type == tree.end()) return std::nullopt;
    const auto found_name = found_type->second.find(name);
    if (found_name == found_type->second.end() || found_name->second.empty()) return std::nullopt;
    return found_name->second.begin()->second.bytes;
}

std::vector<uint8_t> WithPeResource(std::span<const uint8_t> image, const ResourceKey& type, const ResourceKey& name,
                                    std::span<const uint8_t> data) {
    PeLayout layout = ReadLayout(image);
    ResourceTree tree = ReadTree(image, layout);
    tree[type][name] = Languages{{ResourceKey{}, ResourceData{0, {data.begin(), data.end()}}}};

    std::vector<uint8_t> result(image.begin(), image.end());
    if (const Section* old = ReplaceableResourceSection(image, layout)) {
        result.resize(old->raw_at);
        layout.sections.pop_back();
    } else {
        const std::size_t table_end = layout.section_table_at + kSectionHeaderSize * (layout.sections.size() + 1);
        std::size_t first_data = layout.headers_size;
        for (const Section& section : layout.sections)
            if (section.raw_size != 0) first_data = std::min<std::size_t>(first_data, section.raw_at);
        if (table_end > first_data)
            throw std::runtime_error("the Windows library has no room for another section header");
    }
    uint32_t virtual_end = 0;
    for (const Section& section : layout.sections) virtual_end = std::max(virtual_end, section.VirtualEnd());
    const auto rva = uint32_t(AlignUp(std::max<std::size_t>(virtual_end, layout.headers_size), layout.section_alignment));
    const std::vector<uint8_t> resources = TreeWriter(tree, rva).Write();

    const std::size_t raw_at = AlignUp(result.size(), layout.file_alignment);
    const std::size_t raw_size = AlignUp(resources.size(), layout.file_alignment);
    result.resize(raw_at + raw_size, 0);
    std::copy(resources.begin(), resources.end(), result.begin() + std::ptrdiff_t(raw_at));

    const std::size_t header_at = layout.section_table_at + kSectionHeaderSize * layout.sections.size();
    std::fill_n(result.begin() + std::ptrdiff_t(header_at), kSectionHeaderSize, 0);
    std::copy(std::begin(kResourceSectionName), std::end(kResourceSectionName), result.begin() + std::ptrdiff_t(header_at));
    Write32(result, header_at + 8, uint32_t(resources.size()));
    Write32(result, header_at + 12, rva);
    Write32(result, header_at + 16, uint32_t(raw_size));
    Write32(result, header_at + 20, uint32_t(raw_at));
    Write32(result, header_at + 36, kResourceSectionFlags);
    Write16(result, layout.NumberOfSectionsAt(), uint32_t(layout.sections.size() + 1));
    Write32(result, layout.SizeOfImageAt(), uint32_t(AlignUp(rva + resources.size(), layout.section_alignment)));
    Write32(result, layout.DirectoryAt(kResourceDirectory), rva);
    Write32(result, layout.DirectoryAt(kResourceDirectory) + 4, uint32_t(resources.size()));
    if (layout.directory_count > kCertificateDirectory) {
        // A signature no longer matches the changed image.
        Write32(result, layout.DirectoryAt(kCertificateDirectory), 0);
        Write32(result, layout.DirectoryAt(kCertificateDirectory) + 4, 0);
    }
    if (Read32(result, layout.CheckSumAt()) != 0)
        Write32(result, layout.CheckSumAt(), ImageCheckSum(result, layout.CheckSumAt()));
    return result;
}

}  // namespace tools
