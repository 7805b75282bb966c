// The engine's threads for conversions, so that they go on while the window's thread pastes.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace paperloom::engine {

/// A few threads that run jobs (conversions of files; they never touch a document) in order of
/// urgency and, within one urgency, of their order number. Threads start with the first jobs
/// that need them and last as long as the object. Thread-safe.
class ConversionWorkers {
public:
    /// Earlier ones first.
    enum class Urgency {
        Awaited,    // a caller waits for it now
        Ahead,      // a document the join will open soon
        Background, // a save that nobody waits for yet
    };
    struct Job;
    using Ticket = std::shared_ptr<Job>;

    ConversionWorkers() = default;
    /// Drops the jobs that have not started and waits for those under way.
    ~ConversionWorkers();
    ConversionWorkers(const ConversionWorkers&) = delete;
    ConversionWorkers& operator=(const ConversionWorkers&) = delete;

    /// Queues work (which must not throw) and makes sure at least threads threads run.
    [[nodiscard]] Ticket submit(Urgency urgency, std::uint64_t order, std::function<void()> work,
                                int threads);
    /// Makes a queued job one that a caller waits for, so it runs next, with a new order number
    /// among those.
    void hurry(const Ticket& ticket, std::uint64_t order);
    /// Drops a job that has not started; false when it has started or ended.
    bool cancel(const Ticket& ticket);
    /// Blocks until the job has run or was dropped.
    void wait(const Ticket& ticket);

private:
    void serve();

    std::mutex m_mutex;
    std::condition_variable m_work;
    std::condition_variable m_done;
    std::vector<Ticket> m_queue;
    std::vector<std::thread> m_threads;
    bool m_ending = false;
};

} // namespace paperloom::engine
