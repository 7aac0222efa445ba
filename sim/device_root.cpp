#include "sim/device_root.h"

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "sim/command_line.h"

namespace sim {

std::filesystem::path defaultDeviceRoot() {
    const char *state = std::getenv("XDG_STATE_HOME");
    const char *home = std::getenv("HOME");
    if (state && *state == '/') {
        return std::filesystem::path(state) / "brindlewick" / "device";
    }
    if (home && *home) {
        return std::filesystem::path(home) / ".local" / "state" / "brindlewick" / "device";
    }
    throw InputError("no state directory for the default device: set HOME or XDG_STATE_HOME, or give --root");
}

void prepareDevice(const std::filesystem::path &root, const std::filesystem::path &example, bool reset) {
    std::error_code failed;
    if (std::filesystem::exists(root, failed) && !reset) {
        return;
    }
    std::filesystem::path staged = root;
    staged += ".making-" + std::to_string(getpid());
    std::filesystem::remove_all(staged, failed);
    std::filesystem::create_directories(staged, failed);
    std::filesystem::copy(example / "User", staged / "User", std::filesystem::copy_options::recursive,
                          failed);
    if (failed) {
        std::filesystem::remove_all(staged, failed);
        throw InputError("cannot make the default device at " + root.string() + " from " + example.string());
    }
    std::filesystem::remove_all(root, failed);
    std::filesystem::rename(staged, root, failed);
    if (failed) {
        throw InputError("cannot put the default device in place at " + root.string() + ": " +
                         failed.message());
    }
}

} // namespace sim
