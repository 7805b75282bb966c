// Matching file names against the folder search's wildcard pattern.
#pragma once

#include <QString>

namespace paperloom {

/// Whether name matches pattern as users of the folder search expect: '*' stands for any run
/// of characters, '?' for any one, and every other character for itself in either letter case.
/// A name without a dot also matches as if it ended in one, so "*.*" matches every name. When
/// the pattern ends in a three-character extension without '*', a name with a longer extension
/// matches by that extension's first three characters: "*.doc" finds .doc, .docx and .docm.
[[nodiscard]] bool matchesNamePattern(const QString& name, const QString& pattern);

} // namespace paperloom
