// The model's Darwin notify centre, across the processes of one device root.
#pragma once

#include <cstddef>
#include <exception>
#include <filesystem>
#include <string>

#include "platform/objects.h"

namespace model {

// The notify centre.
// Posts `name` on the device root: this process's observers have been called, on the centre's
// delivery thread, when it returns; other processes' observers are called soon after. A name
// longer than one datagram carries raises.
constexpr size_t maximumNotificationName = 1024;
void postDarwinNotification(const std::string &name, const void *object = nullptr,
                            PlatformId userInfo = nullptr);
// "brindlewick-notify/DEVICE:INODE/" of a root: each observing process of it binds an abstract
// socket whose name starts so. Empty when the root cannot be looked at.
std::string notifySocketPrefix(const std::filesystem::path &root);
// What happens when an observer raises on a post from another process, which nobody waits for:
// the process ends, as a device's would, through `handler` (which must not return); without one,
// by std::terminate.
void setDeliveryFailureHandler(void (*handler)(std::exception_ptr failure));

} // namespace model
