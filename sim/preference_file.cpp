#include "sim/preference_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "sim/command_line.h"

namespace sim {
namespace {

std::string failure(const std::string &what, const std::filesystem::path &file) {
    return "cannot " + what + " " + file.string() + ": " + std::strerror(errno);
}

} // namespace

std::optional<std::string> readRegularFile(const std::filesystem::path &file, size_t upTo) {
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return std::nullopt; // nothing there, not even the folders on the way
        }
        throw InputError(failure("read", file));
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        throw InputError("cannot read " + file.string() + ": " +
                         (S_ISDIR(info.st_mode) ? "it is a directory" : "it is not a regular file"));
    }
    std::string bytes;
    char buffer[65536];
    while (bytes.size() < upTo) {
        ssize_t got = ::read(fd, buffer, std::min(sizeof buffer, upTo - bytes.size()));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            std::string message = failure("read", file);
            ::close(fd);
            throw InputError(message);
        }
        if (got == 0) {
            break;
        }
        bytes.append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
    return bytes;
}

std::filesystem::path writtenPath(const std::filesystem::path &file) {
    std::filesystem::path path = file;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code failed;
        if (!std::filesystem::is_symlink(path, failed)) {
            return path;
        }
        std::filesystem::path target = std::filesystem::read_symlink(path, failed);
        if (failed) {
            throw InputError("cannot follow the link " + path.string() + ": " + failed.message());
        }
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    throw InputError("cannot write " + file.string() + ": too many levels of symbolic links");
}

void replaceAtomically(const std::filesystem::path &file, const std::string &bytes) {
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
    struct stat existing {};
    bool exists = ::stat(file.c_str(), &existing) == 0;
    mode_t mask = ::umask(0);
    ::umask(mask);
    std::string staged = file.string() + ".XXXXXX";
    int fd = ::mkstemp(staged.data());
    if (fd < 0) {
        throw InputError(failure("write", file));
    }
    bool written = ::fchmod(fd, exists ? existing.st_mode & 07777 : 0666 & ~mask) == 0 &&
                   (!exists || (existing.st_uid == ::geteuid() && existing.st_gid == ::getegid()) ||
                    ::fchown(fd, existing.st_uid, existing.st_gid) == 0) &&
                   ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) &&
                   ::fsync(fd) == 0;
    written = (::close(fd) == 0) && written;
    if (!written || ::rename(staged.c_str(), file.c_str()) != 0) {
        std::string message = failure("write", file);
        ::unlink(staged.c_str());
        throw InputError(message);
    }
}

} // namespace sim
