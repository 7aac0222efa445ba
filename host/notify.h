// The Darwin notification centre: notifications by name, across every process of the device.
#pragma once

#include "host/objects.h"

typedef struct HostNotifyCenterOpaque *HostNotifyCenter;

// CFNotificationCallback.
typedef void (*HostNotificationCallback)(HostNotifyCenter center, void *observer, HostId name,
                                         const void *object, HostId userInfo);

// CFNotificationSuspensionBehaviorCoalesce.
static const long hostSuspensionBehaviorCoalesce = 2;

#ifdef __cplusplus
extern "C" {
#endif

HostNotifyCenter CFNotificationCenterGetDarwinNotifyCenter(void);

// Calls `callback` on a thread of the centre's own each time `name` is posted. The registration
// is never removed. Nothing is returned.
void CFNotificationCenterAddObserver(HostNotifyCenter center, const void *observer,
                                     HostNotificationCallback callback, HostId name, const void *object,
                                     long suspensionBehavior);

#ifdef __cplusplus
}
#endif
