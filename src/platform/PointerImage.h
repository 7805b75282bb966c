// Loading a cursor or icon file as a pointer image.
#pragma once

#include <optional>

#include <QCursor>
#include <QString>

namespace paperloom {

/// The pointer image in the cursor (.cur) or icon (.ico) file at path, with a cursor file's own
/// hot spot; nothing when the file is missing or is not a readable image.
[[nodiscard]] std::optional<QCursor> loadPointerImage(const QString& path);

} // namespace paperloom
