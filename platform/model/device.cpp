// The device around the library: its file system under a root, the identity of the process,
// and the interface-address list.
#include "platform/model/device.h"

#include <errno.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>

#include "platform/model/foundation_kinds.h"
#include "platform/model/sharded_counter.h"

namespace model {
namespace {

// Never destroyed: the notify centre's threads may read the root while the process exits.
std::mutex deviceLock;
std::filesystem::path &root() {
    static auto *path = new std::filesystem::path("/");
    return *path;
}
ShardedCounter fileReads;

class ProcessInfo : public Object {
  public:
    ProcessInfo(const ProcessSetup &setup) : Object(foundation().processInfo) {
        if (setup.processName) {
            name_ = makeString(*setup.processName);
        }
        std::vector<PlatformId> elements;
        for (const std::string &argument : setup.arguments) {
            elements.push_back(makeString(argument));
        }
        arguments_ = makeArray(elements);
        for (PlatformId element : elements) {
            model::release(element);
        }
    }
    ~ProcessInfo() override {
        model::release(name_);
        model::release(arguments_);
    }
    PlatformId name() const { return name_; }
    PlatformId arguments() const { return arguments_; }

  private:
    PlatformId name_ = nullptr;
    PlatformId arguments_ = nullptr;
};

// What the real process reports: its short name and its command line.
ProcessSetup realProcess() {
    ProcessSetup setup;
    setup.processName = program_invocation_short_name;
    std::ifstream cmdline("/proc/self/cmdline", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(cmdline)), std::istreambuf_iterator<char>());
    for (size_t start = 0; start < all.size();) {
        size_t end = all.find('\0', start);
        if (end == std::string::npos) {
            end = all.size();
        }
        std::string argument = all.substr(start, end - start);
        setup.arguments.push_back(isValidUTF8(argument) ? argument : "?");
        start = end + 1;
    }
    return setup;
}

struct ProcessState {
    bool hasProcessInfo = true;
    bool classFindable = true;
    ProcessInfo *info = nullptr;
};

ProcessState &processState() {
    static ProcessState *state = [] {
        auto *made = new ProcessState;
        made->info = new ProcessInfo(realProcess());
        return made;
    }();
    return *state;
}

InterfaceQuery interfaceQuery = nullptr;
InterfaceRelease interfaceRelease = nullptr;

// Why the last file that was there could not be read: noted on the failing path only, so a read
// that finds its file whole costs nothing more.
std::mutex problemLock;
FileProblems &problems() {
    static auto *noted = new FileProblems;
    return *noted;
}

std::nullopt_t noteProblem(const char *absolutePath, std::string why) {
    std::lock_guard guard(problemLock);
    ++problems().count;
    problems().file = absolutePath;
    problems().why = std::move(why);
    return std::nullopt;
}

} // namespace

FileProblems fileProblems() {
    std::lock_guard guard(problemLock);
    return problems();
}

void noteUnreadableDictionary(const char *absolutePath, const std::string &why) {
    noteProblem(absolutePath, why);
}

void setDeviceRoot(std::filesystem::path newRoot) {
    std::lock_guard guard(deviceLock);
    root() = std::move(newRoot);
}

std::filesystem::path deviceRoot() {
    std::lock_guard guard(deviceLock);
    return root();
}

// An absolute device path as a path on this machine: the same file for devicePath and for
// every read, with as little work as a read on every replaced call wants.
std::string deviceFileName(const char *absolutePath) {
    std::string full;
    {
        std::lock_guard guard(deviceLock);
        full = root().native();
    }
    if (full.empty() || full.back() != '/') {
        full += '/';
    }
    while (*absolutePath == '/') {
        ++absolutePath;
    }
    return full += absolutePath;
}

std::filesystem::path devicePath(const char *absolutePath) {
    return deviceFileName(absolutePath);
}

long dictionaryFileReads() {
    return fileReads.total();
}

std::optional<std::string_view> readDeviceFile(const char *absolutePath, std::string &room) {
    fileReads.add(1);
    // Without waiting on a FIFO or a device: only a regular file reads as a property list.
    int fd = ::open(deviceFileName(absolutePath).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        // No file at all is no problem: the library simply has no settings.
        if (errno == ENOENT || errno == ENOTDIR) {
            return std::nullopt;
        }
        return noteProblem(absolutePath, std::strerror(errno));
    }
    std::unique_ptr<int, void (*)(int *)> closing(&fd, [](int *open) { ::close(*open); });
    // Every replaced call reads the file, so this path stays lean: one pread into the room the
    // last read left, which a regular file that fits fills short of the end. Only another answer
    // asks fstat: pread fails on a FIFO, a socket or a terminal, a directory refuses to be read,
    // a device fills the room or gives nothing, and a file that outgrew the room needs its size.
    room.resize(std::max(room.size(), size_t{4096}));
    size_t used = 0;
    for (;;) {
        ssize_t got = ::pread(fd, room.data() + used, room.size() - used, static_cast<off_t>(used));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got > 0 && used + static_cast<size_t>(got) < room.size()) {
            return std::string_view(room.data(), used + static_cast<size_t>(got));
        }
        int failure = errno;
        struct stat info {};
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            return noteProblem(absolutePath,
                               S_ISDIR(info.st_mode) ? "it is a directory" : "it is not a regular file");
        }
        if (got < 0) {
            return noteProblem(absolutePath, std::strerror(failure));
        }
        if (got == 0) {
            return std::string_view(room.data(), used);
        }
        used += static_cast<size_t>(got);
        room.resize(std::max(room.size() * 2, static_cast<size_t>(info.st_size) + 1));
    }
}

void setProcess(const ProcessSetup &setup) {
    std::lock_guard guard(deviceLock);
    ProcessState &state = processState();
    state.hasProcessInfo = setup.hasProcessInfo;
    state.classFindable = setup.classFindableByName;
    ProcessInfo *previous = state.info;
    state.info = new ProcessInfo(setup);
    previous->release();
}

void setInterfaceSource(InterfaceQuery query, InterfaceRelease release) {
    std::lock_guard guard(deviceLock);
    interfaceQuery = query;
    interfaceRelease = release;
}

int getInterfaces(struct ifaddrs **list) {
    if (trace::enabled()) {
        trace::record(trace::call("getifaddrs", {"&list"}));
    }
    InterfaceQuery query;
    {
        std::lock_guard guard(deviceLock);
        query = interfaceQuery ? interfaceQuery : &::getifaddrs;
    }
    return query(list);
}

void freeInterfaces(struct ifaddrs *list) {
    InterfaceRelease release;
    {
        std::lock_guard guard(deviceLock);
        release = interfaceRelease ? interfaceRelease : &::freeifaddrs;
    }
    release(list);
}

const char *inetNtoa(uint32_t networkOrderAddress) {
    struct in_addr address;
    address.s_addr = networkOrderAddress;
    const char *text = inet_ntoa(address);
    if (trace::enabled()) {
        trace::record(trace::call("inet_ntoa", {text}));
    }
    return text;
}

void yieldThread() {
    if (trace::enabled()) {
        trace::record(trace::call("sched_yield", {}));
    }
    sched_yield();
}

namespace {

PlatformId processInfo(PlatformId self, PlatformSel) {
    if (classOf(reinterpret_cast<PlatformClass>(self)) != foundation().processInfo) {
        raiseUnrecognized(self, selector("processInfo"));
    }
    std::lock_guard guard(deviceLock);
    ProcessState &state = processState();
    return state.hasProcessInfo ? state.info->id() : nullptr;
}

PlatformId processName(PlatformId self, PlatformSel) {
    return as<ProcessInfo>(self, "processName").name();
}

PlatformId arguments(PlatformId self, PlatformSel) {
    return as<ProcessInfo>(self, "arguments").arguments();
}

} // namespace

void addProcessInfoMethods(Class *cls) {
    addClassMethod(cls, "processInfo", &processInfo);
    addMethod(cls, "processName", &processName);
    addMethod(cls, "arguments", &arguments);
}

} // namespace model

using namespace model;

extern "C" PlatformClass NSClassFromString(PlatformId name) {
    std::optional<std::string> text = stringValue(name);
    if (trace::enabled()) {
        trace::record(trace::call("NSClassFromString", {trace::object(name)}));
    }
    if (!text) {
        return nullptr;
    }
    {
        std::lock_guard guard(deviceLock);
        if (!processState().classFindable && *text == "NSProcessInfo") {
            return nullptr;
        }
    }
    Class *found = findClass(*text);
    return found ? found->handle() : nullptr;
}
