// The PE layout (Microsoft's "PE Format"): the DOS header's e_lfanew leads to "PE\0\0", the
// COFF header and the optional header with its data directories, then the section table,
// which maps the directories' addresses (RVAs) to file offsets. Every offset in the file is
// checked before it is read: the file may be anything a Path value names.
#include "tools/diag/PeImage.h"

#include <algorithm>
#include <cstddef>
#include <sstream>
#include <utility>

namespace {

constexpr std::uint16_t kCharacteristicDll = 0x2000;
constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;
constexpr std::uint32_t kDirectoryExport = 0;
constexpr std::uint32_t kDirectoryResource = 2;
constexpr std::uint32_t kResourceTypeVersion = 16;
constexpr std::uint32_t kResourceSubdirectory = 0x80000000U;
constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BDU;
// More names than any DLL exports, and longer than any name: a limit against a bogus table.
constexpr std::uint32_t kMaxExportNames = 65536;
constexpr std::size_t kMaxNameLength = 1024;

class Bytes {
 public:
  explicit Bytes(std::string_view data) : m_data(data) {}

  bool Has(std::size_t offset, std::size_t length) const {
    return offset <= m_data.size() && length <= m_data.size() - offset;
  }
  // 0 outside the file; callers check Has for the whole structure first.
  std::uint32_t Read(std::size_t offset, std::size_t width) const {
    if (!Has(offset, width)) return 0;
    std::uint32_t value = 0;
    for (std::size_t i = width; i-- > 0;) value = (value << 8) | static_cast<unsigned char>(m_data[offset + i]);
    return value;
  }
  std::uint16_t U16(std::size_t offset) const { return static_cast<std::uint16_t>(Read(offset, 2)); }
  std::uint32_t U32(std::size_t offset) const { return Read(offset, 4); }
  // A zero-terminated name; nothing when it runs off the end or is implausibly long.
  std::optional<std::string> Name(std::size_t offset) const {
    if (!Has(offset, 0)) return std::nullopt;
    const std::size_t end = m_data.find('\0', offset);
    if (end == std::string_view::npos || end - offset > kMaxNameLength) return std::nullopt;
    return std::string(m_data.substr(offset, end - offset));
  }

 private:
  std::string_view m_data;
};

struct Section {
  std::uint32_t address;  // RVA
  std::uint32_t size;     // bytes present in the file
  std::uint32_t offset;   // file offset
};

struct Directory {
  std::uint32_t address = 0;
  std::uint32_t size = 0;
};

struct Layout {
  std::vector<Section> sections;
  std::vector<Directory> directories;
};

// The file offset of `length` bytes at `rva`, when they lie in one section's file data.
std::optional<std::size_t> OffsetOf(const Layout& layout, std::uint32_t rva, std::size_t length) {
  for (const Section& section : layout.sections) {
    if (rva < section.address) continue;
    const std::size_t into = rva - section.address;
    if (into <= section.size && length <= section.size - into) return std::size_t{section.offset} + into;
  }
  return std::nullopt;
}

std::vector<std::string> ExportNames(const Bytes& bytes, const Layout& layout) {
  std::vector<std::string> names;
  if (layout.directories.size() <= kDirectoryExport) return names;
  const Directory& exports = layout.directories[kDirectoryExport];
  const std::optional<std::size_t> table = OffsetOf(layout, exports.address, 40);
  if (exports.address == 0 || !table) return names;
  const std::uint32_t count = bytes.U32(*table + 24);
  const std::optional<std::size_t> nameRvas =
      count <= kMaxExportNames ? OffsetOf(layout, bytes.U32(*table + 32), std::size_t{count} * 4) : std::nullopt;
  if (!nameRvas) return names;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::optional<std::size_t> at = OffsetOf(layout, bytes.U32(*nameRvas + std::size_t{i} * 4), 1);
    std::optional<std::string> name = at ? bytes.Name(*at) : std::nullopt;
    if (name) names.push_back(std::move(*name));
  }
  return names;
}

// Offsets inside the resource tree count from its root. `id` 0 takes the first entry.
std::optional<std::uint32_t> ResourceEntry(const Bytes& bytes, std::size_t root, std::uint32_t directory,
                                           std::uint32_t id) {
  const std::size_t at = root + directory;
  if (!bytes.Has(at, 16)) return std::nullopt;
  const std::size_t entries = std::size_t{bytes.U16(at + 12)} + bytes.U16(at + 14);
  for (std::size_t i = 0; i < entries && bytes.Has(at + 16 + i * 8, 8); ++i) {
    const std::size_t entry = at + 16 + i * 8;
    if (id == 0 || bytes.U32(entry) == id) return bytes.U32(entry + 4);
  }
  return std::nullopt;
}

// The version resource's VS_FIXEDFILEINFO: type 16, its first name, its first language.
std::optional<std::string> FileVersion(const Bytes& bytes, const Layout& layout) {
  if (layout.directories.size() <= kDirectoryResource) return std::nullopt;
  const Directory& resources = layout.directories[kDirectoryResource];
  const std::optional<std::size_t> root = OffsetOf(layout, resources.address, 16);
  if (resources.address == 0 || !root) return std::nullopt;
  std::optional<std::uint32_t> next = ResourceEntry(bytes, *root, 0, kResourceTypeVersion);
  for (int level = 0; level < 2 && next && (*next & kResourceSubdirectory) != 0; ++level) {
    next = ResourceEntry(bytes, *root, *next & ~kResourceSubdirectory, 0);
  }
  if (!next || (*next & kResourceSubdirectory) != 0 || !bytes.Has(*root + *next, 16)) return std::nullopt;
  const std::uint32_t size = bytes.U32(*root + *next + 4);
  const std::optional<std::size_t> data = OffsetOf(layout, bytes.U32(*root + *next), size);
  if (!data) return std::nullopt;
  // VS_VERSIONINFO: three WORDs and L"VS_VERSION_INFO", then the fixed part on a 4-byte boundary.
  for (std::size_t at = *data + 40; at + 52 <= *data + size; at += 4) {
    if (bytes.U32(at) != kFixedFileInfoSignature) continue;
    const std::uint32_t high = bytes.U32(at + 8);
    const std::uint32_t low = bytes.U32(at + 12);
    std::ostringstream text;
    text << (high >> 16) << '.' << (high & 0xFFFFU) << '.' << (low >> 16) << '.' << (low & 0xFFFFU);
    return text.str();
  }
  return std::nullopt;
}

}  // namespace

PeImage ReadPeImage(std::string_view data) {
  const Bytes bytes(data);
  PeImage image;
  if (!bytes.Has(0, 64) || data.substr(0, 2) != "MZ") {
    image.error = "it is not a program file (no MZ header)";
    return image;
  }
  const std::size_t pe = bytes.U32(0x3C);
  if (!bytes.Has(pe, 24) || data.substr(pe, 4) != std::string_view("PE\0\0", 4)) {
    image.error = "it is not a Windows program file (no PE header)";
    return image;
  }
  image.machine = bytes.U16(pe + 4);
  image.isDll = (bytes.U16(pe + 22) & kCharacteristicDll) != 0;
  const std::size_t optional = pe + 24;
  const std::size_t optionalSize = bytes.U16(pe + 20);
  const std::uint16_t magic = bytes.U16(optional);
  const std::size_t directoriesAt = magic == kMagicPe32Plus ? 112 : 96;
  if (!bytes.Has(optional, optionalSize) || (magic != kMagicPe32 && magic != kMagicPe32Plus) ||
      optionalSize < directoriesAt) {
    image.error = "its PE header is damaged";
    return image;
  }
  Layout layout;
  const std::size_t directoryCount = bytes.U32(optional + directoriesAt - 4);
  for (std::size_t i = 0; i < directoryCount && directoriesAt + i * 8 + 8 <= optionalSize; ++i) {
    const std::size_t at = optional + directoriesAt + i * 8;
    layout.directories.push_back({bytes.U32(at), bytes.U32(at + 4)});
  }
  const std::size_t sectionCount = bytes.U16(pe + 6);
  const std::size_t sectionsAt = optional + optionalSize;
  if (!bytes.Has(sectionsAt, sectionCount * 40)) {
    image.error = "its section table is cut short";
    return image;
  }
  for (std::size_t i = 0; i < sectionCount; ++i) {
    const std::size_t at = sectionsAt + i * 40;
    const std::uint32_t offset = bytes.U32(at + 20);
    const std::uint32_t size = bytes.U32(at + 16);
    // A section cut off by the end of the file maps only the bytes that are there.
    const std::size_t present = bytes.Has(offset, 0) ? std::min<std::size_t>(size, data.size() - offset) : 0;
    layout.sections.push_back({bytes.U32(at + 12), static_cast<std::uint32_t>(present), offset});
  }
  image.exportNames = ExportNames(bytes, layout);
  image.fileVersion = FileVersion(bytes, layout);
  return image;
}

std::string MachineName(std::uint16_t machine) {
  switch (machine) {
    case kMachineI386:
      return "32-bit (i386)";
    case kMachineAmd64:
      return "64-bit (x86-64)";
    default:
      break;
  }
  std::ostringstream text;
  text << "for another processor (machine 0x" << std::hex << std::uppercase << machine << ")";
  return text.str();
}
