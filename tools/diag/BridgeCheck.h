// tarvx-diag --bridge: whether Chrome, Edge and Firefox find the native messaging host,
// registration by registration, and what to do where they do not.
#pragma once

#include <ostream>

#include "tools/diag/MachineProbe.h"

// Prints the report; kExitOk when every browser finds a sound registration and none is
// broken, kExitFailed otherwise.
int RunBridgeCheck(const MachineProbe& probe, std::ostream& out);
