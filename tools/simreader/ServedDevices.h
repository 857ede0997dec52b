// The devices that the stand-ins and the control functions of this process serve: the
// process's own (the in-process mode, the default), or, when SIMREADER_SHARED names a
// session when they are first used, those of that session's server (the shared mode).
#pragma once

#include "tools/simreader/DeviceHost.h"

// The first call (of this or the next function) decides the mode for the life of the process.
DeviceHost& ServedDevices();

// In the shared mode: makes sure that the modules loaded by now tell the server about the
// windows they register for HID interface notifications (RegisterDeviceNotificationA),
// so that those windows get them. The stand-in functions call it, as programs use them
// before they register (HidD_GetHidGuid gives the class to register for); nothing in the
// in-process mode.
void CoverNotificationRegistrations();
