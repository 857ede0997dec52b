// tarvx-diag without arguments: the HID device interfaces present, the reader marked.
#pragma once

#include <ostream>

// Returns the exit code: ok when the card reader is among the interfaces.
int RunDeviceListing(std::ostream& out);
