// The file-exists test the start-up and the join command share.
#pragma once

#include <QString>

namespace paperloom {

/// True exactly when the file system can tell the path's last-modified time; false for a
/// missing, empty or malformed path. Shows nothing and throws nothing.
[[nodiscard]] bool FileExists(const QString& path);

} // namespace paperloom
