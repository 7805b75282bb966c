// Saves into formats the converter writes, done in the background while the join goes on.
#pragma once

#include "engine/automation/ConversionWorkers.h"
#include "engine/automation/DocumentCache.h"
#include "engine/automation/DocumentConverter.h"

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace paperloom::engine {

/// Writes files through the converter on the conversion workers, so that a join pays about one
/// conversion of its final document rather than one per step.
///
/// The first save of a path (since the last finish) is written before save returns, so that
/// what keeps the output from being written at all (no LibreOffice, a folder that cannot be
/// written) stops the join at its first document. A later save of the path is held, replacing
/// the one held before it, whose content it holds too, and is written when someone waits for it
/// (waitFor, finish). Converting it at once, beside the join, was tried: every such conversion
/// but the last is superseded, took a core from the paste, and the last save then waited for one
/// still running (up to two conversions of a near-final document instead of one). The file at
/// the path is therefore always the old one, or a whole document of some save. A failed write
/// stays on record until a newer write of the path succeeds or finish reports it. The window's
/// thread calls everything here; the writes run on the workers.
class BackgroundSaves {
public:
    explicit BackgroundSaves(ConversionWorkers& workers) : m_workers(workers) {}
    BackgroundSaves(const BackgroundSaves&) = delete;
    BackgroundSaves& operator=(const BackgroundSaves&) = delete;

    /// Writes path, through converter, from the WordprocessingML package at packageFile, which is
    /// removed afterwards (also when save throws); version is the document's, for the cache.
    /// Throws the WordError of a first save that failed, and of an earlier write of path that no
    /// newer one can still make good.
    void save(const std::string& path, const std::string& packageFile, std::uint64_t version,
              const std::shared_ptr<DocumentConverter>& converter);
    /// Throws the failure of an earlier write of path that no newer write can still make good.
    void throwIfFailed(const std::string& path);
    /// True while a save of path is held or being written.
    [[nodiscard]] bool pending(const std::string& path);
    /// Writes the held save of path, if any, and waits until no write of path is under way.
    void waitFor(const std::string& path);
    /// Tells cache what the writes that ended since the last call left on disk.
    void settle(DocumentCache& cache);
    /// Writes the held saves and waits for every write (after a stop signal, drops the held ones),
    /// forgets the paths, and throws the failure of a write that no newer one made good, or
    /// WordInterrupted when a stop dropped a write.
    void finish();

private:
    struct Pending {
        std::string path; // as the caller spelled it, for messages
        std::string packageFile;
        std::uint64_t version = 0;
        std::shared_ptr<DocumentConverter> converter;
    };
    struct Output {
        std::optional<Pending> next; // the newest save, held or not started yet
        bool writing = false;        // a job for this path is queued or running
        ConversionWorkers::Ticket job;
        std::exception_ptr failure; // of the latest write, unless a newer one succeeded
    };
    struct Outcome {
        std::string path;
        std::uint64_t version = 0;
        std::optional<FileStamp> stamp; // none: the write failed
    };

    /// The job of one path: writes its saves one after the other until none waits.
    void write(const std::string& key);
    /// Queues the job that writes output's held save, unless one is queued or running; the
    /// caller holds the lock.
    void start(const std::string& key, Output& output);
    /// Gives up the save of output that has not started; the caller holds the lock.
    void drop(const std::string& key, Output& output);

    ConversionWorkers& m_workers;
    std::mutex m_mutex;
    std::condition_variable m_idle;
    std::map<std::string, Output> m_outputs; // by canonicalPath
    std::vector<Outcome> m_outcomes;
    std::uint64_t m_order = 0;
};

} // namespace paperloom::engine
