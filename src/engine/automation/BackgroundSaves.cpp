// Writing saved outputs through the converter on the workers, newest save first in line.
#include "engine/automation/BackgroundSaves.h"

#include "engine/files/StopRequest.h"

#include <cstdio>

namespace paperloom::engine {

void BackgroundSaves::save(const std::string& path, const std::string& packageFile,
                           std::uint64_t version,
                           const std::shared_ptr<DocumentConverter>& converter) {
    const std::string key = canonicalPath(path);
    std::unique_lock lock(m_mutex);
    const auto [found, first] = m_outputs.try_emplace(key);
    Output& output = found->second;
    if (output.failure && !output.writing) {
        const std::exception_ptr failure = output.failure;
        lock.unlock();
        std::remove(packageFile.c_str());
        std::rethrow_exception(failure);
    }
    if (output.next) {
        std::remove(output.next->packageFile.c_str()); // the newer save holds all of it
    }
    output.next = Pending{path, packageFile, version, converter};
    if (!first) {
        return; // held until someone waits for it: a newer save would supersede its conversion
    }
    start(key, output);
    const ConversionWorkers::Ticket job = output.job;
    lock.unlock();
    m_workers.wait(job);
    lock.lock();
    const auto written = m_outputs.find(key);
    if (written != m_outputs.end() && written->second.failure) {
        // Reported here, so the next save of the path is a first one again.
        const std::exception_ptr failure = written->second.failure;
        m_outputs.erase(written);
        lock.unlock();
        std::rethrow_exception(failure);
    }
}

void BackgroundSaves::write(const std::string& key) {
    std::unique_lock lock(m_mutex);
    for (;;) {
        Output& output = m_outputs[key];
        if (!output.next) {
            output.writing = false;
            m_idle.notify_all();
            return;
        }
        const Pending save = std::move(*output.next);
        output.next.reset();
        lock.unlock();
        std::exception_ptr failure;
        std::optional<FileStamp> stamp;
        try {
            save.converter->fromWordPackage(save.packageFile, save.path);
            stamp = stampOf(save.path);
        } catch (...) {
            failure = std::current_exception();
        }
        std::remove(save.packageFile.c_str());
        lock.lock();
        Output& written = m_outputs[key];
        m_outcomes.push_back({key, save.version, failure ? std::nullopt : stamp});
        written.failure = failure;
        if (failure && stopSignal() != 0 && written.next) {
            // Nobody waits for the rest of the join's saves once the program is to end.
            drop(key, written);
        }
    }
}

void BackgroundSaves::start(const std::string& key, Output& output) {
    if (output.writing || !output.next) {
        return;
    }
    output.writing = true;
    output.job = m_workers.submit(
        ConversionWorkers::Urgency::Awaited, ++m_order, [this, key] { write(key); },
        output.next->converter->parallelConversions());
}

void BackgroundSaves::drop(const std::string& key, Output& output) {
    std::remove(output.next->packageFile.c_str());
    m_outcomes.push_back({key, output.next->version, std::nullopt});
    output.next.reset();
}

void BackgroundSaves::throwIfFailed(const std::string& path) {
    std::unique_lock lock(m_mutex);
    const auto found = m_outputs.find(canonicalPath(path));
    if (found != m_outputs.end() && found->second.failure && !found->second.writing) {
        const std::exception_ptr failure = found->second.failure;
        lock.unlock();
        std::rethrow_exception(failure);
    }
}

bool BackgroundSaves::pending(const std::string& path) {
    std::lock_guard lock(m_mutex);
    const auto found = m_outputs.find(canonicalPath(path));
    return found != m_outputs.end() && (found->second.writing || found->second.next);
}

void BackgroundSaves::waitFor(const std::string& path) {
    const std::string key = canonicalPath(path);
    std::unique_lock lock(m_mutex);
    if (const auto found = m_outputs.find(key); found != m_outputs.end()) {
        start(key, found->second);
    }
    m_idle.wait(lock, [&] {
        const auto found = m_outputs.find(key);
        return found == m_outputs.end() || !found->second.writing;
    });
}

void BackgroundSaves::settle(DocumentCache& cache) {
    std::vector<Outcome> outcomes;
    {
        std::lock_guard lock(m_mutex);
        outcomes.swap(m_outcomes);
    }
    for (const Outcome& outcome : outcomes) {
        cache.recordWritten(outcome.path, outcome.version, outcome.stamp);
    }
}

void BackgroundSaves::finish() {
    std::unique_lock lock(m_mutex);
    bool dropped = false;
    const bool stopping = stopSignal() != 0;
    for (auto& [key, output] : m_outputs) {
        if (stopping && output.next) {
            drop(key, output);
            dropped = true;
        } else {
            start(key, output);
        }
    }
    m_idle.wait(lock, [&] {
        for (const auto& [key, output] : m_outputs) {
            if (output.writing) {
                return false;
            }
        }
        return true;
    });
    std::exception_ptr failure;
    for (const auto& [key, output] : m_outputs) {
        if (output.failure && !failure) {
            failure = output.failure;
        }
    }
    m_outputs.clear();
    lock.unlock();
    if (failure) {
        std::rethrow_exception(failure);
    }
    if (dropped) {
        throwIfStopRequested();
    }
}

} // namespace paperloom::engine
