// The device the simulator works on when --root names none: the user's own copy of the bundled
// example, under the user's state directory, so that nothing the simulator does changes the
// example itself.
#pragma once

#include <filesystem>

namespace sim {

// $XDG_STATE_HOME/brindlewick/device, or ~/.local/state/brindlewick/device. Throws InputError
// when neither variable says where that is.
std::filesystem::path defaultDeviceRoot();

// Makes `root` a copy of `example` when it does not exist yet, or afresh when `reset` is set.
// The copy is made beside it and then moved into place, so a half-made device is never used.
void prepareDevice(const std::filesystem::path &root, const std::filesystem::path &example, bool reset);

} // namespace sim
