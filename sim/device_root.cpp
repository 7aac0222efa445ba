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

// A copy made before /User became a link keeps its files: they move to /var/mobile, where both
// layouts of the library find them through the link.
static void linkUserToMobile(const std::filesystem::path &root) {
    std::error_code failed;
    std::filesystem::path user = root / "User";
    std::filesystem::path mobile = root / "var" / "mobile";
    if (!std::filesystem::is_directory(std::filesystem::symlink_status(user, failed)) ||
        std::filesystem::exists(mobile, failed)) {
        return;
    }
    std::filesystem::create_directories(mobile.parent_path(), failed);
    std::filesystem::rename(user, mobile, failed);
    if (!failed) {
        std::filesystem::create_directory_symlink("var/mobile", user, failed);
    }
    if (failed) {
        throw InputError("cannot link " + user.string() + " to " + mobile.string() + ": " + failed.message());
    }
}

void prepareDevice(const std::filesystem::path &root, const std::filesystem::path &example, bool reset) {
    std::error_code failed;
    if (std::filesystem::exists(root, failed) && !reset) {
        linkUserToMobile(root);
        return;
    }
    std::filesystem::path staged = root;
    staged += ".making-" + std::to_string(getpid());
    std::filesystem::remove_all(staged, failed);
    std::filesystem::create_directories(staged, failed);
    // As on a phone, /User is a link to /var/mobile: the copy keeps the link a link.
    std::filesystem::copy(
        example, staged,
        std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks, failed);
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
