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
/// written) stops the join at its first document. Later saves of the path are written one after
/// the other in the background, at the lowest urgency; a save replaces one of the same path that
/// has not started, whose content the newer one holds too. The file at the path is therefore
/// always the old one, or a whole document of some save. A failed write stays on record until a
/// newer write of the path succeeds or finish reports it. The window's thread calls everything
/// here; the writes run on the workers.
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
    /// True while a write of path waits or is under way.
    [[nodiscard]] bool pending(const std::string& path);
    /// Waits until no write of path waits or is under way.
    void waitFor(const std::string& path);
    /// Tells cache what the writes that ended since the last call left on disk.
    void settle(DocumentCache& cache);
    /// Waits for every write (after a stop signal, drops the writes that have not started),
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
        std::optional<Pending> next; // the newest save, not started yet
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
