// The model platform: a small object runtime, Foundation's property-list kinds, a device file
// system, process identity, interfaces and a Darwin notify centre, behind the same C functions
// the library calls on a device. The model's own C++ interface, for the programs around the
// library (the simulator, the emulator's bridge, the tests), which stand where iOS would, is one
// header a subject; this one gathers them.
#pragma once

#include "platform/foundation.h"
#include "platform/model/device.h"
#include "platform/model/failures.h"
#include "platform/model/interception.h"
#include "platform/model/notify.h"
#include "platform/model/process.h"
#include "platform/model/property_lists.h"
#include "platform/model/runtime.h"
#include "platform/model/text.h"
#include "platform/model/trace.h"
#include "platform/notify.h"

// Foundation's C function, as the library's platform finds a class by its name.
extern "C" PlatformClass NSClassFromString(PlatformId name);
// CoreFoundation's uniqued constant string for a text (what CFSTR makes at run time).
extern "C" PlatformId __CFStringMakeConstantString(const char *utf8);
