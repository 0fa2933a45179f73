// The threads that draw a large draw's bands of rows at once. The caller draws band 0 and
// waits for the others. A frame's draws follow each other within microseconds, and waking a
// sleeping thread takes longer than that, so waiting threads spin a little before they sleep.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "raster_internal.h"

namespace raster {
namespace {

// Longer than the gaps between a frame's draws and clears, and short enough to cost a
// machine showing frames at 60 a second little.
constexpr auto kSpinTime = std::chrono::microseconds(250);

inline void relax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Waits until value is no longer old and returns what it is.
template <class T>
T awaitChange(const std::atomic<T>& value, T old) {
    const auto until = std::chrono::steady_clock::now() + kSpinTime;
    for (unsigned i = 1;; ++i) {
        const T now = value.load(std::memory_order_acquire);
        if (now != old) return now;
        relax();
        if (i % 64 == 0 && std::chrono::steady_clock::now() > until) break;
    }
    value.wait(old, std::memory_order_acquire);
    return value.load(std::memory_order_acquire);
}

class BandPool {
public:
    // Where the system refuses a thread, the pool makes do with those it has.
    explicit BandPool(int bands) {
        try {
            for (int band = 1; band < bands; ++band) workers_.emplace_back([this, band] { serve(band); });
        } catch (const std::system_error&) {
        }
    }

    ~BandPool() {
        stop_.store(true, std::memory_order_relaxed);
        generation_.fetch_add(1, std::memory_order_release);
        generation_.notify_all();
        for (std::thread& t : workers_) t.join();
    }

    int bands() const { return static_cast<int>(workers_.size()) + 1; }

    void run(BandTask task, void* job) {
        // A second device drawing on another thread meanwhile draws its bands one by one.
        if (busy_.exchange(true, std::memory_order_acquire)) {
            for (int band = 0; band < bands(); ++band) task(job, band);
            return;
        }
        task_ = task;
        job_ = job;
        pending_.store(static_cast<int>(workers_.size()), std::memory_order_relaxed);
        generation_.fetch_add(1, std::memory_order_release);
        generation_.notify_all();
        task(job, 0);
        for (int left; (left = pending_.load(std::memory_order_acquire)) != 0;) awaitChange(pending_, left);
        busy_.store(false, std::memory_order_release);
    }

private:
    void serve(int band) {
        uint32_t seen = 0;
        for (;;) {
            seen = awaitChange(generation_, seen);
            if (stop_.load(std::memory_order_relaxed)) return;
            task_(job_, band);
            if (pending_.fetch_sub(1, std::memory_order_acq_rel) == 1) pending_.notify_one();
        }
    }

    std::vector<std::thread> workers_;
    std::atomic<uint32_t> generation_{0};
    std::atomic<int> pending_{0};
    std::atomic<bool> stop_{false};
    std::atomic<bool> busy_{false};
    // Written before generation_ moves on, and read by the workers after they see it move.
    BandTask task_ = nullptr;
    void* job_ = nullptr;
};

int defaultDrawThreads() {
    int count = static_cast<int>(std::thread::hardware_concurrency());
    if (const char* wanted = std::getenv("TOVIRA_RASTER_THREADS")) count = std::atoi(wanted);
    return std::clamp(count, 1, kMaxDrawThreads);
}

std::unique_ptr<BandPool>& pool() {
    static std::unique_ptr<BandPool> p = std::make_unique<BandPool>(defaultDrawThreads());
    return p;
}

}  // namespace

void setDrawThreads(int count) {
    pool().reset();
    pool() = std::make_unique<BandPool>(count > 0 ? std::min(count, kMaxDrawThreads) : defaultDrawThreads());
}

int drawThreads() { return pool()->bands(); }

void runBands(BandTask task, void* job) { pool()->run(task, job); }

}  // namespace raster
