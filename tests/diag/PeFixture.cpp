#include "tests/diag/PeFixture.h"

#include <cstddef>

namespace {

constexpr std::uint32_t kSectionAddress = 0x1000;
constexpr std::size_t kHeadersSize = 0x200;  // also the section's file offset
constexpr std::size_t kFileAlignment = 0x200;

void Put(std::string& bytes, std::size_t offset, std::uint32_t value, std::size_t width) {
  if (bytes.size() < offset + width) bytes.resize(offset + width, '\0');
  for (std::size_t i = 0; i < width; ++i) bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFFU);
}
void Put16(std::string& bytes, std::size_t offset, std::uint32_t value) { Put(bytes, offset, value, 2); }
void Put32(std::string& bytes, std::size_t offset, std::uint32_t value) { Put(bytes, offset, value, 4); }
void Align(std::string& bytes, std::size_t alignment) {
  bytes.resize((bytes.size() + alignment - 1) / alignment * alignment, '\0');
}
std::uint32_t Rva(std::size_t sectionOffset) { return kSectionAddress + static_cast<std::uint32_t>(sectionOffset); }

// The export directory, the name pointers and the names, from the section's start.
void AddExports(std::string& section, const std::vector<std::string>& names) {
  section.resize(40 + names.size() * 4, '\0');
  Put32(section, 24, static_cast<std::uint32_t>(names.size()));  // NumberOfNames
  Put32(section, 32, Rva(40));                                   // AddressOfNames
  std::size_t nameAt = 40 + names.size() * 4;
  for (std::size_t i = 0; i < names.size(); ++i) {
    Put32(section, 40 + i * 4, Rva(nameAt));
    section.replace(nameAt, 0, names[i] + '\0');
    nameAt += names[i].size() + 1;
  }
}

// Type 16 / name 1 / language 0x409 / VS_VERSIONINFO with its fixed part; returns where it starts.
std::size_t AddVersion(std::string& section, const std::array<std::uint16_t, 4>& version) {
  Align(section, 4);
  const std::size_t root = section.size();
  std::size_t level = 0;
  for (const std::uint32_t id : {16U, 1U, 0x409U}) {
    const std::size_t directory = root + level * 24;
    Put16(section, directory + 14, 1);  // one id entry
    Put32(section, directory + 16, id);
    Put32(section, directory + 20, level < 2 ? (0x80000000U | static_cast<std::uint32_t>((level + 1) * 24)) : 72);
    ++level;
  }
  const std::size_t data = root + 88;
  Put32(section, root + 72, Rva(data));
  Put32(section, root + 76, 92);
  Put16(section, data, 92);
  Put16(section, data + 2, 52);
  const std::string key = "VS_VERSION_INFO";
  for (std::size_t i = 0; i < key.size(); ++i) Put16(section, data + 6 + i * 2, static_cast<unsigned char>(key[i]));
  Put32(section, data + 40, 0xFEEF04BDU);
  Put32(section, data + 44, 0x00010000U);
  Put32(section, data + 48, (std::uint32_t{version[0]} << 16) | version[1]);
  Put32(section, data + 52, (std::uint32_t{version[2]} << 16) | version[3]);
  Put32(section, data + 88, 0);
  return root;
}

}  // namespace

std::string PeFixture::Build() const {
  std::string section;
  if (!exports.empty()) AddExports(section, exports);
  const std::size_t exportSize = section.size();
  std::size_t resources = 0;
  std::size_t resourceSize = 0;
  if (version) {
    resources = AddVersion(section, *version);
    resourceSize = section.size() - resources;
  }
  if (section.empty()) section.resize(16, '\0');
  Align(section, kFileAlignment);

  const bool pe32Plus = machine == 0x8664;
  const std::size_t pe = 0x40;
  const std::size_t optional = pe + 24;
  const std::size_t directories = optional + (pe32Plus ? 112 : 96);
  const std::size_t optionalSize = (pe32Plus ? 112 : 96) + 16 * 8;
  std::string bytes(kHeadersSize, '\0');
  bytes[0] = 'M';
  bytes[1] = 'Z';
  Put32(bytes, 0x3C, pe);
  bytes.replace(pe, 4, std::string("PE\0\0", 4));
  Put16(bytes, pe + 4, machine);
  Put16(bytes, pe + 6, 1);  // one section
  Put16(bytes, pe + 20, static_cast<std::uint32_t>(optionalSize));
  Put16(bytes, pe + 22, 0x0002U | (isDll ? 0x2000U : 0U));  // executable image, DLL
  Put16(bytes, optional, pe32Plus ? 0x20B : 0x10B);
  Put32(bytes, directories - 4, 16);  // NumberOfRvaAndSizes
  if (!exports.empty()) {
    Put32(bytes, directories, Rva(0));
    Put32(bytes, directories + 4, static_cast<std::uint32_t>(exportSize));
  }
  if (version) {
    Put32(bytes, directories + 16, Rva(resources));
    Put32(bytes, directories + 20, static_cast<std::uint32_t>(resourceSize));
  }
  const std::size_t header = optional + optionalSize;
  bytes.replace(header, 6, ".rdata");
  Put32(bytes, header + 8, static_cast<std::uint32_t>(section.size()));  // VirtualSize
  Put32(bytes, header + 12, kSectionAddress);
  Put32(bytes, header + 16, static_cast<std::uint32_t>(section.size()));  // SizeOfRawData
  Put32(bytes, header + 20, kHeadersSize);                                // PointerToRawData
  return bytes + section;
}
