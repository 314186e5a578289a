#include "SimulatedLink.h"

#include <algorithm>
#include <atomic>
#include <map>

#ifdef _WIN32
#include "win32/WindowsApi.h"
#else
#include <cerrno>
#endif

namespace cport {

namespace {

#ifdef _WIN32
constexpr OsError kNoSuchDevice = ERROR_FILE_NOT_FOUND;
constexpr OsError kBusy = ERROR_ACCESS_DENIED;
constexpr OsError kNotOpen = ERROR_INVALID_HANDLE;
#else
constexpr OsError kNoSuchDevice = ENOENT;
constexpr OsError kBusy = EBUSY;
constexpr OsError kNotOpen = EBADF;
#endif

std::mutex registryMutex;
std::map<std::string, std::weak_ptr<SimulatedLink>>& Registry() {
    static std::map<std::string, std::weak_ptr<SimulatedLink>> links;
    return links;
}

} // namespace

class SimulatedLinkBackend : public ComBackend {
public:
    explicit SimulatedLinkBackend(std::shared_ptr<SimulatedLink> link)
        : link_(std::move(link)) {}
    ~SimulatedLinkBackend() override { Close(); }

    OsError Open(const std::string&) override {
        std::lock_guard lock(link_->mutex_);
        if (link_->hungUp_)
            return kNoSuchDevice;
        if (link_->portOpen_)
            return kBusy;
        link_->portOpen_ = open_ = true;
        link_->toHost_.clear();
        return 0;
    }

    void Close() override {
        std::lock_guard lock(link_->mutex_);
        if (!open_)
            return;
        open_ = false;
        link_->portOpen_ = false;
        link_->lineSet_ = false;
        link_->toHost_.clear();
        link_->changed_.notify_all();
    }

    bool IsOpen() const override { return open_; }

    OsError SetQueueSizes(std::uint32_t, std::uint32_t) override { return Usable(); }
    OsError SetTimeouts(const TimeoutSettings&) override { return Usable(); }
    OsError SetLineSettings(const LineSettings& settings) override {
        std::lock_guard lock(link_->mutex_);
        if (!open_ || link_->hungUp_)
            return kNotOpen;
        link_->line_ = settings;
        link_->lineSet_ = true;
        return 0;
    }

    OsError Write(const void* data, std::size_t count, std::size_t& done) override {
        done = 0;
        std::lock_guard lock(link_->mutex_);
        if (!open_ || link_->hungUp_)
            return kNotOpen;
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        link_->toDevice_.insert(link_->toDevice_.end(), bytes, bytes + count);
        done = count;
        link_->changed_.notify_all();
        return 0;
    }

    OsError Read(void* data, std::size_t count, std::size_t& done) override {
        done = 0;
        std::lock_guard lock(link_->mutex_);
        if (!open_)
            return kNotOpen;
        auto& queue = link_->toHost_;
        done = std::min(count, queue.size());
        std::copy_n(queue.begin(), done, static_cast<std::uint8_t*>(data));
        queue.erase(queue.begin(), queue.begin() + static_cast<std::ptrdiff_t>(done));
        return 0;
    }

    OsError Purge(unsigned flags) override {
        std::lock_guard lock(link_->mutex_);
        if (!open_)
            return kNotOpen;
        if (flags & purgeClearRx)
            link_->toHost_.clear();
        if (flags & purgeClearTx)
            link_->toDevice_.clear();
        return 0;
    }

    OsError ClearErrors(QueueStatus& status) override {
        std::lock_guard lock(link_->mutex_);
        if (!open_)
            return kNotOpen;
        status = {};
        status.InQueue = static_cast<std::uint32_t>(link_->toHost_.size());
        return 0;
    }

    OsError GetModemLines(ModemLines& lines) override {
        lines = {};
        return Usable();
    }

    OsError PrepareEventWait(TComEvents events) override {
        std::lock_guard lock(link_->mutex_);
        link_->watched_ = events;
        link_->waitStop_ = false;
        seenArrivals_ = link_->arrivals_;
        return 0;
    }

    WaitOutcome WaitForEvents(TComEvents& events) override {
        std::unique_lock lock(link_->mutex_);
        link_->changed_.wait(lock, [this] {
            return link_->waitStop_ || link_->hungUp_ ||
                   (link_->watched_.Contains(evRxChar) && link_->arrivals_ != seenArrivals_);
        });
        if (link_->waitStop_)
            return WaitOutcome::Stopped;
        if (link_->hungUp_)
            return WaitOutcome::DeviceLost;
        seenArrivals_ = link_->arrivals_;
        events = TComEvents{evRxChar};
        return WaitOutcome::Events;
    }

    void StopEventWait() override {
        std::lock_guard lock(link_->mutex_);
        link_->waitStop_ = true;
        link_->changed_.notify_all();
    }

    void FinishEventWait() override {
        std::lock_guard lock(link_->mutex_);
        link_->watched_ = {};
        link_->toHost_.clear();
    }

    bool CountWaiting(std::uint32_t& count) override {
        std::lock_guard lock(link_->mutex_);
        count = static_cast<std::uint32_t>(link_->toHost_.size());
        return true;
    }

private:
    OsError Usable() const {
        std::lock_guard lock(link_->mutex_);
        return open_ && !link_->hungUp_ ? 0 : kNotOpen;
    }

    std::shared_ptr<SimulatedLink> link_;
    bool open_ = false;
    std::uint64_t seenArrivals_ = 0;
};

SimulatedLink::SimulatedLink(std::string name)
    : name_(std::move(name)) {}

SimulatedLink::~SimulatedLink() {
    std::lock_guard lock(registryMutex);
    Registry().erase(name_);
}

std::shared_ptr<SimulatedLink> SimulatedLink::Create() {
    static std::atomic<int> next{1};
    std::lock_guard lock(registryMutex);
    std::string name;
    do
        name = "SIM" + std::to_string(next++);
    while (Registry().count(name) != 0);
    std::shared_ptr<SimulatedLink> link(new SimulatedLink(name));
    Registry()[name] = link;
    return link;
}

std::shared_ptr<SimulatedLink> SimulatedLink::Find(const std::string& name) {
    std::lock_guard lock(registryMutex);
    const auto found = Registry().find(name);
    return found == Registry().end() ? nullptr : found->second.lock();
}

std::size_t SimulatedLink::Receive(std::uint8_t* buffer, std::size_t size) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return farStop_ || !toDevice_.empty(); });
    if (farStop_)
        return 0;
    const std::size_t n = std::min(size, toDevice_.size());
    std::copy_n(toDevice_.begin(), n, buffer);
    toDevice_.erase(toDevice_.begin(), toDevice_.begin() + static_cast<std::ptrdiff_t>(n));
    return n;
}

void SimulatedLink::Send(const std::uint8_t* data, std::size_t size) {
    std::lock_guard lock(mutex_);
    if (!portOpen_ || hungUp_ || size == 0)
        return;
    toHost_.insert(toHost_.end(), data, data + size);
    ++arrivals_;
    changed_.notify_all();
}

bool SimulatedLink::WaitUntil(std::chrono::steady_clock::time_point due) {
    std::unique_lock lock(mutex_);
    return !changed_.wait_until(lock, due, [this] { return farStop_; });
}

void SimulatedLink::StopFarEnd() {
    std::lock_guard lock(mutex_);
    farStop_ = true;
    changed_.notify_all();
}

void SimulatedLink::HangUp() {
    std::lock_guard lock(mutex_);
    hungUp_ = true;
    changed_.notify_all();
}

LineSettings SimulatedLink::Line() const {
    std::lock_guard lock(mutex_);
    if (!lineSet_) {
        LineSettings none;
        none.BaudRate = 0;
        return none;
    }
    return line_;
}

std::unique_ptr<ComBackend> CreateComBackendFor(const std::string& port) {
    if (const std::shared_ptr<SimulatedLink> link = SimulatedLink::Find(port))
        return std::make_unique<SimulatedLinkBackend>(link);
    return CreateComBackend();
}

} // namespace cport
