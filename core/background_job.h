#pragma once
// qel::BackgroundJob: one piece of work run on a thread of its own, behind
// the frames. The thread that starts it never waits on it: it asks whether
// the work is done (an atomic flag), and only then reads what the work
// wrote. The work reads and writes only data its owner hands it and leaves
// alone until it is done or cancelled.
//
// Cancelling (cancel, the destructor, a new start) raises a flag the work
// looks at between runs of bounded length and joins the thread, which
// therefore returns within one such run. An owner declares its job after
// the data the work touches, so that the job is joined before that data
// goes.
//
// Tests make the work deterministic: while jobs are deferred (setDeferred),
// a started job does not run until runDeferred runs it, to completion, on
// the calling thread.

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace qel {

class BackgroundJob {
public:
    // The work; `cancelled` asks it to stop early (its results are then
    // never read).
    using Work = std::function<void(const std::atomic<bool>& cancelled)>;

    BackgroundJob() = default;
    ~BackgroundJob() { cancel(); }
    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;

    // Starts the work (a job under way is cancelled first).
    void start(Work work);
    // Started, and neither cancelled nor seen done.
    bool started() const { return state_ != nullptr; }
    // The work has returned: what it wrote may be read, and the job is over
    // (started() is false after). False while it runs or when none was
    // started. Never waits on the work.
    bool done();
    // Stops the work (joined within one of its runs) and forgets it.
    void cancel();

    // ---- For tests ----
    // While set, started work waits for runDeferred instead of a thread.
    static void setDeferred(bool deferred);
    // Runs every deferred job started and not cancelled, to completion, on
    // the calling thread; returns how many ran.
    static int runDeferred();

private:
    struct State {
        std::atomic<bool> cancelled{false};
        std::atomic<bool> finished{false};
        Work work;
        void run();
    };
    std::shared_ptr<State> state_;
    std::thread thread_;
};

}  // namespace qel
