// The Darwin notify centre, system-wide on a device root as the real one is device-wide.
//
// Each process that observes anything binds one UNIX datagram socket in the abstract namespace,
// named after the device root (its device and inode) and the process id, so it leaves nothing in
// the root and goes with its process. Posting delivers to this process's observers directly and
// sends the name to every other socket of the same root, as /proc/net/unix lists them. A full
// socket (an observer that stopped reading) drops the post instead of blocking the poster. Callbacks run on a
// delivery thread of the centre's own; a name posted again while it waits there is delivered once, but a post
// that arrives while it is being delivered is delivered again afterwards, so the last post is never lost.
#include <errno.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <future>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/model/foundation_kinds.h"

namespace model {
namespace {

struct ObserverRegistration {
    PlatformNotifyCenter center;
    const void *observer;
    PlatformNotificationCallback callback;
    std::string name;
    const void *object;
    long suspensionBehavior;
};

struct Delivery {
    std::string name;
    const void *object;
    PlatformId userInfo;
    std::optional<std::promise<void>> done; // empty for a post from another process
};

} // namespace

std::string notifySocketPrefix(const std::filesystem::path &root) {
    struct stat info {};
    if (::stat(root.c_str(), &info) != 0) {
        return "";
    }
    return "brindlewick-notify/" + std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino) + "/";
}

namespace {

// An abstract socket's address: a NUL, then the name, with no terminator.
std::optional<std::pair<sockaddr_un, socklen_t>> socketAddress(const std::string &name) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name.empty() || name.size() + 1 > sizeof address.sun_path) {
        return std::nullopt;
    }
    name.copy(address.sun_path + 1, name.size());
    return std::pair{address, static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size())};
}

// The names of the abstract sockets bound now that start with `prefix`.
std::vector<std::string> socketsNamed(const std::string &prefix) {
    std::vector<std::string> found;
    std::ifstream table("/proc/net/unix");
    std::string line;
    std::getline(table, line); // the heading
    while (std::getline(table, line)) {
        size_t at = line.rfind(" @");
        if (at != std::string::npos && line.compare(at + 2, prefix.size(), prefix) == 0) {
            found.push_back(line.substr(at + 2));
        }
    }
    return found;
}

std::atomic<void (*)(std::exception_ptr)> failureHandler{nullptr};

// Never destroyed: its threads live as long as the process.
struct Centre {
    std::mutex lock;
    std::vector<ObserverRegistration> observers;
    std::deque<Delivery> queue;
    std::condition_variable queued;
    bool deliveryStarted = false;
    std::string ownSocket; // empty until this process listens

    PlatformNotifyCenter handle() { return reinterpret_cast<PlatformNotifyCenter>(this); }

    // Called with the lock held.
    void enqueue(Delivery delivery) {
        if (!delivery.done) {
            for (const Delivery &waiting : queue) {
                if (!waiting.done && waiting.name == delivery.name) {
                    return;
                }
            }
        }
        if (!deliveryStarted) {
            std::thread([this] { deliverForever(); }).detach();
            deliveryStarted = true;
        }
        queue.push_back(std::move(delivery));
        queued.notify_one();
    }

    void deliverForever() {
        for (;;) {
            std::unique_lock guard(lock);
            queued.wait(guard, [this] { return !queue.empty(); });
            Delivery delivery = std::move(queue.front());
            queue.pop_front();
            std::vector<ObserverRegistration> matching;
            for (const ObserverRegistration &registration : observers) {
                if (registration.name == delivery.name) {
                    matching.push_back(registration);
                }
            }
            guard.unlock();
            try {
                PlatformId name = String::constant(delivery.name)->id();
                for (const ObserverRegistration &registration : matching) {
                    AutoreleasePool pool;
                    registration.callback(handle(), const_cast<void *>(registration.observer), name,
                                          delivery.object, delivery.userInfo);
                    rethrowDeferredFailure();
                }
                if (delivery.done) {
                    delivery.done->set_value();
                }
            } catch (...) {
                if (!delivery.done) {
                    // An observer that raises takes its process down, as on a device.
                    if (void (*handler)(std::exception_ptr) = failureHandler.load()) {
                        handler(std::current_exception());
                    }
                    throw;
                }
                delivery.done->set_exception(std::current_exception());
            }
        }
    }

    // Called with the lock held, when the first observer registers.
    void listen() {
        if (!ownSocket.empty()) {
            return;
        }
        std::string prefix = notifySocketPrefix(deviceRoot());
        std::string name = prefix + std::to_string(getpid());
        std::optional<std::pair<sockaddr_un, socklen_t>> address = socketAddress(name);
        int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (prefix.empty() || !address || fd < 0 ||
            bind(fd, reinterpret_cast<sockaddr *>(&address->first), address->second) != 0) {
            // Local observers still hear local posts; other processes cannot reach this one.
            if (fd >= 0) {
                close(fd);
            }
            return;
        }
        ownSocket = name;
        std::thread([this, fd] { receiveForever(fd); }).detach();
    }

    void receiveForever(int fd) {
        char buffer[maximumNotificationName];
        for (;;) {
            ssize_t got = recv(fd, buffer, sizeof buffer, 0);
            if (got < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return;
            }
            std::lock_guard guard(lock);
            enqueue(Delivery{std::string(buffer, static_cast<size_t>(got)), nullptr, nullptr, std::nullopt});
        }
    }

    static Centre &centre() {
        static Centre *instance = new Centre;
        return *instance;
    }
};

Centre &centre() {
    return Centre::centre();
}

// Sends `name` to every other process listening on the current root.
void postToOtherProcesses(const std::string &name, const std::string &ownSocket) {
    std::string prefix = notifySocketPrefix(deviceRoot());
    if (prefix.empty()) {
        return;
    }
    int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return;
    }
    for (const std::string &peer : socketsNamed(prefix)) {
        std::optional<std::pair<sockaddr_un, socklen_t>> address = socketAddress(peer);
        if (peer == ownSocket || !address) {
            continue;
        }
        // A peer gone since the table was read refuses the post, which is then nobody's to hear.
        sendto(fd, name.data(), name.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
               reinterpret_cast<sockaddr *>(&address->first), address->second);
    }
    close(fd);
}

} // namespace

void setDeliveryFailureHandler(void (*handler)(std::exception_ptr failure)) {
    failureHandler.store(handler);
}

void postDarwinNotification(const std::string &name, const void *object, PlatformId userInfo) {
    if (name.size() > maximumNotificationName) {
        throw PlatformRefusal("notification name too long");
    }
    Centre &c = centre();
    std::future<void> done;
    std::string ownSocket;
    {
        std::lock_guard guard(c.lock);
        Delivery delivery{name, object, userInfo, std::promise<void>()};
        done = delivery.done->get_future();
        c.enqueue(std::move(delivery));
        ownSocket = c.ownSocket;
    }
    postToOtherProcesses(name, ownSocket);
    done.get();
}

} // namespace model

using namespace model;

extern "C" PlatformNotifyCenter CFNotificationCenterGetDarwinNotifyCenter(void) {
    if (trace::enabled()) {
        trace::record(trace::call("CFNotificationCenterGetDarwinNotifyCenter", {}));
    }
    return centre().handle();
}

extern "C" void CFNotificationCenterAddObserver(PlatformNotifyCenter center, const void *observer,
                                                PlatformNotificationCallback callback, PlatformId name,
                                                const void *object, long suspensionBehavior) {
    if (trace::enabled()) {
        trace::record(std::string("CFNotificationCenterAddObserver(") +
                      (center == centre().handle() ? "darwin"
                       : center                    ? "center"
                                                   : "nil") +
                      ", " + (observer ? "observer" : "nil") + ", " + (callback ? "callback" : "nil") + ", " +
                      trace::object(name) + ", " + (object ? "object" : "nil") + ", " +
                      std::to_string(suspensionBehavior) + ")");
    }
    std::optional<std::string> text = stringValue(name);
    if (!center || !callback || !text) {
        return;
    }
    std::lock_guard guard(centre().lock);
    centre().observers.push_back({center, observer, callback, *text, object, suspensionBehavior});
    centre().listen();
}
