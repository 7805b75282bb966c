// Worker threads with a queue ordered by urgency and order number.
#include "engine/automation/ConversionWorkers.h"

#include <algorithm>
#include <tuple>

namespace paperloom::engine {

struct ConversionWorkers::Job {
    Urgency urgency;
    std::uint64_t order;
    std::function<void()> work;
    bool ended = false; // ran, or was dropped
};

ConversionWorkers::~ConversionWorkers() {
    {
        std::lock_guard lock(m_mutex);
        m_ending = true;
        for (const Ticket& job : m_queue) {
            job->ended = true;
            job->work = nullptr;
        }
        m_queue.clear();
    }
    m_work.notify_all();
    m_done.notify_all();
    for (std::thread& thread : m_threads) {
        thread.join();
    }
}

ConversionWorkers::Ticket ConversionWorkers::submit(Urgency urgency, std::uint64_t order,
                                                    std::function<void()> work, int threads) {
    auto job = std::make_shared<Job>(Job{urgency, order, std::move(work)});
    std::lock_guard lock(m_mutex);
    m_queue.push_back(job);
    while (static_cast<int>(m_threads.size()) < std::max(threads, 1)) {
        m_threads.emplace_back([this] { serve(); });
    }
    m_work.notify_one();
    return job;
}

void ConversionWorkers::hurry(const Ticket& ticket, std::uint64_t order) {
    std::lock_guard lock(m_mutex);
    if (ticket->urgency != Urgency::Awaited) {
        ticket->urgency = Urgency::Awaited;
        ticket->order = order;
    }
}

bool ConversionWorkers::cancel(const Ticket& ticket) {
    std::function<void()> dropped; // let go of outside the lock: it may hold the converter
    std::lock_guard lock(m_mutex);
    const auto it = std::find(m_queue.begin(), m_queue.end(), ticket);
    if (it == m_queue.end()) {
        return false;
    }
    m_queue.erase(it);
    ticket->ended = true;
    // A job's work often holds its own ticket's owner: kept, the two would keep each other.
    dropped.swap(ticket->work);
    m_done.notify_all();
    return true;
}

void ConversionWorkers::wait(const Ticket& ticket) {
    std::unique_lock lock(m_mutex);
    m_done.wait(lock, [&] { return ticket->ended; });
}

void ConversionWorkers::serve() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_work.wait(lock, [&] { return m_ending || !m_queue.empty(); });
        if (m_ending) {
            return;
        }
        const auto next =
            std::min_element(m_queue.begin(), m_queue.end(), [](const Ticket& a, const Ticket& b) {
                return std::tie(a->urgency, a->order) < std::tie(b->urgency, b->order);
            });
        const Ticket job = *next;
        m_queue.erase(next);
        lock.unlock();
        job->work();
        lock.lock();
        job->ended = true;
        job->work = nullptr; // what it captured goes now, not with the last ticket
        m_done.notify_all();
    }
}

} // namespace paperloom::engine
