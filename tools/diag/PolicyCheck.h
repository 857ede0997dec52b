// The policy layer of tarvx-diag --bridge: what the browsers' policies (under HKLM and
// HKCU, and Firefox's policies.json) do to our extension and host. Whether it is forced
// on the kiosk, whether it or native messaging to our host is blocked, whether a host
// registered per user only is refused, and which origins the policy allows, each entry
// read by the extension's own rule (AllowedOrigin) so that entries it ignores are named.
#pragma once

#include "tools/diag/BridgeNames.h"
#include "tools/diag/CheckReport.h"
#include "tools/diag/MachineProbe.h"

struct HostRegistration {
  bool perUser = false;     // found under HKCU
  bool perMachine = false;  // found under HKLM
};

void CheckPolicies(const MachineProbe& probe, const BridgeNames::WindowsBrowser& browser, const HostRegistration& host,
                   CheckReport& report);
