// Work run on a thread of its own (see background_job.h).

#include "core/background_job.h"

#include <mutex>
#include <system_error>
#include <utility>
#include <vector>

namespace qel {

namespace {

// The deferred jobs of the tests, waiting for runDeferred.
struct Deferred {
    std::mutex lock;
    bool on = false;
    std::vector<std::weak_ptr<void>> pending;
};

Deferred& deferred() {
    static Deferred d;
    return d;
}

}  // namespace

void BackgroundJob::State::run() {
    if (!cancelled.load(std::memory_order_relaxed)) work(cancelled);
    // Publishes what the work wrote to the thread that sees the flag.
    finished.store(true, std::memory_order_release);
}

void BackgroundJob::start(Work work) {
    cancel();
    state_ = std::make_shared<State>();
    state_->work = std::move(work);
    Deferred& d = deferred();
    {
        std::lock_guard<std::mutex> hold(d.lock);
        if (d.on) {
            d.pending.push_back(state_);
            return;
        }
    }
    try {
        thread_ = std::thread([state = state_] { state->run(); });
    } catch (const std::system_error&) {
        // No thread to be had: the work is done here, late but whole.
        state_->run();
    }
}

bool BackgroundJob::done() {
    if (!state_ || !state_->finished.load(std::memory_order_acquire)) return false;
    // The work has returned: the thread is at its end.
    if (thread_.joinable()) thread_.join();
    state_.reset();
    return true;
}

void BackgroundJob::cancel() {
    if (!state_) return;
    state_->cancelled.store(true, std::memory_order_relaxed);
    if (thread_.joinable()) thread_.join();
    state_.reset();
}

void BackgroundJob::setDeferred(bool on) {
    Deferred& d = deferred();
    std::lock_guard<std::mutex> hold(d.lock);
    d.on = on;
}

int BackgroundJob::runDeferred() {
    std::vector<std::weak_ptr<void>> pending;
    {
        Deferred& d = deferred();
        std::lock_guard<std::mutex> hold(d.lock);
        pending.swap(d.pending);
    }
    int ran = 0;
    for (const std::weak_ptr<void>& p : pending)
        if (const std::shared_ptr<void> alive = p.lock()) {
            State& s = *static_cast<State*>(alive.get());
            if (s.cancelled.load(std::memory_order_relaxed)) continue;
            s.run();
            ++ran;
        }
    return ran;
}

}  // namespace qel
