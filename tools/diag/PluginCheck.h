// tarvx-diag --plugin: whether browsers that load NPAPI plug-ins find npTARVX.dll, each
// MozillaPlugins registration checked as a browser of each width would load it.
#pragma once

#include <ostream>

#include "tools/diag/MachineProbe.h"

// Prints the report; kExitOk when the plug-in is registered and no registration is
// broken, kExitFailed otherwise.
int RunPluginCheck(const MachineProbe& probe, std::ostream& out);
