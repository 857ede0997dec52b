#include "tools/host/ReaderEvents.h"

#include <dbt.h>

#include "tools/host/Browser.h"

namespace nphost {

simreader::Device PlugIn(Browser& browser, std::uint16_t vendorId, std::uint16_t productId,
                         std::uint16_t inputReportLength) {
  simreader::Device device(vendorId, productId, inputReportLength);
  browser.SendDeviceInterfaceChange(DBT_DEVICEARRIVAL, device.Path());
  return device;
}

void PullOut(Browser& browser, simreader::Device& device) { PullOut(browser, device, device.Path()); }

void PullOut(Browser& browser, simreader::Device& device, const std::string& announcedPath) {
  device.Unplug();
  browser.SendDeviceInterfaceChange(DBT_DEVICEREMOVECOMPLETE, announcedPath);
}

}  // namespace nphost
