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

// Consecutive lines evaluated by one worker thread. The lines and the records are each
// kept in one text: the strings of a task pass between threads, and a string freed on
// another thread than the one that made it costs the allocator a lock.
struct Task {
    std::string lines;
    std::vector<std::size_t> lineEnds;
    std::string records;                  // of the lines before error, if any
    std::vector<std::size_t> recordEnds;
    std::exception_ptr error;             // what stopped the task (out of memory)
    Clock::duration took{};
    bool done = false;

    std::size_t Size() const { return lineEnds.size(); }
    std::string_view Line(std::size_t i) const { return Part(lines, lineEnds, i); }
    std::string_view Record(std::size_t i) const { return Part(records, recordEnds, i); }

private:
    static std::string_view Part(const std::string& text, const std::vector<std::size_t>& ends, std::size_t i) {
        const std::size_t from = i == 0 ? 0 : ends[i - 1];
        return std::string_view(text).substr(from, ends[i] - from);
    }
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
             const std::function<void(std::string_view)>& write) {
        std::exception_ptr readError;
        bool ended = false;
        size_t linesPerTask = 1, bytesPerLine = 0;
        const size_t window = kTasksPerJob * jobs_;
        std::string line;
        for (;;) {
            while (!ended && Queued() < window) {
                Task task;
                // Sized from the lines so far: a task's text grows without moving.
                task.lines.reserve(linesPerTask * bytesPerLine);
                task.lineEnds.reserve(linesPerTask);
                try {
                    while (task.Size() < linesPerTask) {
                        if (!next(line)) {
                            ended = true;
                            break;
                        }
                        task.lines += line;
                        task.lineEnds.push_back(task.lines.size());
                    }
                } catch (...) {
                    // The lines read before the failure are evaluated and written first.
                    readError = std::current_exception();
                    ended = true;
                }
                if (task.Size() == 0) break;
                bytesPerLine = task.lines.size() / task.Size() + 1;
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
                oldest.took / static_cast<long>(oldest.Size()), Clock::duration(1));
            linesPerTask = std::clamp<size_t>(static_cast<size_t>(kTaskTime / perLine), 1,
                                              kMaxLinesPerTask);
            for (std::size_t i = 0; i < oldest.recordEnds.size(); ++i) {
                // Once cancelled, no further record is written, finished or not.
                if (Requested(cancel_)) throw TCancelledException();
                write(oldest.Record(i));
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
            // A record is its line, " = " and a value that is mostly no longer.
            task.records.reserve(2 * task.lines.size() + 4 * task.Size());
            task.recordEnds.reserve(task.Size());
            for (std::size_t i = 0; i < task.Size(); ++i) {
                if (stop_) break;
                pump::ProcessMessages();
                appendBatchRecord(task.records, task.Line(i));
                task.recordEnds.push_back(task.records.size());
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

void appendBatchRecord(std::string& out, std::string_view line) {
    const std::size_t mark = out.size();
    try {
        out += line;
        if (line.empty() || line[0] != '#') {
            out += " = ";
            appendCalcText(out, line);
        }
        out += '\n';
    } catch (...) {
        out.resize(mark);  // no record in part
        throw;
    }
}

void evaluateLines(const std::function<bool(std::string&)>& next,
                   const std::function<void(std::string_view)>& write, unsigned jobs,
                   const std::atomic<bool>* cancel) {
    const CancelScope scope(cancel);
    if (jobs <= 1) {
        std::string line, record;
        while (next(line)) {
            CancelScope::BeforeLine();
            record.clear();
            appendBatchRecord(record, line);
            write(record);
        }
    } else {
        Pool pool(jobs, cancel);
        pool.Run(next, write);
    }
    // Reading may have ended because the signal that cancelled interrupted it.
    if (Requested(cancel)) throw TCancelledException();
}

}  // namespace nerova
