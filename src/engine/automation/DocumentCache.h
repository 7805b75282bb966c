// Documents the engine saved itself, kept in memory for the next step that opens them again.
#pragma once

#include "engine/model/DocumentModel.h"

#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <string>

namespace paperloom::engine {

/// What identifies one version of a file on disk.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t mtimeSec = 0;
    std::int64_t mtimeNsec = 0;
    std::int64_t ctimeSec = 0;
    std::int64_t ctimeNsec = 0;
    bool operator==(const FileStamp& other) const = default;
};

/// The stamp of the file at path, or nothing when it cannot be examined.
[[nodiscard]] std::optional<FileStamp> stampOf(const std::string& path);
/// The path in the one spelling the cache uses (absolute, symbolic links resolved).
[[nodiscard]] std::string canonicalPath(const std::string& path);

/// Saved documents by path. A model is handed in when its document closes unchanged since it
/// was saved, and handed out (once) to the next Open of that path while the file still carries
/// the stamp it had right after the save; anything else is dropped, so a stale copy is never
/// used in place of the file. A file written in the background (BackgroundSaves) is ours while
/// that write is pending, and from its end on while it carries the stamp the write left.
class DocumentCache {
public:
    /// Remembers that path was just written from a document at this version.
    void recordSave(const std::string& path, std::uint64_t version);
    /// Remembers that path is being written in the background from a document at this version.
    void recordBackgroundSave(const std::string& path, std::uint64_t version);
    /// The background write of path from this version ended: the file carries stamp, or, with
    /// none, the write failed and the file is not the document's.
    void recordWritten(const std::string& path, std::uint64_t version,
                       const std::optional<FileStamp>& stamp);
    /// Hands in a closed document's model; kept only if it is what path holds.
    void offer(const std::string& path, std::unique_ptr<DocumentModel> model);
    /// The model for path if the file is still exactly what was saved; nullptr otherwise.
    [[nodiscard]] std::unique_ptr<DocumentModel> take(const std::string& path);

private:
    struct Entry {
        std::string path;
        std::optional<FileStamp> stamp; // none while a background write is pending
        std::uint64_t version = 0;
        std::unique_ptr<DocumentModel> model;
    };
    void remember(Entry entry);

    static constexpr std::size_t kMaxEntries = 4;
    std::list<Entry> m_entries; // most recent first
};

} // namespace paperloom::engine
