// Plugging simulated devices in and pulling them out, told to the page's windows as
// Windows tells a window registered for device-interface notifications.
#pragma once

#include <cstdint>
#include <string>

#include "tools/simreader/SimReader.h"

namespace nphost {

class Browser;

constexpr std::uint16_t kReaderVendorId = 0x4154;
constexpr std::uint16_t kReaderProductId = 0x5652;
constexpr std::uint16_t kReaderReportLength = 17;

// Adds a device to the simulator, then sends its arrival to every live element.
simreader::Device PlugIn(Browser& browser, std::uint16_t vendorId = kReaderVendorId,
                         std::uint16_t productId = kReaderProductId,
                         std::uint16_t inputReportLength = kReaderReportLength);
// Unplugs the device, then sends its removal, naming it by its path.
void PullOut(Browser& browser, simreader::Device& device);
// The same, naming it as given (the path in other letter case, say).
void PullOut(Browser& browser, simreader::Device& device, const std::string& announcedPath);

}  // namespace nphost
