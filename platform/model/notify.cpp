// The Darwin notify centre, system-wide on a device root as the real one is device-wide.
//
// Each process that observes anything binds one UNIX datagram socket in the root's
// var/run/brindlewick-notify/, named after its process id. Posting delivers to this process's
// observers directly and sends the name to every other socket there. A socket whose process has
// gone is removed by the next poster, and a full socket (an observer that stopped reading) drops
// the post instead of blocking the poster. Callbacks run on a delivery thread of the centre's own;
// a name posted again while it waits there is delivered once, but a post that arrives while it is
// being delivered is delivered again afterwards, so the last post is never lost.
#include <errno.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <deque>
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

std::filesystem::path socketDirectory(const std::filesystem::path &root) {
    return root / "var/run/brindlewick-notify";
}

std::optional<sockaddr_un> socketAddress(const std::filesystem::path &path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string &text = path.native();
    if (text.size() >= sizeof address.sun_path) {
        return std::nullopt;
    }
    text.copy(address.sun_path, text.size());
    return address;
}

// Never destroyed: its threads live as long as the process.
struct Centre {
    std::mutex lock;
    std::vector<ObserverRegistration> observers;
    std::deque<Delivery> queue;
    std::condition_variable queued;
    bool deliveryStarted = false;
    std::filesystem::path ownSocket; // empty until this process listens

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
                }
                if (delivery.done) {
                    delivery.done->set_value();
                }
            } catch (...) {
                if (!delivery.done) {
                    throw; // an observer that raises takes its process down, as on a device
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
        std::filesystem::path directory = socketDirectory(deviceRoot());
        std::error_code failed;
        std::filesystem::create_directories(directory, failed);
        std::filesystem::path path = directory / (std::to_string(getpid()) + ".sock");
        std::optional<sockaddr_un> address = socketAddress(path);
        int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (failed || !address || fd < 0) {
            // Local observers still hear local posts; other processes cannot reach this one.
            if (fd >= 0) {
                close(fd);
            }
            return;
        }
        unlink(path.c_str()); // left by an earlier process with the same id
        if (bind(fd, reinterpret_cast<sockaddr *>(&*address), sizeof *address) != 0) {
            close(fd);
            return;
        }
        ownSocket = path;
        std::atexit([] { unlink(centre().ownSocket.c_str()); });
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
void postToOtherProcesses(const std::string &name, const std::filesystem::path &ownSocket) {
    std::error_code failed;
    std::filesystem::directory_iterator sockets(socketDirectory(deviceRoot()), failed);
    if (failed) {
        return;
    }
    int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return;
    }
    for (const auto &entry : sockets) {
        const std::filesystem::path &path = entry.path();
        std::optional<sockaddr_un> address = socketAddress(path);
        if (path == ownSocket || path.extension() != ".sock" || !address) {
            continue;
        }
        ssize_t sent = sendto(fd, name.data(), name.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                              reinterpret_cast<sockaddr *>(&*address), sizeof *address);
        // A socket nobody reads is one whose process has gone; anything else there is not ours to remove.
        if (sent < 0 && errno == ECONNREFUSED && entry.is_socket(failed) && !entry.is_symlink(failed)) {
            std::filesystem::remove(path, failed);
        }
    }
    close(fd);
}

} // namespace

void postDarwinNotification(const std::string &name, const void *object, PlatformId userInfo) {
    if (name.size() > maximumNotificationName) {
        throw HostException("notification name too long");
    }
    Centre &c = centre();
    std::future<void> done;
    std::filesystem::path ownSocket;
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
