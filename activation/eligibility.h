// Whether the host process is one the library serves: SpringBoard, or an application that is not
// a file provider, an application extension or one of a few system services.
#pragma once

#include "host/objects.h"

struct ProcessIdentity {
    HostBool hasProcessInfo;
    HostId processName; // the name the process-information object reports, or null
    HostId arguments;   // the launch arguments (element 0: the executable's path), or null
};

// Fills the identity from the platform. When there is no process-information object, neither the
// name nor the arguments are read.
ProcessIdentity readProcessIdentity();

// The decision. Sends only string and array messages to what the identity holds; no side effects.
bool processIsEligible(const ProcessIdentity &identity);
