// Writing a Package as a deterministic zip file, whole or not at all.
#pragma once

#include "engine/files/ReplacementFile.h"
#include "engine/package/Package.h"

#include <string>

namespace paperloom::engine {

/// Writes the package to path as a ReplacementFile, so that path (or the file a link there
/// leads to) holds either the old file or the complete new one. Entries come in a fixed order
/// ([Content_Types].xml, _rels/.rels, then by name) with a fixed timestamp, and already
/// compressed data is written unchanged. Throws WriteError.
void writeZipPackage(const Package& package, const std::string& path,
                     FileAccess access = FileAccess::Umask);

} // namespace paperloom::engine
