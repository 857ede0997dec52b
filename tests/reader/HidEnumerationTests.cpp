// Finding HID interfaces among simulated devices: which one FindHidDevicePath takes, what
// ListHidInterfaces reports, and that neither leaves anything open.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reader/HidEnumeration.h"
#include "tools/simreader/SimReader.h"

namespace {

struct DeviceSetup {
  std::uint16_t vendorId;
  std::uint16_t productId;
  unsigned faults;
};

constexpr DeviceSetup kMouse{0x046D, 0xC077, 0};
constexpr DeviceSetup kReader{0x4154, 0x5652, 0};
constexpr DeviceSetup kReaderWithoutAttributes{0x4154, 0x5652, SIMREADER_FAULT_ATTRIBUTES};
constexpr DeviceSetup kReaderWithoutDetail{0x4154, 0x5652, SIMREADER_FAULT_DETAIL_SIZE};
constexpr DeviceSetup kMouseWithoutDetail{0x046D, 0xC077, SIMREADER_FAULT_DETAIL_SIZE};
constexpr DeviceSetup kSameVendorOtherProduct{0x4154, 0x0001, 0};

std::vector<simreader::Device> Plug(const std::vector<DeviceSetup>& setups) {
  std::vector<simreader::Device> devices;
  for (const DeviceSetup& setup : setups) {
    devices.emplace_back(setup.vendorId, setup.productId, 17);
    devices.back().SetFaults(setup.faults);
  }
  return devices;
}

TEST(HidEnumeration, FindHidDevicePathTakesTheFirstMatchInEnumerationOrder) {
  struct Case {
    const char* name;
    std::vector<DeviceSetup> devices;
    std::uint16_t vendorId;
    std::uint16_t productId;
    int expected;  // index into devices, -1 for no match
  };
  const Case cases[] = {
      {"no devices", {}, 0x4154, 0x5652, -1},
      {"only other devices", {kMouse, kSameVendorOtherProduct}, 0x4154, 0x5652, -1},
      {"the first of two readers", {kMouse, kReader, kReader}, 0x4154, 0x5652, 1},
      {"vendor 0 takes the first interface", {kMouse, kReader}, 0, 0x5652, 0},
      {"vendor 0 ignores the product", {kMouse, kReader}, 0, 0, 0},
      {"the product must match too", {kSameVendorOtherProduct, kReader}, 0x4154, 0x5652, 1},
      {"unreadable attributes do not match", {kReaderWithoutAttributes, kReader}, 0x4154, 0x5652, 1},
      {"an interface whose detail asks for gigabytes is skipped", {kReaderWithoutDetail, kReader}, 0x4154, 0x5652, 1},
      {"skipped for vendor 0 too", {kMouseWithoutDetail, kReader}, 0, 0, 1},
      {"another device's ids", {kReader, kMouse}, 0x046D, 0xC077, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<simreader::Device> devices = Plug(c.devices);
    const std::string expected = c.expected < 0 ? std::string() : devices[static_cast<std::size_t>(c.expected)].Path();
    EXPECT_EQ(FindHidDevicePath(c.vendorId, c.productId), expected);
    // Every query handle was closed and the device information set destroyed.
    for (const simreader::Device& device : devices) EXPECT_EQ(device.OpenHandleCount(), 0);
    EXPECT_EQ(simreader::Stats().deviceInfoLists, 0u);
  }
}

TEST(HidEnumeration, ListHidInterfacesDescribesEveryInterfaceInOrder) {
  simreader::Device mouse(0x046D, 0xC077, 5);
  simreader::Device reader(0x4154, 0x5652, 17);
  simreader::Device unreadable(0x4154, 0x5652, 17);
  unreadable.SetFaults(SIMREADER_FAULT_ATTRIBUTES | SIMREADER_FAULT_CAPS);
  simreader::Device hidden(0x1234, 0x5678, 8);
  hidden.SetFaults(SIMREADER_FAULT_DETAIL_SIZE);

  const std::vector<HidInterfaceInfo> interfaces = ListHidInterfaces();

  ASSERT_EQ(interfaces.size(), 3u);
  EXPECT_EQ(interfaces[0].path, mouse.Path());
  ASSERT_TRUE(interfaces[0].ids.has_value());
  EXPECT_EQ(interfaces[0].ids->vendorId, 0x046D);
  EXPECT_EQ(interfaces[0].ids->productId, 0xC077);
  EXPECT_EQ(interfaces[0].inputReportLength, std::optional<std::uint16_t>(5));
  EXPECT_EQ(interfaces[1].path, reader.Path());
  EXPECT_EQ(interfaces[1].inputReportLength, std::optional<std::uint16_t>(17));
  EXPECT_EQ(interfaces[2].path, unreadable.Path());
  EXPECT_FALSE(interfaces[2].ids.has_value());
  EXPECT_FALSE(interfaces[2].inputReportLength.has_value());

  const SimReaderStats stats = simreader::Stats();
  EXPECT_EQ(stats.deviceInfoLists, 0u);
  EXPECT_EQ(stats.preparsedData, 0u);
  for (const simreader::Device* device : {&mouse, &reader, &unreadable}) EXPECT_EQ(device->OpenHandleCount(), 0);
}

}  // namespace
