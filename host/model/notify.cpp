// The Darwin notify centre. Callbacks run on a thread of the centre's own, as on a device, so a
// delivery really races with whatever the host's threads are doing.
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

#include "host/model/foundation_kinds.h"

namespace model {
namespace {

struct Delivery {
    std::string name;
    const void *object;
    HostId userInfo;
    std::promise<void> done;
};

// Never destroyed: its delivery thread lives as long as the process.
struct Centre {
    std::mutex lock;
    std::vector<ObserverRegistration> observers;
    std::deque<Delivery> queue;
    std::condition_variable queued;
    bool started = false;

    HostNotifyCenter handle() { return reinterpret_cast<HostNotifyCenter>(this); }

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
                HostId name = String::constant(delivery.name)->id();
                for (const ObserverRegistration &registration : matching) {
                    AutoreleasePool pool;
                    registration.callback(handle(), const_cast<void *>(registration.observer), name,
                                          delivery.object, delivery.userInfo);
                }
                delivery.done.set_value();
            } catch (...) {
                delivery.done.set_exception(std::current_exception());
            }
        }
    }
};

Centre &centre() {
    static Centre *instance = new Centre;
    return *instance;
}

} // namespace

std::vector<ObserverRegistration> observerRegistrations() {
    std::lock_guard guard(centre().lock);
    return centre().observers;
}

void postDarwinNotification(const std::string &name, const void *object, HostId userInfo) {
    Centre &c = centre();
    std::future<void> done;
    {
        std::lock_guard guard(c.lock);
        if (!c.started) {
            std::thread([&c] { c.deliverForever(); }).detach();
            c.started = true;
        }
        c.queue.push_back(Delivery{name, object, userInfo, {}});
        done = c.queue.back().done.get_future();
    }
    c.queued.notify_one();
    done.get();
}

} // namespace model

using namespace model;

extern "C" HostNotifyCenter CFNotificationCenterGetDarwinNotifyCenter(void) { return centre().handle(); }

extern "C" void CFNotificationCenterAddObserver(HostNotifyCenter center, const void *observer,
                                                HostNotificationCallback callback, HostId name,
                                                const void *object, long suspensionBehavior) {
    std::optional<std::string> text = stringValue(name);
    if (!center || !callback || !text) {
        return;
    }
    std::lock_guard guard(centre().lock);
    centre().observers.push_back({center, observer, callback, *text, object, suspensionBehavior});
}
