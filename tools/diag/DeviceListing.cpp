#include "tools/diag/DeviceListing.h"

#include <iomanip>
#include <sstream>
#include <string>

#include "reader/CardReport.h"
#include "reader/HidEnumeration.h"
#include "reader/HidListenThread.h"
#include "reader/UsbICReaderManager.h"
#include "tools/diag/ExitCodes.h"

namespace {

std::string Hex16(std::uint16_t value) {
  std::ostringstream text;
  text << "0x" << std::uppercase << std::hex << std::setw(4) << std::setfill('0') << value;
  return text.str();
}

bool IsReader(const HidInterfaceInfo& info) {
  return info.ids && info.ids->vendorId == kReaderVendorId && info.ids->productId == kReaderProductId;
}

void WriteIds(const HidInterfaceInfo& info, std::ostream& out) {
  if (info.ids) {
    out << "vendor " << Hex16(info.ids->vendorId) << ", product " << Hex16(info.ids->productId);
  } else {
    out << "vendor and product id not readable";
  }
  out << ", ";
  if (info.inputReportLength) {
    out << "input report " << *info.inputReportLength << " bytes";
  } else {
    out << "input report length not readable";
  }
}

// What a technician should know about a reader's input report length.
void WriteReportLengthWarning(const HidInterfaceInfo& info, std::ostream& out) {
  if (!info.inputReportLength) {
    out << "     warning: the plug-in cannot listen to a reader whose report length is unknown\n";
  } else if (*info.inputReportLength > CHIDListenThread::kReceiveBufferSize) {
    out << "     warning: reports longer than " << CHIDListenThread::kReceiveBufferSize
        << " bytes are not read by the plug-in\n";
  } else if (*info.inputReportLength != kCardReportLength) {
    out << "     warning: card reports are " << kCardReportLength << " bytes; this device's reports give no card"
        << " number\n";
  }
}

}  // namespace

int RunDeviceListing(std::ostream& out) {
  const std::vector<HidInterfaceInfo> interfaces = ListHidInterfaces();
  out << "HID device interfaces present: " << interfaces.size() << "\n";
  bool readerSeen = false;
  for (std::size_t i = 0; i < interfaces.size(); ++i) {
    const HidInterfaceInfo& info = interfaces[i];
    out << std::setw(3) << (i + 1) << ". " << info.path << "\n     ";
    WriteIds(info, out);
    if (IsReader(info)) {
      // The plug-in takes the first reader in enumeration order and ignores the others.
      out << (readerSeen ? "  <- card reader (another one; the plug-in uses the first)" : "  <- card reader");
    }
    out << "\n";
    if (IsReader(info)) {
      WriteReportLengthWarning(info, out);
      readerSeen = true;
    }
  }
  if (readerSeen) {
    out << "The card reader is present.\n";
    return kExitOk;
  }
  out << "No card reader (vendor " << Hex16(kReaderVendorId) << ", product " << Hex16(kReaderProductId)
      << ") found. Check the cable, and look for the reader in Device Manager under"
      << " \"Human Interface Devices\".\n";
  return kExitFailed;
}
