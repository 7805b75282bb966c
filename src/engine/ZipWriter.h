// Writing a Package as a deterministic zip file, whole or not at all.
#pragma once

#include "engine/Package.h"

#include <stdexcept>
#include <string>

namespace paperloom::engine {

/// A failure to write a file; reason is a sentence fragment ("the folder does not exist").
class WriteError : public std::runtime_error {
public:
    WriteError(std::string reason, std::string detail)
        : std::runtime_error(reason), m_reason(std::move(reason)), m_detail(std::move(detail)) {}
    [[nodiscard]] const std::string& reason() const noexcept { return m_reason; }
    [[nodiscard]] const std::string& detail() const noexcept { return m_detail; }

private:
    std::string m_reason;
    std::string m_detail;
};

/// Writes the package to path through a temporary file in the same folder and a rename, so
/// that path holds either the old file or the complete new one. Entries come in a fixed order
/// ([Content_Types].xml, _rels/.rels, then by name) with a fixed timestamp, and already
/// compressed data is written unchanged. Throws WriteError.
void writeZipPackage(const Package& package, const std::string& path);

} // namespace paperloom::engine
