// Reading a zip file into a Package through libzip, with the limits that untrusted input needs.
#pragma once

#include "engine/package/Package.h"

#include <string>

namespace paperloom::engine {

/// Reads every entry of the zip at path in its stored form (nothing is inflated here).
/// Throws PackageError for a damaged, truncated, encrypted or oversized archive and for entry
/// names that would leave the package.
[[nodiscard]] Package readZipPackage(const std::string& path, const PackageLimits& limits);

} // namespace paperloom::engine
