// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "shell/batchjobs.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "engine/pump.h"
#include "shell/calcowner.h"
#include "shell/textcalc.h"

namespace nerova {

namespace {

using Clock = std::chrono::steady_clock;

// Tasks in flight per thread: enough that a thread finds work while the oldest task is
// written, few enough that the lines read ahead stay a small, bounded number.
constexpr size_t kTasksPerJob = 4;
constexpr size_t kMaxLinesPerTask = 256;
// A task of about this long keeps the locking per line negligible on small lines, while
// long lines still go one to a task and spread over the threads.
constexpr auto kTaskTime = std::chrono::microseconds(200);

// Thrown by a worker's message pump once the run is stopped, to end a long calculation
// whose record nobody will write.
class Stopped : public std::runtime_error {
public:
    Stopped() : std::runtime_error("stopped") {}
};

bool Requested(const std::atomic<bool>* cancel) {
    return cancel && cancel->load(std::memory_order_relaxed);
}

// The pump of a thread that evaluates lines: the handler installed before (the window's,
// on the calling thread) runs first, then a requested cancel ends the calculation.
class CancelScope {
public:
    explicit CancelScope(const std::atomic<bool>* cancel)
        : cancel_(cancel), scope_(&CancelScope::Check, this) {}

    // Between lines: a short line never reaches the pump inside the engine.
    static void BeforeLine() { pump::ProcessMessages(); }

private:
    static void Check(void* self) {
        auto& s = *static_cast<CancelScope*>(self);
        s.scope_.Previous()();
        if (Requested(s.cancel_)) throw TCancelledException();
    }

    const std::atomic<bool>* cancel_;
    const pump::Scope scope_;
};

// Consecutive lines evaluated by one worker thread.
struct Task {
    std::vector<std::string> lines;
    std::vector<std::string> records;  // of the lines before error, if any
    std::exception_ptr error;           // what stopped the task (out of memory)
    Clock::duration took{};
    bool done = false;
};

// Threads evaluating the tasks of a queue: the calling thread reads the lines into tasks,
// writes the finished tasks in order and, while the oldest is not finished, evaluates
// tasks too; jobs - 1 workers do nothing else. They start once a second task waits (a
// file of one line runs as on one thread). The destructor stops and joins the workers
// on every path.
class Pool {
public:
    Pool(unsigned jobs, const std::atomic<bool>* cancel) : jobs_(jobs), cancel_(cancel) {}
    ~Pool() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        ready_.notify_all();
        for (std::thread& t : threads_) t.join();
    }
    Pool(const Pool&) = delete;
    Pool& operator=(const Pool&) = delete;

    void Run(const std::function<bool(std::string&)>& next,
             const std::function<void(const std::string&)>& write) {
        std::exception_ptr readError;
        bool ended = false;
        size_t linesPerTask = 1;
        const size_t window = kTasksPerJob * jobs_;
        for (;;) {
            while (!ended && Queued() < window) {
                Task task;
                std::string line;
                try {
                    while (task.lines.size() < linesPerTask) {
                        if (!next(line)) {
                            ended = true;
                            break;
                        }
                        task.lines.push_back(std::move(line));
                    }
                } catch (...) {
                    // The lines read before the failure are evaluated and written first.
                    readError = std::current_exception();
                    ended = true;
                }
                if (task.lines.empty()) break;
                {
                    const std::lock_guard<std::mutex> lock(mutex_);
                    tasks_.push_back(std::move(task));
                }
                ready_.notify_one();
                if (threads_.empty() && Queued() >= 2) {
                    for (unsigned i = 1; i < jobs_; ++i) threads_.emplace_back([this] { Work(); });
                }
            }

            Task oldest;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                if (tasks_.empty()) break;
                while (!tasks_.front().done) {
                    if (taken_ < tasks_.size()) {
                        Task& task = tasks_[taken_++];
                        lock.unlock();
                        Evaluate(task);
                        lock.lock();
                        task.done = true;
                    } else {
                        done_.wait(lock);
                    }
                }
                oldest = std::move(tasks_.front());
                tasks_.pop_front();
                --taken_;
            }
            const auto perLine = std::max<Clock::duration>(
                oldest.took / static_cast<long>(oldest.lines.size()), Clock::duration(1));
            linesPerTask = std::clamp<size_t>(static_cast<size_t>(kTaskTime / perLine), 1,
                                              kMaxLinesPerTask);
            for (const std::string& record : oldest.records) {
                // Once cancelled, no further record is written, finished or not.
                if (Requested(cancel_)) throw TCancelledException();
                write(record);
            }
            if (oldest.error) std::rethrow_exception(oldest.error);
        }
        if (readError) std::rethrow_exception(readError);
    }

private:
    size_t Queued() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return tasks_.size();
    }

    // An error passes to the calling thread with the task, to be thrown where the
    // line's record would have been written.
    void Evaluate(Task& task) noexcept {
        const Clock::time_point start = Clock::now();
        try {
            for (const std::string& line : task.lines) {
                if (stop_) break;
                pump::ProcessMessages();
                task.records.push_back(batchRecord(line));
            }
        } catch (...) {
            task.error = std::current_exception();
        }
        task.took = Clock::now() - start;
    }

    static void StopCheck(void* self) {
        const auto& pool = *static_cast<const Pool*>(self);
        if (pool.stop_.load(std::memory_order_relaxed)) throw Stopped();
        if (Requested(pool.cancel_)) throw TCancelledException();
    }

    // A worker has a message pump of its own (pump handlers are per thread): it ends a
    // long calculation once the run is stopped or cancelled, and it never runs a
    // window's event loop.
    void Work() {
        const pump::Scope scope(&StopCheck, this);
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            ready_.wait(lock, [this] { return stop_ || taken_ < tasks_.size(); });
            if (stop_) return;
            // A deque keeps its elements in place while others are added and removed.
            Task& task = tasks_[taken_++];
            lock.unlock();
            Evaluate(task);
            lock.lock();
            task.done = true;
            done_.notify_one();
        }
    }

    std::mutex mutex_;
    std::condition_variable ready_;  // a task was queued, or the run stops
    std::condition_variable done_;   // a task was finished
    std::deque<Task> tasks_;         // in input order; the oldest is written next
    size_t taken_ = 0;               // tasks_[0 .. taken_) are taken by workers
    std::atomic<bool> stop_{false};
    const unsigned jobs_;
    const std::atomic<bool>* const cancel_;
    std::vector<std::thread> threads_;  // last: the workers use everything above
};

}  // namespace

std::string batchRecord(const std::string& line) {
    if (!line.empty() && line[0] == '#') return line + '\n';
    const std::string value = calcText(line);
    std::string record;
    record.reserve(line.size() + value.size() + 4);
    record += line;
    record += " = ";
    record += value;
    record += '\n';
    return record;
}

void evaluateLines(const std::function<bool(std::string&)>& next,
                   const std::function<void(const std::string&)>& write, unsigned jobs,
                   const std::atomic<bool>* cancel) {
    const CancelScope scope(cancel);
    if (jobs <= 1) {
        std::string line;
        while (next(line)) {
            CancelScope::BeforeLine();
            write(batchRecord(line));
        }
    } else {
        Pool pool(jobs, cancel);
        pool.Run(next, write);
    }
    // Reading may have ended because the signal that cancelled interrupted it.
    if (Requested(cancel)) throw TCancelledException();
}

}  // namespace nerova
