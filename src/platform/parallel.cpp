#include "parallel.h"

#include <QCoreApplication>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace karuvo {
namespace {

// Worker threads kept for the life of the application. Each thread keeps its own font
// engines and glyph caches, which are slow to build (fallback faces above all), so
// keeping the threads lets measuring and every drawing pass reuse them.
class WorkerPool {
public:
    static WorkerPool& instance() {
        static WorkerPool* pool = [] {
            auto* p = new WorkerPool(kMaxParallel - 1);
            // Stopped while the application object still exists: the threads' font
            // caches are torn down before the font database goes.
            qAddPostRoutine([] { instance().stop(); });
            return p;
        }();
        return *pool;
    }

    // Runs work(0) .. work(n - 1), work(0) on the calling thread and the rest on workers,
    // and passes on the first exception any of them threw. One run at a time.
    void run(int n, const std::function<void(int)>& work) {
        std::lock_guard<std::mutex> one(runMutex_);
        std::vector<std::exception_ptr> errors(static_cast<std::size_t>(n));
        auto guarded = [&](int i) {
            try {
                work(i);
            } catch (...) {
                errors[static_cast<std::size_t>(i)] = std::current_exception();
            }
        };
        const int helpers = stopped_ ? 0 : std::min(n - 1, static_cast<int>(workers_.size()));
        {
            std::lock_guard<std::mutex> lock(mutex_);
            job_ = guarded;
            jobSize_ = helpers;
            pending_ = helpers;
            ++generation_;
        }
        wake_.notify_all();
        guarded(0);
        // Without workers (stopped), the caller does their share itself.
        for (int i = helpers + 1; i < n; ++i) guarded(i);
        {
            std::unique_lock<std::mutex> lock(mutex_);
            done_.wait(lock, [&] { return pending_ == 0; });
            job_ = nullptr;
        }
        for (const std::exception_ptr& e : errors)
            if (e) std::rethrow_exception(e);
    }

private:
    explicit WorkerPool(int workers) {
        for (int i = 0; i < workers; ++i) workers_.emplace_back([this, i] { loop(i + 1); });
    }

    void loop(int index) {
        std::uint64_t seen = 0;
        for (;;) {
            std::function<void(int)> job;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [&] { return quit_ || generation_ != seen; });
                if (quit_) return;
                seen = generation_;
                if (index > jobSize_) continue;
                job = job_;
            }
            job(index);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (--pending_ == 0) done_.notify_all();
            }
        }
    }

    void stop() {
        std::lock_guard<std::mutex> one(runMutex_);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quit_ = true;
        }
        wake_.notify_all();
        for (std::thread& t : workers_) t.join();
        workers_.clear();
        stopped_ = true;
    }

    std::mutex runMutex_;
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    std::function<void(int)> job_;
    int jobSize_ = 0;
    int pending_ = 0;
    std::uint64_t generation_ = 0;
    bool quit_ = false;
    bool stopped_ = false;
    std::vector<std::thread> workers_;
};


}  // namespace

void runParallel(int n, const std::function<void(int)>& work) { WorkerPool::instance().run(n, work); }

void forRowBands(std::int64_t y0, std::int64_t y1, std::int64_t rowPixels,
                 const std::function<void(std::int64_t first, std::int64_t last)>& f) {
    const bool split = std::thread::hardware_concurrency() > 1 && y1 - y0 >= 2 && (y1 - y0) * rowPixels >= (1 << 20);
    if (!split) {
        f(y0, y1);
        return;
    }
    const std::int64_t middle = y0 + (y1 - y0) / 2;
    runParallel(2, [&](int band) { band == 0 ? f(y0, middle) : f(middle, y1); });
}

}  // namespace karuvo
