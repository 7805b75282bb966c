// Reading the entries of one folder, as the folder search sees them.
#pragma once

#include <optional>
#include <vector>

#include <QString>

namespace paperloom {

/// One name in a folder and what it is to the search.
struct FolderEntry {
    enum class Kind {
        /// A plain file, or a link to one.
        File,
        /// A folder itself, not a link to one: links to folders are never followed.
        Folder,
        /// Anything else: a link to a folder, a broken link, a device, a pipe, a socket.
        Other,
    };
    QString name;
    Kind kind = Kind::Other;
};

/// Lists folders; the seam between the folder search and the file system.
class FolderReader {
public:
    virtual ~FolderReader() = default;
    /// The entries of folder (without "." and ".."), in no particular order; nothing when the
    /// folder cannot be read.
    [[nodiscard]] virtual std::optional<std::vector<FolderEntry>> read(const QString& folder) = 0;
};

/// The file system's own folders, read with one directory pass and no look-up per plain entry.
class FileSystemFolderReader final : public FolderReader {
public:
    [[nodiscard]] std::optional<std::vector<FolderEntry>> read(const QString& folder) override;
};

} // namespace paperloom
