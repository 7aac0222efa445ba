// The Darwin notification centre: notifications by name, across every process of the device.
#pragma once

#include "platform/objects.h"

typedef struct PlatformNotifyCenterOpaque *PlatformNotifyCenter;

// CFNotificationCallback.
typedef void (*PlatformNotificationCallback)(PlatformNotifyCenter center, void *observer, PlatformId name,
                                             const void *object, PlatformId userInfo);

// CFNotificationSuspensionBehaviorCoalesce.
static const long platformSuspensionBehaviorCoalesce = 2;

#ifdef __cplusplus
extern "C" {
#endif

PlatformNotifyCenter CFNotificationCenterGetDarwinNotifyCenter(void);

// Calls `callback` on a thread of the centre's own each time `name` is posted. The registration
// is never removed. Nothing is returned.
void CFNotificationCenterAddObserver(PlatformNotifyCenter center, const void *observer,
                                     PlatformNotificationCallback callback, PlatformId name,
                                     const void *object, long suspensionBehavior);

#ifdef __cplusplus
}
#endif
